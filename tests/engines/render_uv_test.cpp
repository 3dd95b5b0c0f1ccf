#include "engines/render_uv.h"
#include "engines/uvatlasProxy.h"
#include "standalone/files/png_file.h"
#include "support/test_host.h"

#include <cstdio>
#include <limits>
#include <set>

namespace vatlas = vellumar::atlas;

namespace {

class TemplateTest : public HostTest {
  protected:
    TemplateTest() { core.SetOutputFolder(::testing::TempDir()); }

    AtlasMeshPtr mesh_of(std::vector<std::array<float, 2>> uvs, std::vector<std::uint32_t> idx) {
        AtlasMeshPtr m;
        vatlas::create_mesh(static_cast<std::uint32_t>(idx.size() / 3),
                            static_cast<std::uint32_t>(uvs.size()), &m);
        for (std::size_t i = 0; i < uvs.size(); ++i) {
            m->vertices()[i] = {0, 0, 0, uvs[i][0], uvs[i][1]};
        }
        std::copy(idx.begin(), idx.end(), m->indices().begin());
        return m;
    }
    // Pixels of each colour: 'w' white, 'g' grey, '.' background.
    static std::vector<std::string> picture(Bitmap& b) {
        std::vector<std::string> rows;
        for (int y = 0; y < b.Height(); ++y) {
            std::string row;
            for (int x = 0; x < b.Width(); ++x) {
                BMM_Color_64 c;
                b.GetPixels(x, y, 1, &c);
                row += c.a == 0 ? '.' : (c.r == 0xFFFF ? 'w' : (c.r == 0x4000 ? 'g' : '?'));
            }
            rows.push_back(row);
        }
        return rows;
    }
};

} // namespace

TEST_F(TemplateTest, OneTriangleOnFourByFourPixelsClipsTheEdgeOnTheLowerBorder) {
    const auto m = mesh_of({{0, 0}, {1, 0}, {0, 1}}, {0, 1, 2});
    Bitmap* b = render_template(template_palette(), *m, 4, 4, "t", {});
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(picture(*b), (std::vector<std::string>{"w...", "ww..", "w.w.", "w..w"}));
}

TEST_F(TemplateTest, EdgesInsidePolygonsAreGreyAndZeroLengthEdgesWriteOnePixel) {
    // A quad split on its diagonal (0,0)-(1,1) drawn at 5 x 5, the diagonal
    // marked as a false edge; then a triangle whose corners share a pixel.
    const auto quad = mesh_of({{0, 0}, {0.9f, 0}, {0.9f, 0.9f}, {0, 0.9f}}, {0, 1, 2, 0, 2, 3});
    const std::vector<std::uint32_t> diagonal = {vatlas::kNoNeighbour, vatlas::kNoNeighbour, 1, 0,
                                                 vatlas::kNoNeighbour, vatlas::kNoNeighbour};
    Bitmap* b = render_template(template_palette(), *quad, 5, 5, "quad", diagonal);
    ASSERT_NE(b, nullptr);
    // Corners at (0, 5) (4, 5) (4, 0) (0, 0): the lower side falls on row 5,
    // outside; the diagonal steps 0.8 pixels across per row.
    EXPECT_EQ(picture(*b), (std::vector<std::string>{"wwwww", "w..gw", "w.g.w", "w.g.w", "wg..w"}));
    Bitmap* white = render_template(template_palette(), *quad, 5, 5, "quad", {});
    EXPECT_EQ(picture(*white)[2], "w.w.w") << "without false edges every edge is white";

    const auto dot = mesh_of({{0.5f, 0.5f}, {0.52f, 0.5f}, {0.5f, 0.48f}}, {0, 1, 2});
    Bitmap* d = render_template(template_palette(), *dot, 4, 4, "dot", {});
    EXPECT_EQ(picture(*d), (std::vector<std::string>{"....", "....", "..w.", "...."}));
}

TEST_F(TemplateTest, TheWindowWritesASixteenBitPngNamedAfterTheTitle) {
    const auto m = mesh_of({{0, 0}, {1, 0}, {0, 1}}, {0, 1, 2});
    render_template(template_palette(), *m, 4, 4, "Vellumar UV template (71.25%)", {});
    ASSERT_EQ(core.displayed().size(), 1u);
    const DisplayedImage& shown = core.displayed()[0];
    EXPECT_EQ(shown.path, ::testing::TempDir() + "/Vellumar UV template (71.25%).png");
    EXPECT_TRUE(shown.error.empty()) << shown.error;
    int w = 0, h = 0;
    std::vector<std::uint16_t> pixels;
    ASSERT_EQ(read_png_rgba16(shown.path, w, h, pixels), "");
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 4);
    EXPECT_EQ(pixels[0], 0xFFFF) << "pixel (0, 0) is white";
    EXPECT_EQ(pixels[3], 0xFFFF);
    EXPECT_EQ(pixels[4 + 3], 0) << "pixel (1, 0) is transparent";
    std::remove(shown.path.c_str());

    BitmapInfo none;
    EXPECT_EQ(core.Create(&none), nullptr) << "a zero-sized bitmap cannot be made";
}

TEST_F(TemplateTest, TrianglesWithCornersFarOutsideOrNotNumbersAreLeftOutAndTheRestDrawn) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto m = mesh_of({{0, 0}, {1, 0}, {0, 1}, {1e27f, 0}, {nan, 0.5f}, {0.5f, 17.5f}},
                           {0, 1, 2, 0, 3, 2, 0, 4, 1, 5, 1, 2});
    Bitmap* b = render_template(template_palette(), *m, 4, 4, "t", {});
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(picture(*b), (std::vector<std::string>{"w...", "ww..", "w.w.", "w..w"}))
        << "only the first triangle is drawn";
}
