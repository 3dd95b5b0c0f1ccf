#include "apps/vellumar/batch_command.h"

#include "apps/vellumar/batch_summary.h"
#include "standalone/files/output_file.h"
#include "standalone/network/child_process.h"
#include "standalone/network/job_queue.h"
#include "standalone/network/slurm_queue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kListFile = "batch.list";
constexpr const char* kPresetFile = "batch.preset";
constexpr const char* kRowFile = "scene.json";
constexpr const char* kUnwrapFile = "batch.unwrap";

// What every scene of a batch is unwrapped and baked with.
struct BatchSettings {
    std::string preset;                   // absolute; empty: the default preset
    std::vector<std::string> unwrap_args; // the density options, as typed
};

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
BatchRow run_scene_once(const Task& t, const fs::path& out, const BatchSettings& settings);

fs::path failure_file(const fs::path& out, const std::string& name) {
    return out / ("." + name + ".failed");
}

// The scene, and a note of its failure beside the folders for whoever
// gathers the rows (a farm task has no other way to say why).
BatchRow run_scene(const Task& t, const fs::path& out, const BatchSettings& settings) {
    std::error_code ec;
    fs::remove(failure_file(out, t.name), ec);
    BatchRow row = run_scene_once(t, out, settings);
    if (row.status != "ok") {
        write_text(failure_file(out, t.name), row.message);
    }
    return row;
}

// A scene that went through: its atlas and the picture of its baked diffuse
// map (a diffuse element's image, else a complete map's, else the first),
// from what `folder` holds.
void took_outputs(const fs::path& folder, const std::string& name, BatchRow& row) {
    row.status = "ok";
    row.atlas = name + "/atlas.png";
    std::vector<std::string> images;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder / "images", ec)) {
        images.push_back(e.path().filename().string());
    }
    std::sort(images.begin(), images.end());
    row.diffuse.clear();
    for (const std::string& image : images) {
        if (row.diffuse.empty() || image.find("Diffuse") != std::string::npos ||
            (image.find("Complete") != std::string::npos &&
             row.diffuse.find("Diffuse") == std::string::npos)) {
            row.diffuse = name + "/images/" + image;
        }
    }
}

BatchRow run_scene_once(const Task& t, const fs::path& out, const BatchSettings& settings) {
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
    if (!settings.preset.empty()) {
        for (auto* argv : {&unwrap, &bake}) {
            argv->insert(argv->begin() + 2, {"--preset", settings.preset});
        }
    }
    unwrap.insert(unwrap.end(), settings.unwrap_args.begin(), settings.unwrap_args.end());
    const ProcessResult u = RunProcess(unwrap);
    if (u.exitCode != 0) {
        row.message = "unwrap: " + reason(u);
        fs::remove_all(stage, ec);
        return row;
    }
    const std::string report = read_text(stage / "report.json");
    ReadReportFigures(report, row);
    // With a texel density every map of the group has the size the unwrap
    // chose, and the bake must match it to keep the density.
    if (!settings.unwrap_args.empty() && !row.map_size.empty()) {
        bake.insert(bake.end(), {"--element-size", row.map_size});
    }
    const auto t0 = std::chrono::steady_clock::now();
    const ProcessResult b = RunProcess(bake);
    row.bake_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (b.exitCode != 0) {
        row.message = "bake: " + reason(b);
        fs::remove_all(stage, ec);
        return row;
    }
    took_outputs(stage, t.name, row);
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

constexpr const char* kTaskFile = "batch.tasks";
constexpr const char* kClaimDir = ".claims";

// The next scene for a farm task, from `from` on (below `count`; count when
// all are taken): scene K is taken by making OUT/.claims/K, which succeeds
// for one task only, also on a file system shared by the nodes where locks
// may not hold. -1, with the reason printed, when no mark can be made.
long claim_next(const fs::path& out, long& from, long count) {
    for (; from < count; ++from) {
        const fs::path mark = out / kClaimDir / std::to_string(from);
        if (::mkdir(mark.c_str(), 0700) == 0) {
            return from++;
        }
        if (errno != EEXIST) {
            std::fprintf(stderr, "vellumar: cannot claim a scene in '%s': %s\n",
                         (out / kClaimDir).c_str(), std::strerror(errno));
            return -1;
        }
    }
    return count;
}

BatchSettings read_settings(const fs::path& out) {
    BatchSettings settings;
    settings.preset = read_text(out / kPresetFile);
    while (!settings.preset.empty() && settings.preset.back() == '\n') {
        settings.preset.pop_back();
    }
    std::istringstream args(read_text(out / kUnwrapFile));
    for (std::string arg; std::getline(args, arg);) {
        settings.unwrap_args.push_back(arg);
    }
    return settings;
}

ProcessResult slurm(const std::vector<std::string>& argv) {
    return RunProcess(argv, {"SLURM_CONF=" + SlurmConfigPath()});
}

// `workers` tasks as one Slurm array job; the job's id, or "" with the
// reason printed.
std::string submit_array(const fs::path& out, std::size_t workers) {
    std::error_code ec;
    fs::create_directories(out / ".logs", ec);
    const std::string script = "exec " + ShellQuote(SelfExecutable()) + " batch-task " +
                               ShellQuote(fs::absolute(out).string()) + " \"$SLURM_ARRAY_TASK_ID\"";
    const ProcessResult r = slurm(
        {"sbatch", "--parsable", "-J", "vellumar-batch", "--array=0-" + std::to_string(workers - 1),
         "-o", (fs::absolute(out) / ".logs" / "task-%a.log").string(), "--wrap", script});
    std::string id = r.out.substr(0, r.out.find_first_of(";\n"));
    if (r.exitCode != 0 || id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
        std::fprintf(stderr, "vellumar: the batch could not be submitted: %s\n", reason(r).c_str());
        return "";
    }
    return id;
}

// Whether the array job has tasks still waiting or running; false (and
// `gone` set) when the farm does not answer.
bool array_running(const std::string& id, bool& gone) {
    const ProcessResult r = slurm({"squeue", "-h", "-j", id, "-o", "%T"});
    if (r.exitCode != 0) {
        // A job the controller has forgotten is over; anything else means
        // the farm is not answering.
        gone = r.err.find("Invalid job id") == std::string::npos;
        return false;
    }
    gone = false;
    return r.out.find_first_not_of(" \n") != std::string::npos;
}

// The row an earlier run left in OUT/NAME, when it went through.
bool finished_row(const fs::path& out, const Task& t, BatchRow& row) {
    const std::string text = read_text(out / t.name / kRowFile);
    if (text.find("\"status\": \"ok\"") == std::string::npos) {
        return false;
    }
    row.scene = t.scene;
    row.name = t.name;
    took_outputs(out / t.name, t.name, row);
    ReadReportFigures(read_text(out / t.name / "report.json"), row);
    const std::vector<double> seconds = NumbersAfter(text, "bake_seconds");
    row.bake_seconds = seconds.empty() ? 0 : seconds.front();
    return true;
}

} // namespace

