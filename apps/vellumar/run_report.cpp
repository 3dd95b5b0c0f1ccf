#include "apps/vellumar/run_report.h"

#include "standalone/files/json_text.h"

#include <cstdio>

namespace {

std::string figures_json(const SurfaceFigures& f) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "\"area\": %.6f, \"texel_density\": %.6f, \"charts\": %u, \"seam_length\": %.6f",
                  f.area, f.density(), f.charts, f.seam_length);
    return text;
}

} // namespace

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
        std::snprintf(line, sizeof line,
                      "%s\n    {\"map\": %d, \"width\": %d, \"height\": %d, \"triangles\": %u, "
                      "\"charts\": %u, \"coverage\": %.6f, \"stretch\": %.6f, \"seconds\": "
                      "{\"combine\": %.6f, \"engine\": %.6f, "
                      "\"corrections\": %.6f, \"write_back\": %.6f}}",
                      i == 0 ? "" : ",", m.map, m.width, m.height, m.triangles, m.charts,
                      m.coverage, static_cast<double>(m.stretch), m.seconds_combine,
                      m.seconds_engine, m.seconds_corrections, m.seconds_write_back);
        out += line;
        SurfaceFigures map;
        bool measured = false;
        for (const ObjectFigures& o : run.objects_measured) {
            if (o.map == m.map) {
                map.add(o.figures);
                measured = true;
            }
        }
        if (measured) {
            std::snprintf(line, sizeof line,
                          ", \"area\": %.6f, \"texel_density\": %.6f, \"seam_length\": %.6f",
                          map.area, map.density(), map.seam_length);
            out.insert(out.size() - 1, line);
        }
    }
    out += run.maps.empty() ? "]" : "\n  ]";
    if (!run.objects_measured.empty()) {
        out += ",\n  \"density_unit\": \"texels per scene unit\",\n  \"object_figures\": [";
        for (std::size_t i = 0; i < run.objects_measured.size(); ++i) {
            const ObjectFigures& o = run.objects_measured[i];
            out += std::string(i == 0 ? "" : ",") + "\n    {\"name\": " + JsonQuoted(o.name) +
                   ", \"map\": " + std::to_string(o.map) + ", " + figures_json(o.figures) + "}";
        }
        out += "\n  ]";
    }
    out += "\n}\n";
    return out;
}
