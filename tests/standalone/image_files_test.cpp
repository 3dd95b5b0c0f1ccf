#include "support/temp_folder.h"

#include "standalone/image_files.h"
#include "standalone/png_file.h"

#include <gtest/gtest.h>

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
