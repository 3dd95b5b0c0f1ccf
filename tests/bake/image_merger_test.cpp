#include "bake/image_merger.h"
#include "support/temp_folder.h"
#include "support/test_host.h"

#include <functional>

namespace {

using PixelFn = std::function<BMM_Color_fl(int x, int y)>;

class ImageMergerTest : public HostTest {
  protected:
    // Writes a w x h image whose pixels fn gives (as floats; PNG stores them
    // as 16 bits).
    std::string write(const std::string& name, int w, int h, const PixelFn& fn) {
        const std::string path = folder.file(name);
        BitmapInfo info;
        info.SetName(Utf8ToWide(path).c_str());
        info.SetWidth(w);
        info.SetHeight(h);
        info.SetType(name.ends_with(".exr") ? BMM_FLOAT_RGBA_32 : BMM_TRUE_64);
        Bitmap* bm = core.Create(&info);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const BMM_Color_fl p = fn(x, y);
                bm->PutLinearPixels(x, y, 1, &p);
            }
        }
        EXPECT_EQ(bm->OpenOutput(&info), BMMRES_SUCCESS);
        EXPECT_EQ(bm->Write(&info), BMMRES_SUCCESS);
        EXPECT_EQ(bm->Close(&info), BMMRES_SUCCESS);
        bm->DeleteThis();
        return path;
    }
    Bitmap* load(const std::string& path) {
        BitmapInfo info;
        info.SetName(Utf8ToWide(path).c_str());
        return core.Load(&info);
    }
    // Merges the parts into the first and returns it (the caller releases).
    Bitmap* merge(const std::vector<std::string>& parts) {
        Bitmap* base = load(parts[0]);
        EXPECT_NE(base, nullptr);
        merger.SetBase(base);
        for (std::size_t i = 1; i < parts.size(); ++i) {
            EXPECT_TRUE(merger.MergeFile(parts[i]));
        }
        merger.Finish(base);
        return base;
    }
    static BMM_Color_64 at(Bitmap* bm, int x, int y) {
        BMM_Color_64 p;
        bm->GetPixels(x, y, 1, &p);
        return p;
    }

    TempFolder folder;
    ImageMerger merger;
};

BMM_Color_fl c16(int r, int g, int b, int a) {
    return {r / 65535.0f, g / 65535.0f, b / 65535.0f, a / 65535.0f};
}

} // namespace

TEST_F(ImageMergerTest, TransparentPartsMergeIntoOneImageWhereOverlapsAddUpToSaturation) {
    // Islands: columns 0-1, 2-3 and 3-4 (the last two overlap in column 3).
    const auto a = write("a.png", 6, 2, [](int x, int) {
        return x < 2 ? c16(1000, 2000, 3000, 65535) : c16(0, 0, 0, 0);
    });
    const auto b = write("b.png", 6, 2, [](int x, int) {
        return x == 2 || x == 3 ? c16(60000, 100, 0, 65535) : c16(0, 0, 0, 0);
    });
    const auto c = write("c.png", 6, 2, [](int x, int) {
        return x == 3 || x == 4 ? c16(10000, 200, 7, 65535) : c16(0, 0, 0, 0);
    });
    Bitmap* out = merge({a, b, c});
    EXPECT_EQ(at(out, 0, 1), (BMM_Color_64{1000, 2000, 3000, 65535}));
    EXPECT_EQ(at(out, 2, 0), (BMM_Color_64{60000, 100, 0, 65535}));
    EXPECT_EQ(at(out, 3, 0), (BMM_Color_64{65535, 300, 7, 65535}));
    EXPECT_EQ(at(out, 4, 1), (BMM_Color_64{10000, 200, 7, 65535}));
    EXPECT_EQ(at(out, 5, 0), (BMM_Color_64{0, 0, 0, 0}));
    merger.Release(out);
    EXPECT_EQ(core.live_bitmaps(), 0u) << "loaded parts and the base went back to the host";
}

TEST_F(ImageMergerTest, AnOpaqueBackgroundNeverCoversAnotherPart) {
    const BMM_Color_fl grey = c16(30000, 30000, 30000, 65535);
    const auto a = write(
        "a.png", 4, 4, [&](int x, int y) { return x == 1 && y == 1 ? c16(5, 6, 7, 65535) : grey; });
    // The part's top-left corner is an island pixel; its top-right and
    // bottom-left corners still agree on the grey.
    const auto b = write("b.png", 4, 4, [&](int x, int y) {
        return (x == 0 && y == 0) || (x == 2 && y == 2) ? c16(9, 9, 9, 65535) : grey;
    });
    Bitmap* out = merge({a, b});
    EXPECT_EQ(at(out, 1, 1), (BMM_Color_64{5, 6, 7, 65535}));
    EXPECT_EQ(at(out, 0, 0), (BMM_Color_64{9, 9, 9, 65535}));
    EXPECT_EQ(at(out, 2, 2), (BMM_Color_64{9, 9, 9, 65535}));
    EXPECT_EQ(at(out, 3, 3), (BMM_Color_64{30000, 30000, 30000, 65535}));
    merger.Release(out);
}

TEST_F(ImageMergerTest, FloatImagesMergeUnclampedAndUnloadablePartsMergeNothing) {
    const auto a = write("a.exr", 3, 3, [](int x, int y) {
        return x == 0 && y == 1 ? BMM_Color_fl{4.0f, 0.5f, 0, 1} : BMM_Color_fl{0, 0, 0, 1e-7f};
    });
    const auto b = write("b.exr", 3, 3, [](int x, int y) {
        return x <= 1 && y == 1 ? BMM_Color_fl{3.0f, 0.25f, 0, 1} : BMM_Color_fl{0, 0, 0, 0};
    });
    Bitmap* out = merge({a, b});
    ASSERT_TRUE(out->IsHighDynamicRange());
    EXPECT_FALSE(merger.MergeFile(folder.file("missing.exr")));
    // A part of another size (a huge header among small parts) is refused
    // and changes nothing.
    const auto big = write("big.exr", 4, 3, [](int, int) { return BMM_Color_fl{9, 9, 9, 1}; });
    EXPECT_FALSE(merger.MergeFile(big));
    BMM_Color_fl row[3];
    out->GetLinearPixels(0, 1, 3, row);
    EXPECT_FLOAT_EQ(row[0].r, 7.0f);
    EXPECT_FLOAT_EQ(row[0].a, 2.0f);
    EXPECT_FLOAT_EQ(row[1].r, 3.0f) << "alpha at most 1e-6 counts as transparent";
    EXPECT_FLOAT_EQ(row[2].a, 0.0f);
    merger.Release(out);
}
