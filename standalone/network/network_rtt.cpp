#include "standalone/network/network_rtt.h"

#include "host/text.h"
#include "host/windows.h"
#include "standalone/core.h"
#include "standalone/files/output_file.h"
#include "standalone/files/scene_file.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/texture_images.h"
#include "standalone/materials/texture_maps.h"
#include "standalone/network/child_process.h"
#include "standalone/network/job_queue.h"

#include <boost/filesystem/operations.hpp>

namespace {

bool refuse(StandaloneCore& core, const std::string& why) {
    MessageBoxW(&core, Utf8ToWide("NetworkRTT: " + why).c_str(), L"Network render", MB_OK);
    return false;
}

// The host's folder notation ("\" between names) as this machine's.
std::string local_folder(std::string folder) {
    for (char& c : folder) {
        if (c == '\\') {
            c = '/';
        }
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::string last_name(const std::string& folder) {
    const std::size_t slash = folder.find_last_of('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

// Render servers run in the job folder, where a texture named relative to
// this process's folder is not found: while the snapshot is saved, every
// texture file is named by the absolute path a local bake would read.
class AbsoluteTextureNames {
  public:
    explicit AbsoluteTextureNames(StandaloneCore& core) {
        for (BitmapTexture* map : BitmapTexturesBelow(core.GetRootNode())) {
            if (map->PackedImageBytes()) {
                continue; // carried inside the scene
            }
            const std::wstring name = map->GetMapName();
            const std::string resolved = ResolveTexturePath(WideToUtf8(name), "");
            boost::system::error_code ec;
            const boost::filesystem::path full = boost::filesystem::absolute(resolved);
            if (!resolved.empty() && boost::filesystem::exists(full, ec)) {
                renamed_.emplace_back(map, name);
                map->SetMapName(Utf8ToWide(full.lexically_normal().string()).c_str());
            }
        }
    }
    ~AbsoluteTextureNames() {
        for (auto& [map, name] : renamed_) {
            map->SetMapName(name.c_str());
        }
    }
    AbsoluteTextureNames(const AbsoluteTextureNames&) = delete;
    AbsoluteTextureNames& operator=(const AbsoluteTextureNames&) = delete;

  private:
    std::vector<std::pair<BitmapTexture*, std::wstring>> renamed_;
};

} // namespace

bool NetworkRTT(StandaloneCore& core) {
    const std::string* path = core.scene().FileProperty("RTT_Default_Path");
    if (path == nullptr || path->empty()) {
        return refuse(core, "no output folder (RTT_Default_Path) is set");
    }
    if (core.GetSelNodeCount() == 0) {
        return refuse(core, "nothing is selected");
    }
    const std::string folder = local_folder(*path);
    boost::system::error_code ec;
    boost::filesystem::create_directories(folder, ec);
    if (ec) {
        return refuse(core, "the folder " + folder + " cannot be made: " + ec.message());
    }
    const std::string snapshot = folder + "/" + kSnapshotName;
    std::vector<std::uint8_t> bytes;
    {
        const AbsoluteTextureNames absolute(core);
        bytes = scene_bytes(core);
    }
    OutputFile out(snapshot);
    out.write(bytes);
    std::string error = out.finish();
    if (error.empty()) {
        error = out.commit();
    }
    if (bytes.empty() || !error.empty()) {
        return refuse(core, "the scene could not be saved to " + snapshot + ": " + error);
    }
    const FarmConfig& farm = farmConfig();
    const std::string exe = farm.executable.empty() ? SelfExecutable() : farm.executable;
    try {
        SubmissionQueue()->Submit(
            {last_name(folder), folder,
             "exec " + ShellQuote(exe) + " render-job " + ShellQuote(snapshot),
             folder + "/" + kRenderLogName});
    } catch (const MaxNet& e) {
        return refuse(core, WideToUtf8(e.GetErrorText()));
    }
    return true;
}
