#include "apps/vellumar/batch_summary.h"

#include "standalone/files/json_text.h"

#include <cstdio>
#include <cstdlib>

namespace {

std::string html_escaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::vector<double> NumbersAfter(const std::string& text, const std::string& key) {
    std::vector<double> out;
    const std::string mark = "\"" + key + "\": ";
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) {
        out.push_back(std::strtod(text.c_str() + at + mark.size(), nullptr));
    }
    return out;
}

namespace {

std::string fixed(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

} // namespace

void ReadReportFigures(const std::string& report, BatchRow& row) {
    const auto objects = NumbersAfter(report, "objects");
    row.objects = objects.empty() ? 0 : static_cast<int>(objects.front());
    // The maps' section ends where the per-object figures begin.
    const auto begin = report.find("\"maps\": [");
    const auto end = report.find("\n  ]", begin);
    if (begin == std::string::npos || end == std::string::npos) {
        return;
    }
    const std::string maps = report.substr(begin, end - begin);
    const auto charts = NumbersAfter(maps, "charts");
    const auto coverage = NumbersAfter(maps, "coverage");
    const auto density = NumbersAfter(maps, "texel_density");
    const auto widths = NumbersAfter(maps, "width"), heights = NumbersAfter(maps, "height");
    row.map_size.clear();
    if (!widths.empty() && !heights.empty() && widths.front() > 0 && heights.front() > 0) {
        row.map_size = std::to_string(static_cast<long>(widths.front())) + "x" +
                       std::to_string(static_cast<long>(heights.front()));
    }
    row.maps = static_cast<int>(charts.size());
    row.charts = 0;
    row.coverage = 0.0;
    for (std::size_t i = 0; i < charts.size(); ++i) {
        row.charts += static_cast<int>(charts[i]);
        row.coverage += i < coverage.size() ? coverage[i] / static_cast<double>(charts.size()) : 0;
    }
    row.texel_density = 0.0;
    for (double d : density) {
        row.texel_density += d / static_cast<double>(density.size());
    }
}

std::string BatchSummaryJson(const std::vector<BatchRow>& rows) {
    std::string out = "{\n  \"scenes\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const BatchRow& r = rows[i];
        out +=
            std::string(i == 0 ? "" : ",") + "\n    {\"name\": " + JsonQuoted(r.name) +
            ", \"scene\": " + JsonQuoted(r.scene) + ", \"status\": " + JsonQuoted(r.status) +
            ", \"message\": " + JsonQuoted(r.message) +
            ", \"objects\": " + std::to_string(r.objects) +
            ", \"maps\": " + std::to_string(r.maps) + ", \"map_size\": " + JsonQuoted(r.map_size) +
            ", \"charts\": " + std::to_string(r.charts) +
            ", \"coverage\": " + fixed(r.coverage, 6) +
            ", \"texel_density\": " + fixed(r.texel_density, 6) +
            ", \"bake_seconds\": " + fixed(r.bake_seconds, 3) +
            ", \"atlas\": " + JsonQuoted(r.atlas) + ", \"diffuse\": " + JsonQuoted(r.diffuse) + "}";
    }
    return out + (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string BatchSummaryHtml(const std::vector<BatchRow>& rows) {
    int ok = 0;
    for (const BatchRow& r : rows) {
        ok += r.status == "ok" ? 1 : 0;
    }
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Vellumar batch</title>\n<style>\n"
        "body{font:13px sans-serif;margin:16px;background:#f4f4f4;color:#222}\n"
        "table{border-collapse:collapse;background:#fff}\n"
        "th,td{border:1px solid #ccc;padding:4px 8px;text-align:left;vertical-align:middle}\n"
        "th{background:#3c7dd9;color:#fff;cursor:pointer;user-select:none}\n"
        "td.num{text-align:right}\ntr.failed td,tr.missing td{background:#fde8e4}\n"
        "img{width:96px;height:96px;background:#222}\n"
        ".msg{max-width:320px;white-space:pre-wrap;color:#a33}\n</style></head><body>\n"
        "<h1>Vellumar batch</h1>\n<p>" +
        std::to_string(ok) + " of " + std::to_string(rows.size()) +
        " scenes went through. Click a column to sort.</p>\n<table id=\"scenes\"><thead><tr>"
        "<th>Scene</th><th>Status</th><th>Objects</th><th>Maps</th><th>Map size</th><th>Charts</th>"
        "<th>Coverage</th><th>Texel density</th><th>Bake s</th><th>Atlas</th>"
        "<th>Baked diffuse</th></tr></thead>\n<tbody>\n";
    for (const BatchRow& r : rows) {
        auto image = [](const std::string& src) {
            return src.empty() ? std::string("<td></td>")
                               : "<td><img src=\"" + html_escaped(src) + "\" alt=\"\"></td>";
        };
        html +=
            "<tr class=\"" + html_escaped(r.status) + "\"><td title=\"" + html_escaped(r.scene) +
            "\">" + html_escaped(r.name.empty() ? r.scene : r.name) + "</td><td>" +
            html_escaped(r.status) +
            (r.message.empty() ? "" : "<div class=\"msg\">" + html_escaped(r.message) + "</div>") +
            "</td><td class=\"num\">" + std::to_string(r.objects) + "</td><td class=\"num\">" +
            std::to_string(r.maps) + "</td><td class=\"num\">" + html_escaped(r.map_size) +
            "</td><td class=\"num\">" + std::to_string(r.charts) + "</td><td class=\"num\">" +
            fixed(r.coverage, 3) + "</td><td class=\"num\">" + fixed(r.texel_density, 2) +
            "</td><td class=\"num\">" + fixed(r.bake_seconds, 2) + "</td>" + image(r.atlas) +
            image(r.diffuse) + "</tr>\n";
    }
    html += "</tbody></table>\n<script>\n"
            "document.querySelectorAll('th').forEach((th, col) => th.addEventListener('click', () "
            "=> {\n"
            "  const body = document.querySelector('tbody');\n"
            "  const up = th.dataset.up !== '1'; th.dataset.up = up ? '1' : '0';\n"
            "  const key = (tr) => { const t = tr.cells[col].textContent; const n = parseFloat(t); "
            "return isNaN(n) ? t : n; };\n"
            "  [...body.rows].sort((a, b) => { const x = key(a), y = key(b); return (x < y ? -1 : "
            "x > y ? 1 : 0) * (up ? 1 : -1); })\n"
            "    .forEach((tr) => body.appendChild(tr));\n}));\n</script>\n</body></html>\n";
    return html;
}
