#include "apps/vellumar/batch_command.h"

#include "apps/vellumar/batch_summary.h"
#include "standalone/files/output_file.h"
#include "standalone/network/child_process.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* kListFile = "batch.list";
constexpr const char* kPresetFile = "batch.preset";
constexpr const char* kRowFile = "scene.json";

bool is_scene_file(const fs::path& p) {
    static const std::set<std::string> kinds = {".obj",   ".dae", ".fbx", ".gltf", ".glb",
                                                ".3ds",   ".ply", ".stl", ".ms3d", ".zae",
                                                ".blend", ".x",   ".lwo", ".ase",  ".vlscene"};
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return kinds.count(ext) != 0;
}

std::string read_text(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Writes through a temporary beside the target, so that a reader never
// sees half a file.
bool write_text(const fs::path& p, const std::string& text) {
    const fs::path tmp = p.parent_path() / ("." + p.filename().string() + ".tmp");
    {
        std::ofstream out(tmp, std::ios::binary);
        out << text;
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    fs::rename(tmp, p, ec);
    return !ec;
}

// The scenes a list names: a folder's scene files by name, or a text file's
// lines (relative to the file's folder; blank lines and # comments skipped).
bool read_list(const std::string& list, std::vector<std::string>& scenes) {
    std::error_code ec;
    if (fs::is_directory(list, ec)) {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(list, ec)) {
            if (e.is_regular_file(ec) && is_scene_file(e.path())) {
                found.push_back(e.path().string());
            }
        }
        std::sort(found.begin(), found.end());
        scenes = found;
        return true;
    }
    std::ifstream in(list);
    if (!in) {
        std::fprintf(stderr, "vellumar: cannot read the scene list '%s'\n", list.c_str());
        return false;
    }
    const fs::path base = fs::path(list).parent_path();
    for (std::string line; std::getline(in, line);) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
        const fs::path p(line);
        scenes.push_back((p.is_absolute() ? p : base / p).lexically_normal().string());
    }
    return true;
}

// The last lines a failed command printed, as the reason.
std::string reason(const ProcessResult& r) {
    if (!r.started) {
        return "the tool could not be started";
    }
    std::string text = r.err.empty() ? r.out : r.err;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    const std::size_t keep = 600;
    if (text.size() > keep) {
        text = "..." + text.substr(text.size() - keep);
    }
    return text.empty() ? "exit status " + std::to_string(r.exitCode) : text;
}

struct Task {
    std::string scene;
    std::string name;
};

// One scene, start to end, into OUT/.NAME.partial, then moved to OUT/NAME.
BatchRow run_scene(const Task& t, const fs::path& out, const std::string& preset) {
    BatchRow row;
    row.scene = t.scene;
    row.name = t.name;
    const fs::path stage = out / ("." + t.name + ".partial");
    const fs::path done = out / t.name;
    std::error_code ec;
    fs::remove_all(stage, ec);
    fs::create_directories(stage / "images", ec);
    const std::string self = SelfExecutable();
    const std::string saved = (stage / (t.name + ".vlscene")).string();
    std::vector<std::string> unwrap = {self,
                                       "unwrap",
                                       t.scene,
                                       "--group",
                                       t.name,
                                       "--save",
                                       saved,
                                       "--report",
                                       (stage / "report.json").string(),
                                       "--template",
                                       (stage / "atlas.png").string()};
    std::vector<std::string> bake = {self,
                                     "bake",
                                     saved,
                                     "--group",
                                     t.name,
                                     "--out",
                                     (stage / "images").string(),
                                     "--save",
                                     saved,
                                     "--export",
                                     (stage / (t.name + ".glb")).string()};
    if (!preset.empty()) {
        for (auto* argv : {&unwrap, &bake}) {
            argv->insert(argv->begin() + 2, {"--preset", preset});
        }
    }
    const ProcessResult u = RunProcess(unwrap);
    if (u.exitCode != 0) {
        row.message = "unwrap: " + reason(u);
        fs::remove_all(stage, ec);
        return row;
    }
    ReadReportFigures(read_text(stage / "report.json"), row);
    const auto t0 = std::chrono::steady_clock::now();
    const ProcessResult b = RunProcess(bake);
    row.bake_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (b.exitCode != 0) {
        row.message = "bake: " + reason(b);
        fs::remove_all(stage, ec);
        return row;
    }
    row.status = "ok";
    row.atlas = t.name + "/atlas.png";
    std::vector<std::string> images;
    for (const auto& e : fs::directory_iterator(stage / "images", ec)) {
        images.push_back(e.path().filename().string());
    }
    std::sort(images.begin(), images.end());
    for (const std::string& image : images) {
        if (row.diffuse.empty() || image.find("Diffuse") != std::string::npos ||
            (image.find("Complete") != std::string::npos &&
             row.diffuse.find("Diffuse") == std::string::npos)) {
            row.diffuse = t.name + "/images/" + image;
        }
    }
    write_text(stage / kRowFile, BatchSummaryJson({row}));
    fs::remove_all(done, ec);
    fs::rename(stage, done, ec);
    if (ec) {
        row.status = "failed";
        row.message = "cannot move the outputs to " + done.string() + ": " + ec.message();
        fs::remove_all(stage, ec);
    }
    return row;
}

