#include "apps/vellumar/batch_summary.h"
#include "apps/vellumar/object_figures.h"
#include "apps/vellumar/run_report.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(RunReport, ARunThatWentThroughIsWrittenByteForByte) {
    RunSummary run;
    run.ok = true;
    run.objects = 3;
    run.seconds_extract = 0.25;
    MapReport m;
    m.map = 0;
    m.width = 1024;
    m.height = 512;
    m.triangles = 48;
    m.charts = 7;
    m.coverage = 0.625;
    m.stretch = 0.125f;
    m.seconds_combine = 0.5;
    m.seconds_engine = 1.5;
    m.seconds_corrections = 0.0625;
    m.seconds_write_back = 0.03125;
    run.maps = {m};
    EXPECT_EQ(report_json(run),
              "{\n"
              "  \"status\": \"ok\",\n"
              "  \"objects\": 3,\n"
              "  \"seconds_extract\": 0.250000,\n"
              "  \"maps\": [\n"
              "    {\"map\": 0, \"width\": 1024, \"height\": 512, \"triangles\": 48, "
              "\"charts\": 7, \"coverage\": 0.625000, \"stretch\": 0.125000, \"seconds\": "
              "{\"combine\": 0.500000, \"engine\": 1.500000, "
              "\"corrections\": 0.062500, \"write_back\": 0.031250}}\n"
              "  ]\n"
              "}\n");
}

TEST(RunReport, AStoppedRunSaysWhyWithTheMessageEscaped) {
    RunSummary run;
    run.message = "Object \"a\\b\" has\tno UVs";
    run.objects = 2;
    EXPECT_EQ(report_json(run), "{\n"
                                "  \"status\": \"failed\",\n"
                                "  \"message\": \"Object \\\"a\\\\b\\\" has\\u0009no UVs\",\n"
                                "  \"objects\": 2,\n"
                                "  \"seconds_extract\": 0.000000,\n"
                                "  \"maps\": []\n"
                                "}\n");
}

TEST(RunReport, ObjectFiguresAndTheirMapSums) {
    RunSummary run;
    run.ok = true;
    run.objects = 2;
    MapReport m;
    run.maps = {m};
    run.objects_measured = {{"a\"b", 0, {4.0, 16384.0, 2, 3.5}}, {"c", 0, {12.0, 0.0, 1, 0.5}}};
    EXPECT_EQ(report_json(run),
              "{\n"
              "  \"status\": \"ok\",\n"
              "  \"objects\": 2,\n"
              "  \"seconds_extract\": 0.000000,\n"
              "  \"maps\": [\n"
              "    {\"map\": 0, \"width\": 0, \"height\": 0, \"triangles\": 0, \"charts\": 0, "
              "\"coverage\": 0.000000, \"stretch\": 0.000000, \"seconds\": {\"combine\": 0.000000, "
              "\"engine\": 0.000000, "
              "\"corrections\": 0.000000, \"write_back\": 0.000000}, \"area\": 16.000000, "
              "\"texel_density\": 32.000000, \"seam_length\": 4.000000}\n"
              "  ],\n"
              "  \"density_unit\": \"texels per scene unit\",\n"
              "  \"object_figures\": [\n"
              "    {\"name\": \"a\\\"b\", \"map\": 0, \"area\": 4.000000, \"texel_density\": "
              "64.000000, \"charts\": 2, \"seam_length\": 3.500000},\n"
              "    {\"name\": \"c\", \"map\": 0, \"area\": 12.000000, \"texel_density\": 0.000000, "
              "\"charts\": 1, \"seam_length\": 0.500000}\n"
              "  ]\n"
              "}\n");
}