int run_batch_command(const BatchCommand& cmd) {
    const fs::path out = cmd.resume.empty() ? fs::path(cmd.out) : fs::path(cmd.resume);
    std::vector<std::string> scenes;
    BatchSettings settings;
    settings.preset = cmd.preset;
    if (cmd.texel_density > 0) {
        char density[64];
        std::snprintf(density, sizeof density, "%.17g", cmd.texel_density);
        settings.unwrap_args = {"--texel-density", density, "--max-size",
                                std::to_string(cmd.max_size)};
        if (cmd.any_size) {
            settings.unwrap_args.push_back("--any-size");
        }
    }
    std::string& preset = settings.preset;
    std::error_code ec;
    if (!cmd.resume.empty()) {
        if (!read_list((out / kListFile).string(), scenes)) {
            std::fprintf(stderr, "vellumar: '%s' holds no batch to resume\n", cmd.resume.c_str());
            return 2;
        }
        if (!cmd.preset.empty() || cmd.texel_density > 0) {
            std::fprintf(stderr, "vellumar: a resumed batch keeps the preset and density it was "
                                 "started with; the ones given now are not used\n");
        }
        settings = read_settings(out);
    } else if (!read_list(cmd.list, scenes)) {
        return 2;
    }
    if (cmd.farm == "slurm" && !ReadSlurmController().found) {
        std::fprintf(stderr,
                     "vellumar: no Slurm cluster is configured: %s cannot be read (set SLURM_CONF, "
                     "or run the batch with --farm local)\n",
                     SlurmConfigPath().c_str());
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
    // The list and the settings as they were taken, so that --resume runs
    // the same batch.
    std::string unwrap_lines;
    for (const std::string& arg : settings.unwrap_args) {
        unwrap_lines += arg + "\n";
    }
    std::string listed;
    for (const std::string& s : scenes) {
        listed += fs::absolute(s).lexically_normal().string() + "\n";
    }
    if (cmd.resume.empty() &&
        (!write_text(out / kListFile, listed) || !write_text(out / kPresetFile, preset + "\n") ||
         !write_text(out / kUnwrapFile, unwrap_lines))) {
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

    // The largest scenes first, so that no worker is left alone with a big
    // one at the end while the others idle.
    {
        std::map<std::string, std::uintmax_t> bytes;
        for (const auto& [i, t] : todo) {
            bytes[t.scene] = fs::file_size(t.scene, ec);
        }
        std::stable_sort(todo.begin(), todo.end(), [&](const auto& a, const auto& b) {
            return bytes[a.second.scene] > bytes[b.second.scene];
        });
    }

    if (cmd.farm == "slurm" && !todo.empty()) {
        std::string tasks;
        for (const auto& [i, t] : todo) {
            tasks += fs::absolute(t.scene).lexically_normal().string() + "\t" + t.name + "\n";
        }
        if (!write_text(out / kTaskFile, tasks)) {
            std::fprintf(stderr, "vellumar: cannot write into '%s'\n", out.c_str());
            return 2;
        }
        for (const auto& [i, t] : todo) {
            fs::remove(failure_file(out, t.name), ec);
        }
        // --jobs tasks take the scenes in turn: the farm's start-up is paid
        // once per task, not once per scene.
        const std::size_t workers = std::min<std::size_t>(todo.size(), std::max(1, cmd.jobs));
        fs::remove_all(out / kClaimDir, ec);
        if (!fs::create_directories(out / kClaimDir, ec)) {
            std::fprintf(stderr, "vellumar: cannot write into '%s'\n", out.c_str());
            return 2;
        }
        const std::string id = submit_array(out, workers);
        if (id.empty()) {
            return 2;
        }
        std::printf("submitted Slurm array job %s: %zu scenes\n", id.c_str(), todo.size());
        std::fflush(stdout);
        std::set<std::size_t> reported;
        bool gone = false, running = true;
        int silent = 0;
        // Results are looked for ten times a second, the scheduler asked
        // once a second: each squeue costs the workers a process.
        for (int tick = 0;; ++tick) {
            if (tick % 10 == 0) {
                running = array_running(id, gone);
                silent = gone ? silent + 1 : 0;
            }
            for (std::size_t k = 0; k < todo.size(); ++k) {
                const Task& t = todo[k].second;
                BatchRow& row = rows[todo[k].first];
                if (reported.count(k) != 0) {
                    continue;
                }
                if (finished_row(out, t, row)) {
                    reported.insert(k);
                } else if (fs::exists(failure_file(out, t.name), ec)) {
                    row.status = "failed";
                    row.message = read_text(failure_file(out, t.name));
                    reported.insert(k);
                } else {
                    continue;
                }
                std::printf("[%zu/%zu] %s: %s%s%s\n", reported.size(), todo.size(), t.name.c_str(),
                            row.status.c_str(), row.message.empty() ? "" : "\n  ",
                            row.message.c_str());
                std::fflush(stdout);
            }
            if (reported.size() == todo.size() || (!running && !gone) || silent >= 15) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        for (std::size_t k = 0; k < todo.size(); ++k) {
            if (reported.count(k) == 0) {
                BatchRow& row = rows[todo[k].first];
                row.status = "failed";
                row.message =
                    silent >= 15
                        ? "not finished: the farm stopped answering; `vellumar batch --resume " +
                              out.string() + "` runs the rest"
                        : "the farm task ended without a result; see the task logs in " +
                              (out / ".logs").string();
            }
        }
        todo.clear();
    }

    std::mutex mutex;
    std::atomic<std::size_t> next{0};
    std::size_t finished = 0;
    auto worker = [&] {
        for (std::size_t k = next++; k < todo.size(); k = next++) {
            const auto t0 = std::chrono::steady_clock::now();
            BatchRow row = run_scene(todo[k].second, out, settings);
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
    // One after another here shows where it is.
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

int run_batch_task_command(const std::string& out, int index) {
    std::vector<Task> tasks;
    std::istringstream lines(read_text(fs::path(out) / kTaskFile));
    for (std::string line; std::getline(lines, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos) {
            tasks.push_back({line.substr(0, tab), line.substr(tab + 1)});
        }
    }
    if (tasks.empty() || index < 0) {
        std::fprintf(stderr, "vellumar: '%s' has no batch task %d\n", out.c_str(), index);
        return 2;
    }
    const BatchSettings settings = read_settings(fs::path(out));
    int status = 0;
    const long count = static_cast<long>(tasks.size());
    long from = 0, k = 0;
    while ((k = claim_next(out, from, count)) >= 0 && k < count) {
        const BatchRow row = run_scene(tasks[static_cast<std::size_t>(k)], out, settings);
        std::printf("%s: %s %s\n", row.name.c_str(), row.status.c_str(), row.message.c_str());
        std::fflush(stdout);
        status = row.status == "ok" ? status : 1;
    }
    return k < 0 ? 2 : status;
}
