// The merge of a finished network job: its description says which part
// images in the job folder make which final texture. A description comes
// from a shared folder that others can write to, so it is checked before
// anything is read: parts are files of the job folder, targets lie where
// the bake said. Every texture is made in full beside its target first and
// all of them replace their targets only when every one is made, so a
// failed merge leaves the old textures and the job folder as they were.
#include "bake/image_merger.h"
#include "bake/local_path.h"
#include "netrender/job_description.h"
#include "netrender/job_folder.h"
#include "netrender/net_render.h"

#include "host/interface.h"
#include "host/text.h"
#include "settings/settings.h"

#include <boost/filesystem/operations.hpp>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = boost::filesystem;

namespace {

std::string merge_folder(const std::string& jobFolder) {
    std::string folder = PlainFolder(jobFolder);
    // A network share keeps both of its leading backslashes.
    if (folder.size() > 1 && folder[0] == '\\' && folder[1] != '\\') {
        folder.insert(0, "\\");
    }
    return folder;
}

// Far more than any bake's sections and parts.
constexpr std::uintmax_t kLargestDescription = 16u << 20;

bool fail(const std::string& text) {
    report("Vellumar Netrender: " + text, 0);
    return false;
}

bool fail_open(const std::string& path) {
    return fail("Failed to open image " + path + ". Merge operation failed.");
}

// A part is read only when it is a file of its own: a link could hand the
// merge anything on the machine.
bool is_plain_file(const std::string& path) {
    boost::system::error_code ec;
    return fs::is_regular_file(fs::symlink_status(LocalPath(path), ec));
}

Bitmap* load_image(const std::string& path) {
    if (!is_plain_file(path)) {
        return nullptr;
    }
    BitmapInfo info;
    info.SetName(Utf8ToWide(path).c_str());
    return GetCOREInterface()->GetBitmapManager().Load(&info);
}

fs::path comparable(const fs::path& path) {
    boost::system::error_code ec;
    const fs::path full = fs::weakly_canonical(fs::absolute(path), ec);
    return ec ? fs::absolute(path).lexically_normal() : full;
}

bool inside(const fs::path& path, const fs::path& folder) {
    const fs::path p = comparable(path), f = comparable(folder);
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi) {
        if (fi->empty() || *fi == ".") {
            --pi; // the trailing separator of a folder
            continue;
        }
        if (pi == p.end() || *pi != *fi) {
            return false;
        }
    }
    return pi != p.end();
}

bool target_allowed(const std::string& target, const MergeTargets& allowed) {
    // A NUL ends the path where the file system reads it: "out/\0x" would
    // be the output folder itself.
    if (target.empty() || target.find('\0') != std::string::npos) {
        return false;
    }
    if (!allowed.exact.empty()) {
        return std::find(allowed.exact.begin(), allowed.exact.end(), target) != allowed.exact.end();
    }
    return !allowed.folder.empty() && inside(LocalPath(target), LocalPath(allowed.folder));
}

// A texture made but not yet in place: its file beside the target.
struct Staged {
    fs::path temp;
    fs::path target;
};

class Stager {
  public:
    ~Stager() {
        for (const Staged& s : staged_) {
            boost::system::error_code ec;
            fs::remove(s.temp, ec);
        }
    }

    // A new file beside the target, keeping its extension, which chooses
    // the image format.
    fs::path reserve(const std::string& target) {
        const fs::path to = LocalPath(target);
        boost::system::error_code ec;
        if (to.has_parent_path()) {
            fs::create_directories(to.parent_path(), ec);
        }
        fs::path temp =
            to.parent_path() / (".vellumar-merge-" + std::to_string(::getpid()) + "-" +
                                std::to_string(staged_.size()) + "-" + to.filename().string());
        staged_.push_back({temp, to});
        return temp;
    }

    // Moves every texture over its target; false with a report when one
    // cannot be, naming the target that keeps its old content. A target that
    // could never be replaced (a folder in its place) stops the commit before
    // any target changes.
    bool commit() {
        for (const Staged& s : staged_) {
            boost::system::error_code ec;
            if (fs::is_directory(fs::symlink_status(s.target, ec))) {
                return fail("the merged image cannot replace " + s.target.string() +
                            ", which is a folder. Merge operation failed.");
            }
        }
        for (std::size_t i = 0; i < staged_.size(); ++i) {
            boost::system::error_code ec;
            fs::rename(staged_[i].temp, staged_[i].target, ec);
            if (ec) {
                return fail("the merged image could not be moved to " + staged_[i].target.string() +
                            " (" + ec.message() + "); it keeps its old content.");
            }
        }
        staged_.clear();
        return true;
    }

  private:
    std::vector<Staged> staged_;
};

// A plain copy through this process: the system's own copy calls refuse
// some pairs of file systems (a cross-device error) where a read and a write
// go through.
int copy_bytes(const fs::path& from, const fs::path& to) {
    std::ifstream in(from.string(), std::ios::binary);
    if (!in) {
        return errno != 0 ? errno : ENOENT;
    }
    std::ofstream out(to.string(), std::ios::binary | std::ios::trunc);
    if (!out) {
        return errno != 0 ? errno : EACCES;
    }
    out << in.rdbuf();
    out.flush();
    if (!out || in.bad()) {
        const int error = errno != 0 ? errno : EIO;
        out.close();
        boost::system::error_code ignored;
        fs::remove(to, ignored);
        return error;
    }
    out.close();
    return out ? 0 : EIO;
}