// A cube of side 2 whose six sides are charts of their own, each a quarter
// of a 256 x 128 map: worked out by hand, not by the code under test.
TEST(ObjectFigures, ACubeOfSixChartsMeasuredByHand) {
    Mesh mesh;
    const Point3 corners[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                               {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    mesh.setNumVerts(8);
    for (int i = 0; i < 8; ++i) {
        mesh.getVert(i) = corners[i];
    }
    const int quads[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    mesh.setNumMaps(2);
    mesh.setMapSupport(1);
    mesh.setNumFaces(12);
    mesh.setNumMapVerts(1, 24);
    for (int q = 0; q < 6; ++q) {
        const float u = 0.5f * static_cast<float>(q % 2), v = 0.5f * static_cast<float>(q / 2 % 2);
        const float corner[4][2] = {{u, v}, {u + 0.5f, v}, {u + 0.5f, v + 0.5f}, {u, v + 0.5f}};
        for (int k = 0; k < 4; ++k) {
            mesh.mapVerts(1)[q * 4 + k] = UVVert{corner[k][0], corner[k][1], 0};
        }
        const auto a = static_cast<DWORD>(q * 4);
        mesh.faces[2 * q].setVerts(quads[q][0], quads[q][1], quads[q][2]);
        mesh.faces[2 * q + 1].setVerts(quads[q][0], quads[q][2], quads[q][3]);
        mesh.mapFaces(1)[2 * q].setTVerts(a, a + 1, a + 2);
        mesh.mapFaces(1)[2 * q + 1].setTVerts(a, a + 2, a + 3);
    }
    Matrix3 tm; // scaled by 2
    tm.SetRow(0, {2, 0, 0});
    tm.SetRow(1, {0, 2, 0});
    tm.SetRow(2, {0, 0, 2});
    const SurfaceFigures f = MeasureSurface(mesh, tm, 1, 256, 128);
    EXPECT_DOUBLE_EQ(f.area, 24.0);
    EXPECT_DOUBLE_EQ(f.texel_area, 6 * 0.25 * 256 * 128);
    EXPECT_EQ(f.charts, 6u);
    EXPECT_DOUBLE_EQ(f.seam_length, 12 * 2.0); // every cube edge, once; no diagonal
    EXPECT_DOUBLE_EQ(f.density(), std::sqrt(6 * 0.25 * 256 * 128 / 24.0));
    // A channel the mesh does not have measures nothing.
    EXPECT_EQ(MeasureSurface(mesh, tm, 3, 256, 128).charts, 0u);
}

// A batch reads its scenes' figures back from the reports the tool wrote.
TEST(BatchSummary, ReadsTheReportAndWritesItsRowByteForByte) {
    RunSummary run;
    run.ok = true;
    run.objects = 3;
    MapReport a, b;
    a.map = 0;
    a.width = b.width = 512;
    a.height = b.height = 256;
    a.charts = 4;
    a.coverage = 0.5;
    b.map = 1;
    b.charts = 6;
    b.coverage = 0.75;
    run.maps = {a, b};
    run.objects_measured = {{"x", 0, {4.0, 16384.0, 4, 1.0}}, {"y", 1, {1.0, 100.0, 6, 1.0}}};
    BatchRow row;
    row.name = "s";
    row.scene = "dir/s.obj";
    row.status = "ok";
    ReadReportFigures(report_json(run), row);
    EXPECT_EQ(row.objects, 3);
    EXPECT_EQ(row.maps, 2);
    EXPECT_EQ(row.charts, 10);
    EXPECT_DOUBLE_EQ(row.coverage, 0.625);
    EXPECT_DOUBLE_EQ(row.texel_density, (64.0 + 10.0) / 2);
    row.bake_seconds = 1.25;
    row.atlas = "s/atlas.png";
    EXPECT_EQ(BatchSummaryJson({row}),
              "{\n  \"scenes\": [\n    {\"name\": \"s\", \"scene\": \"dir/s.obj\", \"status\": "
              "\"ok\", \"message\": \"\", \"objects\": 3, \"maps\": 2, \"map_size\": \"512x256\", "
              "\"charts\": 10, "
              "\"coverage\": 0.625000, \"texel_density\": 37.000000, \"bake_seconds\": 1.250, "
              "\"atlas\": \"s/atlas.png\", \"diffuse\": \"\"}\n  ]\n}\n");
    // The page escapes what a file name may hold.
    row.name = "<b>&";
    EXPECT_NE(BatchSummaryHtml({row}).find("&lt;b&gt;&amp;"), std::string::npos);
}
