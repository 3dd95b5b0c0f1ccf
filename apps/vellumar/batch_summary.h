// The summary of a batch: one row per scene, as JSON and as a page that
// opens from disk (sortable, with each scene's atlas and baked diffuse).
#pragma once

#include <string>
#include <vector>

struct BatchRow {
    std::string name;              // the scene's folder under OUT ("" when it has none)
    std::string scene;             // the path as listed
    std::string status = "failed"; // ok, failed, missing, duplicate
    std::string message;
    int objects = 0;
    int maps = 0;
    std::string map_size; // "WxH" of the maps (one size per group); "" when not known
    int charts = 0;
    double coverage = 0.0;
    double texel_density = 0.0; // texels per scene unit, the maps' mean
    double bake_seconds = 0.0;
    std::string atlas;   // relative to OUT
    std::string diffuse; // relative to OUT
};

std::string BatchSummaryJson(const std::vector<BatchRow>& rows);
std::string BatchSummaryHtml(const std::vector<BatchRow>& rows);

// The numbers that follow `"key": ` in a text of ours, in order.
std::vector<double> NumbersAfter(const std::string& text, const std::string& key);

// The figures of a scene's unwrap report (as `vellumar unwrap --report`
// writes it) into the row.
void ReadReportFigures(const std::string& report, BatchRow& row);
