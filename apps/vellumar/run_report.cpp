#include "apps/vellumar/run_report.h"

#include "standalone/files/json_text.h"

#include <cstdio>

namespace {} // namespace

std::string report_json(const RunSummary& run) {
    std::string out = "{\n  \"status\": ";
    out += run.ok ? "\"ok\",\n" : "\"failed\",\n  \"message\": " + JsonQuoted(run.message) + ",\n";
    char line[512];
    std::snprintf(line, sizeof line,
                  "  \"objects\": %u,\n  \"seconds_extract\": %.6f,\n  \"maps\": [", run.objects,
                  run.seconds_extract);
    out += line;
    for (std::size_t i = 0; i < run.maps.size(); ++i) {
        const MapReport& m = run.maps[i];
        std::snprintf(
            line, sizeof line,
            "%s\n    {\"map\": %d, \"triangles\": %u, \"charts\": %u, \"coverage\": %.6f, "
            "\"stretch\": %.6f, \"seconds\": {\"combine\": %.6f, \"engine\": %.6f, "
            "\"corrections\": %.6f, \"write_back\": %.6f}}",
            i == 0 ? "" : ",", m.map, m.triangles, m.charts, m.coverage,
            static_cast<double>(m.stretch), m.seconds_combine, m.seconds_engine,
            m.seconds_corrections, m.seconds_write_back);
        out += line;
    }
    out += run.maps.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}
