// The job description a network job leaves in its folder, read as the merge
// reads it and then merged: any bytes on the share must be safe to read,
// and no description may make the merge read, write or delete anything
// outside its job folder and its output folder. In the input, @JOB@, @OUT@
// and @OUTSIDE@ stand for those folders of a fresh sandbox per input.
#include "bake/image_merger.h"
#include "host/text.h"
#include "netrender/job_description.h"
#include "netrender/net_render.h"
#include "settings/settings.h"
#include "standalone/core.h"

#include <boost/filesystem.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

namespace fs = boost::filesystem;

namespace {

std::string read_all(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_image(StandaloneCore& core, const fs::path& path, float shade) {
    BitmapInfo info;
    info.SetName(Utf8ToWide(path.string()).c_str());
    info.SetWidth(4);
    info.SetHeight(4);
    info.SetType(BMM_TRUE_64);
    Bitmap* bm = core.Create(&info);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const BMM_Color_fl p{shade, x < 2 ? 1.0f : 0.0f, 0.5f, 1.0f};
            bm->PutLinearPixels(x, y, 1, &p);
        }
    }
    bm->OpenOutput(&info);
    bm->Write(&info);
    bm->Close(&info);
    bm->DeleteThis();
}

// Every file below the folder (links as links), with its bytes.
std::map<std::string, std::string> files_below(const fs::path& folder) {
    std::map<std::string, std::string> files;
    boost::system::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_status st = fs::symlink_status(it->path());
        files[it->path().string()] = fs::is_symlink(st)        ? "link"
                                     : fs::is_regular_file(st) ? read_all(it->path())
                                                               : "folder";
    }
    return files;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

void check(bool ok, const char* what, const std::string& path = "") {
    if (!ok) {
        std::fprintf(stderr, "job_desc_fuzzer: %s %s\n", what, path.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    const JobDescription parsed = ParseJobDescription(text);
    std::size_t lines = 0;
    for (const JobSection& section : parsed.sections) {
        lines += section.parts.size() + (section.target.empty() ? 0 : 1);
    }
    check(lines <= size, "a section holds more lines than the text");

    StandaloneCore core(false);
    settings().delete_temp_files = true;
    const fs::path root = fs::temp_directory_path() / fs::unique_path("vellumar-fuzz-%%%%-%%%%");
    const fs::path job = root / "net" / "job", out = root / "out", outside = root / "outside";
    fs::create_directories(job);
    fs::create_directories(out);
    fs::create_directories(outside / "deeper");
    write_image(core, job / "A.png", 0.25f);
    write_image(core, job / "B.png", 0.5f);
    write_image(core, outside / "secret.png", 0.75f);
    std::ofstream(outside / "deeper" / "notes.txt") << "not the merge's";
    fs::create_symlink(outside / "secret.png", job / "Link.png");
    replace_all(text, "@JOB@", job.string());
    replace_all(text, "@OUT@", out.string());
    replace_all(text, "@OUTSIDE@", outside.string());
    std::ofstream(job / "job.desc", std::ios::binary) << text;

    const std::map<std::string, std::string> before = files_below(root);
    const std::string secret = read_all(outside / "secret.png");
    const bool merged = MergeJob("", job.string() + "/", MergeTargets{{}, out.string()});

    const std::map<std::string, std::string> after = files_below(root);
    const std::set<std::string> named = [&] {
        std::set<std::string> n;
        for (const JobSection& section : ParseJobDescription(text).sections) {
            n.insert(section.parts.begin(), section.parts.end());
        }
        return n;
    }();
    for (const auto& [path, bytes] : before) {
        const fs::path p(path);
        const bool in_job = p.parent_path() == job;
        const bool in_out = p.string().rfind(out.string() + "/", 0) == 0;
        if (in_out) {
            continue;
        }
        const auto now = after.find(path);
        if (now == after.end()) {
            // Only a merge that went through tidies, and only what it read
            // in the job folder.
            check(merged && (p == job || (in_job && (p.filename() == "job.desc" ||
                                                     named.count(p.filename().string()) != 0))),
                  "deleted:", path);
        } else {
            check(now->second == bytes, "changed:", path);
        }
    }
    for (const auto& [path, bytes] : after) {
        const bool in_out = path.rfind(out.string() + "/", 0) == 0;
        check(before.count(path) != 0 || in_out, "made outside the output folder:", path);
        check(!in_out || bytes != secret, "read from outside:", path);
    }
    boost::system::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
