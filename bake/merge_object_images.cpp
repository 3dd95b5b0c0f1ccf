#include "bake/merge_object_images.h"

#include "bake/image_merger.h"
#include "bake/local_path.h"
#include "bake/output_names.h"

#include "host/interface.h"
#include "host/text.h"
#include "settings/settings.h"

#include <boost/filesystem/operations.hpp>

namespace {

void remove_parts(const std::vector<std::string>& parts) {
    for (const std::string& part : parts) {
        boost::system::error_code ec;
        boost::filesystem::remove(LocalPath(part), ec);
        if (ec) {
            report("file " + part + " could not be removed. Code " + ec.message(), 0);
        }
    }
}

// One element and map: false when the merge could not produce its image.
bool merge_target(const std::string& target, std::size_t objectCount) {
    ImageMerger& merger = imageMerger();
    Bitmap* base = nullptr;
    std::vector<std::string> used;
    for (std::size_t k = 0; k < objectCount; ++k) {
        const std::string part = InsertBeforeExtension(target, "_" + std::to_string(k));
        boost::system::error_code ec;
        if (!boost::filesystem::exists(LocalPath(part), ec)) {
            continue;
        }
        if (base == nullptr) {
            BitmapInfo info;
            info.SetName(Utf8ToWide(part).c_str());
            base = GetCOREInterface()->GetBitmapManager().Load(&info);
            if (base == nullptr) {
                report("Vellumar Netrender: Failed to open image " + part +
                           ". Merge operation failed.",
                       0);
                return false;
            }
            merger.SetBase(base);
            used.push_back(part);
        } else if (merger.MergeFile(part)) {
            used.push_back(part);
        } else {
            // Kept on disk: the object's islands are missing from the result.
            report("Vellumar: image " + part + " could not be read and is missing from " + target +
                       ".",
                   0);
        }
    }
    if (base == nullptr) {
        return true;
    }
    merger.Finish(base);
    const bool written = WriteSingleFrame(*base, target);
    merger.Release(base);
    if (!written) {
        report("Vellumar: the merged image " + target +
                   " could not be written. The object images are kept.",
               0);
        return false;
    }
    if (settings().delete_temp_files) {
        remove_parts(used);
    }
    return true;
}

} // namespace

bool MergeObjectImages(const std::string& groupName, const std::vector<INode*>& objects,
                       int mapCount, int frame) {
    for (const BakeElementEntry& entry : settings().elements) {
        const std::string base = EntryOutputName(entry, groupName);
        // Every map, not only as many as there are objects: a map whose first
        // objects were deleted still has objects further up.
        for (int m = 0; m < std::max(mapCount, 1); ++m) {
            if (!merge_target(MapFrameOutputName(base, mapCount, m, frame), objects.size())) {
                return false;
            }
        }
    }
    return true;
}
