#include "support/temp_folder.h"
#include "support/test_host.h"

#include <png.h>

namespace {

class BitmapFilesTest : public HostTest {
  protected:
    Bitmap* make(int w, int h, int type) {
        BitmapInfo info;
        info.SetWidth(w);
        info.SetHeight(h);
        info.SetType(type);
        return core.Create(&info);
    }
    BMMRES save(Bitmap* bm, const std::string& path) {
        BitmapInfo info;
        info.SetName(Utf8ToWide(path).c_str());
        BMMRES r = bm->OpenOutput(&info);
        if (r == BMMRES_SUCCESS) {
            r = bm->Write(&info);
            bm->Close(&info);
        }
        return r;
    }
    TempFolder folder;
};

} // namespace

TEST_F(BitmapFilesTest, SixteenBitPngsGoThroughBackslashPathsUnchanged) {
    Bitmap* bm = make(3, 2, BMM_TRUE_64);
    const BMM_Color_64 p{1, 40000, 65535, 12345};
    bm->PutPixels(2, 1, 1, &p);
    const std::string dir = folder.file("x");
    const std::string path = dir.substr(0, dir.size() - 2) + "\\saved.png";
    ASSERT_EQ(save(bm, path), BMMRES_SUCCESS);
    bm->DeleteThis();
    EXPECT_EQ(core.live_bitmaps(), 0u);

    BitmapInfo info;
    info.SetName(Utf8ToWide(path).c_str());
    Bitmap* back = core.Load(&info);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(info.Width(), 3);
    EXPECT_EQ(info.Height(), 2);
    EXPECT_FALSE(back->IsHighDynamicRange());
    BMM_Color_64 q;
    back->GetPixels(2, 1, 1, &q);
    EXPECT_EQ(q, p);
    BMM_Color_fl f;
    back->GetLinearPixels(2, 1, 1, &f);
    EXPECT_FLOAT_EQ(f.g, 40000 / 65535.0f);
    back->DeleteThis();
}

TEST_F(BitmapFilesTest, ExrFilesKeepFloatsBeyondOne) {
    Bitmap* bm = make(2, 2, BMM_FLOAT_RGBA_32);
    ASSERT_TRUE(bm->IsHighDynamicRange());
    const BMM_Color_fl p{12.5f, -0.25f, 0.5f, 1.0f};
    bm->PutLinearPixels(1, 1, 1, &p);
    ASSERT_EQ(save(bm, folder.file("hdr.exr")), BMMRES_SUCCESS);
    BitmapInfo info;
    info.SetName(Utf8ToWide(folder.file("hdr.exr")).c_str());
    Bitmap* back = core.Load(&info);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->IsHighDynamicRange());
    EXPECT_EQ(info.Type(), BMM_FLOAT_RGBA_32);
    BMM_Color_fl q;
    back->GetLinearPixels(1, 1, 1, &q);
    EXPECT_EQ(q.r, 12.5f);
    EXPECT_EQ(q.g, -0.25f);
    BMM_Color_64 clamped;
    back->GetPixels(1, 1, 1, &clamped);
    EXPECT_EQ(clamped.r, 65535);
    EXPECT_EQ(clamped.g, 0);
}

TEST_F(BitmapFilesTest, EightBitPngsLoadAsSixteenBitsAndBadFilesLoadAsNothing) {
    // An 8-bit file written through libpng's simplified interface.
    std::vector<std::uint8_t> rgba = {255, 128, 0, 255};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 1;
    image.height = 1;
    image.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&image, folder.file("eight.png").c_str(), 0, rgba.data(), 0,
                                        nullptr));
    BitmapInfo info;
    info.SetName(Utf8ToWide(folder.file("eight.png")).c_str());
    Bitmap* bm = core.Load(&info);
    ASSERT_NE(bm, nullptr);
    BMM_Color_64 q;
    bm->GetPixels(0, 0, 1, &q);
    EXPECT_EQ(q, (BMM_Color_64{65535, 128 * 257, 0, 65535}));
    bm->DeleteThis();

    BMMRES status = BMMRES_SUCCESS;
    info.SetName(Utf8ToWide(folder.file("none.png")).c_str());
    EXPECT_EQ(core.Load(&info, &status), nullptr);
    EXPECT_EQ(status, BMMRES_FILENOTFOUND);
    write_text(folder.file("junk.png"), "junk");
    info.SetName(Utf8ToWide(folder.file("junk.png")).c_str());
    EXPECT_EQ(core.Load(&info, &status), nullptr);
    EXPECT_EQ(status, BMMRES_INVALIDFORMAT);

    Bitmap* out = make(1, 1, BMM_TRUE_64);
    EXPECT_EQ(save(out, folder.file("image.xyz")), BMMRES_INVALIDFORMAT);
    BitmapInfo unopened;
    unopened.SetName(Utf8ToWide(folder.file("unopened.png")).c_str());
    EXPECT_NE(out->Write(&unopened), BMMRES_SUCCESS);
    EXPECT_EQ(save(out, folder.file("no_such_folder/x.png")), BMMRES_IOERROR);
}

TEST_F(BitmapFilesTest, AFrozenSelectionDoesNotChangeAndTimeSetsWithOrWithoutRedraw) {
    SceneNode* a = add_node(L"a", box_tri_object(true));
    SceneNode* b = add_node(L"b", box_tri_object(true));
    core.SelectNode(a);
    core.SelectNode(b, 0);
    core.SelectNode(a, 0);
    ASSERT_EQ(core.GetSelNodeCount(), 2) << "a node joins the selection once";
    core.FreezeSelection();
    core.ClearNodeSelection();
    core.SelectNode(b);
    EXPECT_EQ(core.GetSelNodeCount(), 2);
    EXPECT_EQ(core.GetSelNode(0), a);
    core.ThawSelection();
    core.SelectNode(b);
    EXPECT_EQ(core.GetSelNodeCount(), 1);
    EXPECT_EQ(core.GetSelNode(0), b);

    const int redraws = core.redraws();
    core.SetTime(320, 0);
    EXPECT_EQ(core.redraws(), redraws);
    core.SetTime(480);
    EXPECT_EQ(core.GetTime(), 480);
    EXPECT_EQ(core.redraws(), redraws + 1);
}
