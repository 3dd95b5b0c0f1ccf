#include "support/temp_folder.h"

#include "standalone/files/image_files.h"
#include "standalone/files/png_file.h"
#include "standalone/materials/texture_images.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(ImageFiles, FloatImagesGoThroughExrUnchanged) {
    TempFolder dir;
    FloatImage img;
    img.width = 3;
    img.height = 2;
    img.rgba = {0, 1, 2.5f, 1, -1, 1e6f, 0.1f, 0,    0.5f, 0.25f, 0.125f, 1,
                7, 8, 9,    1, 3,  4,    5,    0.5f, 6,    6,     6,      6};
    ASSERT_EQ(WriteExrFile(dir.file("a.exr"), img), "");
    FloatImage back;
    ASSERT_EQ(ReadImageFile(dir.file("a.exr"), back), "");
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.rgba, img.rgba);
}

TEST(ImageFiles, TexturesOfEveryCommonKindReadAsRgba) {
    // A JPEG and a TGA that scenes of the test models bring.
    FloatImage jpg, tga;
    ASSERT_EQ(ReadImageFile(std::string(VELLUMAR_ASSIMP_MODELS) + "/Collada/duck_sample.jpg", jpg),
              "");
    EXPECT_GT(jpg.width, 0);
    EXPECT_EQ(jpg.rgba.size(), std::size_t(jpg.width) * std::size_t(jpg.height) * 4);
    EXPECT_FLOAT_EQ(jpg.rgba[3], 1.0f); // no alpha in the file: opaque
    ASSERT_EQ(ReadImageFile(std::string(VELLUMAR_ASSIMP_MODELS) + "/Collada/duckCM.tga", tga), "");
    EXPECT_GT(tga.height, 0);

    // A 16-bit PNG keeps its values; odd sizes are fine.
    TempFolder dir;
    std::vector<std::uint16_t> px(5 * 3 * 4);
    for (std::size_t i = 0; i < px.size(); ++i) {
        px[i] = static_cast<std::uint16_t>(i * 1000 + 1);
    }
    ASSERT_EQ(write_png_rgba16(dir.file("odd.png"), 5, 3, px), "");
    FloatImage png;
    ASSERT_EQ(ReadImageFile(dir.file("odd.png"), png), "");
    ASSERT_EQ(png.width, 5);
    for (std::size_t i = 0; i < px.size(); ++i) {
        EXPECT_FLOAT_EQ(png.rgba[i], float(px[i]) / 65535.0f);
    }
}

// An image above the reader's budget is refused from its header, whatever
// its kind, so that a damaged or hostile header costs no memory.
TEST(ImageFiles, ImagesAboveTheBudgetAreRefusedBeforeDecoding) {
    TempFolder dir;
    std::vector<std::uint16_t> px(64 * 40 * 4, 30000);
    ASSERT_EQ(write_png_rgba16(dir.file("big.png"), 64, 40, px), "");
    FloatImage img;
    const std::string png = ReadImageFile(dir.file("big.png"), img, 2000);
    EXPECT_NE(png.find("an image of 64 x 40 pixels is more than the 2000 pixels read here"),
              std::string::npos)
        << png;
    EXPECT_TRUE(img.Empty());
    const std::string tga = std::string(VELLUMAR_ASSIMP_MODELS) + "/Collada/duckCM.tga";
    EXPECT_NE(ReadImageFile(tga, img, 100).find("pixels read here"), std::string::npos);
    FloatImage exr;
    exr.width = 64;
    exr.height = 40;
    exr.rgba.assign(64 * 40 * 4, 0.5f);
    ASSERT_EQ(WriteExrFile(dir.file("big.exr"), exr), "");
    EXPECT_NE(ReadImageFile(dir.file("big.exr"), img, 2000).find("pixels read here"),
              std::string::npos);
    EXPECT_EQ(ReadImageFile(dir.file("big.exr"), img, 2560), "");
    EXPECT_EQ(img.width, 64);
}

// A pipe named as a texture would block the bake on its first read.
TEST(ImageFiles, TexturesAreReadOnlyFromRegularFiles) {
    TempFolder dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0600), 0);
    std::string error;
    EXPECT_EQ(LoadTextureFile(dir.file("pipe.png"), error), nullptr);
    EXPECT_EQ(error, "it is not a regular file");
    EXPECT_EQ(LoadTextureFile(dir.file("none.png"), error), nullptr);
    EXPECT_EQ(error, "no such file");
    EXPECT_EQ(LoadTextureFile(dir.file(""), error), nullptr);
    EXPECT_EQ(error, "it is not a regular file");
}

TEST(ImageFiles, DamagedOrMissingFilesSayWhyAndYieldNothing) {
    TempFolder dir;
    FloatImage img;
    EXPECT_NE(ReadImageFile(dir.file("missing.png"), img), "");
    EXPECT_TRUE(img.Empty());
    const std::string jpg =
        read_text(std::string(VELLUMAR_ASSIMP_MODELS) + "/Collada/duck_sample.jpg");
    write_text(dir.file("cut.jpg"), jpg.substr(0, 40));
    EXPECT_NE(ReadImageFile(dir.file("cut.jpg"), img), "");
    write_text(dir.file("cut.exr"), "v/1\x01 not really");
    EXPECT_NE(ReadImageFile(dir.file("cut.exr"), img), "");
    EXPECT_TRUE(img.Empty());
    EXPECT_NE(WriteExrFile(dir.file("no/such/folder/x.exr"), FloatImage{}), "");
}