// The row an earlier run left in OUT/NAME, when it went through.
bool finished_row(const fs::path& out, const Task& t, BatchRow& row) {
    const std::string text = read_text(out / t.name / kRowFile);
    if (text.find("\"status\": \"ok\"") == std::string::npos) {
        return false;
    }
    row.scene = t.scene;
    row.name = t.name;
    row.status = "ok";
    row.atlas = t.name + "/atlas.png";
    ReadReportFigures(read_text(out / t.name / "report.json"), row);
    const auto at = text.find("\"bake_seconds\": ");
    row.bake_seconds = at == std::string::npos ? 0 : std::strtod(text.c_str() + at + 16, nullptr);
    const auto d = text.find("\"diffuse\": \"");
    if (d != std::string::npos) {
        row.diffuse = text.substr(d + 12, text.find('"', d + 12) - d - 12);
    }
    return true;
}

} // namespace

int run_batch_command(const BatchCommand& cmd) {
    const fs::path out = cmd.resume.empty() ? fs::path(cmd.out) : fs::path(cmd.resume);
    std::vector<std::string> scenes;
    std::string preset = cmd.preset;
    std::error_code ec;
    if (!cmd.resume.empty()) {
        if (!read_list((out / kListFile).string(), scenes)) {
            std::fprintf(stderr, "vellumar: '%s' holds no batch to resume\n", cmd.resume.c_str());
            return 2;
        }
        std::string saved = read_text(out / kPresetFile);
        while (!saved.empty() && saved.back() == '\n') {
            saved.pop_back();
        }
        preset = saved;
    } else if (!read_list(cmd.list, scenes)) {
        return 2;
    }
    if (!preset.empty() && !fs::is_regular_file(preset, ec)) {
        std::fprintf(stderr, "vellumar: no preset '%s'\n", preset.c_str());
        return 2;
    }
    fs::create_directories(out, ec);
    if (!fs::is_directory(out, ec)) {
        std::fprintf(stderr, "vellumar: cannot make the output folder '%s'\n", out.c_str());
        return 2;
    }
    if (!preset.empty()) {
        preset = fs::absolute(preset).string();
    }
    // What a killed run left half-written goes; finished scenes stay.
    for (const auto& e : fs::directory_iterator(out, ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() > 9 && name[0] == '.' && name.ends_with(".partial")) {
            fs::remove_all(e.path(), ec);
        }
    }
    // The list as it was taken, so that --resume runs the same batch.
    std::string listed;
    for (const std::string& s : scenes) {
        listed += fs::absolute(s).lexically_normal().string() + "\n";
    }
    if (cmd.resume.empty() &&
        (!write_text(out / kListFile, listed) || !write_text(out / kPresetFile, preset + "\n"))) {
        std::fprintf(stderr, "vellumar: cannot write into '%s'\n", out.c_str());
        return 2;
    }

    // One row per listed scene, in list order; names from the file names,
    // made unique.
    std::vector<BatchRow> rows(scenes.size());
    std::vector<std::pair<std::size_t, Task>> todo;
    std::set<std::string> seen_paths, names;
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        BatchRow& row = rows[i];
        row.scene = scenes[i];
        const fs::path p(scenes[i]);
        if (!fs::is_regular_file(p, ec)) {
            row.status = "missing";
            row.message = fs::exists(p, ec) ? "not a file" : "no such file";
            continue;
        }
        const std::string canonical = fs::canonical(p, ec).string();
        if (!seen_paths.insert(canonical).second) {
            row.status = "duplicate";
            row.message = "listed before; baked once";
            continue;
        }
        std::string name = p.stem().string();
        for (int k = 2; names.count(name) != 0; ++k) {
            name = p.stem().string() + "_" + std::to_string(k);
        }
        names.insert(name);
        row.name = name;
        if (!cmd.resume.empty() && finished_row(out, {scenes[i], name}, row)) {
            std::printf("%s: done before\n", name.c_str());
            continue;
        }
        todo.emplace_back(i, Task{scenes[i], name});
    }

    std::mutex mutex;
    std::atomic<std::size_t> next{0};
    std::size_t finished = 0;
    auto worker = [&] {
        for (std::size_t k = next++; k < todo.size(); k = next++) {
            const auto t0 = std::chrono::steady_clock::now();
            BatchRow row = run_scene(todo[k].second, out, preset);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            std::lock_guard lock(mutex);
            rows[todo[k].first] = row;
            ++finished;
            std::printf("[%zu/%zu] %s: %s (%.1f s)%s%s\n", finished, todo.size(), row.name.c_str(),
                        row.status.c_str(), seconds, row.message.empty() ? "" : "\n  ",
                        row.message.c_str());
            std::fflush(stdout);
        }
    };
    const int workers = cmd.farm == "local" ? std::max(1, cmd.jobs) : 1;
    std::vector<std::thread> threads;
    for (int i = 0; i < workers; ++i) {
        threads.emplace_back(worker);
    }
    for (std::thread& t : threads) {
        t.join();
    }

    const bool written = write_text(out / "summary.json", BatchSummaryJson(rows)) &&
                         write_text(out / "summary.html", BatchSummaryHtml(rows));
    const auto ok = std::count_if(rows.begin(), rows.end(), [](const BatchRow& r) {
        return r.status == "ok" || r.status == "duplicate";
    });
    std::printf("%td of %zu scenes went through; summary: %s\n", ok, rows.size(),
                (out / "summary.html").c_str());
    if (!written) {
        std::fprintf(stderr, "vellumar: the summary could not be written into '%s'\n", out.c_str());
        return 2;
    }
    return ok == static_cast<std::ptrdiff_t>(rows.size()) ? 0 : 1;
}