// The one part copied as it is, not re-encoded.
bool stage_copy(const std::string& source, const std::string& target, Stager& stager) {
    // A part that is no image would be copied as a broken texture.
    Bitmap* check = load_image(source);
    boost::system::error_code ec;
    if (check == nullptr && fs::exists(fs::symlink_status(LocalPath(source), ec))) {
        return fail_open(source);
    }
    if (check != nullptr) {
        check->DeleteThis();
    }
    const fs::path temp = stager.reserve(target);
    errno = 0;
    const int error = check == nullptr ? ENOENT : copy_bytes(LocalPath(source), temp);
    if (error != 0) {
        return fail("File '" + source + "' could not be copied to target location '" + target +
                    "'. Error code: " + std::to_string(error));
    }
    return true;
}

bool stage_merge(const std::string& folder, const JobSection& section, Stager& stager) {
    const std::string first = folder + section.parts.front();
    Bitmap* base = load_image(first);
    if (base == nullptr) {
        return fail_open(first);
    }
    ImageMerger& merger = imageMerger();
    merger.SetBase(base);
    for (std::size_t i = 1; i < section.parts.size(); ++i) {
        const std::string part = folder + section.parts[i];
        // A texture without one of its objects is a wrong texture.
        if (!is_plain_file(part) || !merger.MergeFile(part)) {
            merger.Release(base);
            return fail_open(part);
        }
    }
    merger.Finish(base);
    const bool written = WriteSingleFrame(*base, stager.reserve(section.target).string());
    merger.Release(base);
    if (!written) {
        return fail("the merged image " + section.target +
                    " could not be written. Merge operation failed.");
    }
    return true;
}

void tidy(const std::string& folder, const std::vector<JobSection>& sections) {
    boost::system::error_code ec;
    for (const JobSection& section : sections) {
        for (const std::string& part : section.parts) {
            if (!ec) {
                fs::remove(LocalPath(folder + part), ec);
            }
        }
    }
    if (!ec) {
        fs::remove(LocalPath(folder + "job.desc"), ec);
    }
    // The folder itself only when it is empty: whatever else lies there
    // belongs to someone.
    if (!ec) {
        fs::remove(LocalPath(folder), ec);
    }
    if (ec) {
        report("temporary render data could not be removed. Code " + ec.message(), 0);
    }
}

// Refuses a description that names anything but files of the job folder as
// parts, or a target the merge may not write, or that leaves out a texture
// the bake described.
bool description_allowed(const JobDescription& desc, const MergeTargets& allowed) {
    for (const std::string& target : allowed.exact) {
        if (std::none_of(desc.sections.begin(), desc.sections.end(),
                         [&](const JobSection& s) { return s.target == target; })) {
            return fail("job.desc leaves out the texture " + target +
                        " that the bake described. Merge operation failed.");
        }
    }
    for (const JobSection& section : desc.sections) {
        for (const std::string& part : section.parts) {
            if (!IsPlainPartName(part)) {
                return fail("job.desc names '" + part +
                            "', which is no file of the job folder. Merge operation failed.");
            }
        }
        if (!section.parts.empty() && !target_allowed(section.target, allowed)) {
            return fail("the target '" + section.target + "' of job.desc lies outside " +
                        (allowed.exact.empty() ? "the output folder " + allowed.folder
                                               : std::string("the textures this bake made")) +
                        ". Merge operation failed.");
        }
    }
    return true;
}

} // namespace

bool MergeJob(const std::string& netpath, const std::string& jobFolder) {
    return MergeJob(netpath, jobFolder, MergeTargets{{}, settings().outpath});
}

bool MergeJob(const std::string& /*netpath*/, const std::string& jobFolder,
              const MergeTargets& allowed) {
    const std::string folder = merge_folder(jobFolder);
    boost::system::error_code ec;
    if (!fs::is_directory(LocalPath(folder), ec)) {
        return fail("Output directory " + folder + " does not exist. Merge operation failed.");
    }
    // A pipe or a device named job.desc would hold the merge forever.
    const fs::path descPath = LocalPath(folder + "job.desc");
    std::stringstream text;
    if (is_plain_file(descPath.string()) && fs::file_size(descPath, ec) <= kLargestDescription) {
        std::ifstream in(descPath.string(), std::ios::binary);
        text << in.rdbuf();
    }
    const JobDescription desc = ParseJobDescription(text.str());
    if (desc.status == JobDescStatus::BadStructure) {
        return fail("job.desc file structure is invalid. Merge operation failed.");
    }
    if (desc.status == JobDescStatus::NoFiles) {
        return fail("job.desc file contains no files to be merged. Merge operation failed");
    }
    if (!description_allowed(desc, allowed)) {
        return false;
    }
    Stager stager;
    for (const JobSection& section : desc.sections) {
        if (section.parts.empty()) {
            continue; // no object produced this element
        }
        const bool ok = section.parts.size() == 1
                            ? stage_copy(folder + section.parts.front(), section.target, stager)
                            : stage_merge(folder, section, stager);
        if (!ok) {
            return false;
        }
    }
    if (!stager.commit()) {
        return false;
    }
    if (settings().delete_temp_files) {
        tidy(folder, desc.sections);
    }
    return true;
}
