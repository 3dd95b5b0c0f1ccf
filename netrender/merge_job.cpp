// The merge of a finished network job: its description says which part
// images in the job folder make which final texture.
#include "bake/image_merger.h"
#include "bake/local_path.h"
#include "netrender/job_description.h"
#include "netrender/job_folder.h"
#include "netrender/net_render.h"

#include "host/interface.h"
#include "host/text.h"
#include "settings/settings.h"

#include <boost/filesystem/operations.hpp>

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

Bitmap* load_image(const std::string& path) {
    BitmapInfo info;
    info.SetName(Utf8ToWide(path).c_str());
    return GetCOREInterface()->GetBitmapManager().Load(&info);
}

bool fail_open(const std::string& path) {
    report("Vellumar Netrender: Failed to open image " + path + ". Merge operation failed.", 0);
    return false;
}

// Copied beside the target and renamed over it, so that a failed copy never
// leaves half a texture where the last good one was.
bool copy_part(const std::string& source, const std::string& target) {
    // A part that is no image would be copied as a broken texture.
    Bitmap* check = load_image(source);
    if (check == nullptr && fs::exists(LocalPath(source))) {
        return fail_open(source);
    }
    if (check != nullptr) {
        check->DeleteThis();
    }
    const fs::path to = LocalPath(target);
    fs::path temp = to;
    temp += ".merge-" + std::to_string(::getpid());
    boost::system::error_code ec;
    if (to.has_parent_path()) {
        fs::create_directories(to.parent_path(), ec);
    }
    fs::copy_file(LocalPath(source), temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        fs::rename(temp, to, ec);
    }
    if (ec) {
        boost::system::error_code ignored;
        fs::remove(temp, ignored);
        report("Vellumar Netrender: File '" + source +
                   "' could not be copied to target location '" + target +
                   "'. Error code: " + std::to_string(ec.value()),
               0);
        return false;
    }
    return true;
}

bool merge_parts(const std::string& folder, const JobSection& section) {
    const std::string first = folder + section.parts.front();
    Bitmap* base = load_image(first);
    if (base == nullptr) {
        return fail_open(first);
    }
    ImageMerger& merger = imageMerger();
    merger.SetBase(base);
    for (std::size_t i = 1; i < section.parts.size(); ++i) {
        const std::string part = folder + section.parts[i];
        if (!merger.MergeFile(part)) {
            report("Vellumar: image " + part + " could not be read and is missing from " +
                       section.target + ".",
                   0);
        }
    }
    merger.Finish(base);
    const bool written = WriteSingleFrame(*base, section.target);
    merger.Release(base);
    if (!written) {
        report("Vellumar: the merged image " + section.target +
                   " could not be written. The object images are kept.",
               0);
    }
    return written;
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

} // namespace

bool MergeJob(const std::string& /*netpath*/, const std::string& jobFolder) {
    const std::string folder = merge_folder(jobFolder);
    boost::system::error_code ec;
    if (!fs::is_directory(LocalPath(folder), ec)) {
        report("Vellumar Netrender: Output directory " + folder +
                   " does not exist. Merge operation failed.",
               0);
        return false;
    }
    std::ifstream in(LocalPath(folder + "job.desc").string(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const JobDescription desc = ParseJobDescription(text.str());
    if (desc.status == JobDescStatus::BadStructure) {
        report("Vellumar Netrender: job.desc file structure is invalid. Merge operation failed.",
               0);
        return false;
    }
    if (desc.status == JobDescStatus::NoFiles) {
        report("Vellumar Netrender: job.desc file contains no files to be merged. Merge operation "
               "failed",
               0);
        return false;
    }
    for (const JobSection& section : desc.sections) {
        if (section.parts.empty()) {
            continue; // no object produced this element
        }
        const bool ok = section.parts.size() == 1
                            ? copy_part(folder + section.parts.front(), section.target)
                            : merge_parts(folder, section);
        if (!ok) {
            return false;
        }
    }
    if (settings().delete_temp_files) {
        tidy(folder, desc.sections);
    }
    return true;
}
