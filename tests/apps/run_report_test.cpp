#include "apps/vellumar/run_report.h"

#include <gtest/gtest.h>

TEST(RunReport, ARunThatWentThroughIsWrittenByteForByte) {
    RunSummary run;
    run.ok = true;
    run.objects = 3;
    run.seconds_extract = 0.25;
    MapReport m;
    m.map = 0;
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
              "    {\"map\": 0, \"triangles\": 48, \"charts\": 7, \"coverage\": 0.625000, "
              "\"stretch\": 0.125000, \"seconds\": {\"combine\": 0.500000, \"engine\": 1.500000, "
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
