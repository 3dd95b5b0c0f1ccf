#include "bake/output_names.h"

#include "host/text.h"
#include "settings/settings.h"

namespace {

std::size_t file_name_start(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? 0 : cut + 1;
}

} // namespace

std::string FileNamePart(const std::string& path) {
    return path.substr(file_name_start(path));
}

std::string InsertBeforeExtension(const std::string& name, const std::string& text) {
    const std::size_t start = file_name_start(name);
    const std::size_t point = name.rfind('.');
    if (point == std::string::npos || point < start) {
        return name + text;
    }
    return name.substr(0, point) + text + name.substr(point);
}

std::string FrameText(int frame) {
    std::string s = std::to_string(frame);
    if (s.size() < 4) {
        s.insert(0, 4 - s.size(), '0');
    }
    return s;
}

std::string EntryOutputName(const BakeElementEntry& entry, const std::string& groupName) {
    const std::string name = WideToUtf8(entry.file.Name());
    std::string stripped = groupName;
    while (!stripped.empty() && stripped.back() >= '0' && stripped.back() <= '9') {
        stripped.pop_back();
    }
    if (stripped == "unnamed" || !settings().add_group_name_to_textures) {
        return name;
    }
    const std::size_t start = file_name_start(name);
    return name.substr(0, start) + groupName + "_" + name.substr(start);
}

bool BakesFrameRange() {
    const UnwrapSettings& s = settings();
    return s.bakerange && s.bakerangeto - s.bakerangefrom > 0;
}

std::string MapFrameOutputName(const std::string& name, int mapCount, int mapIndex, int frame) {
    std::string out = name;
    if (mapCount > 1) {
        out = InsertBeforeExtension(out, "_" + std::to_string(mapIndex));
    }
    if (BakesFrameRange()) {
        out = InsertBeforeExtension(out, "_" + FrameText(frame));
    }
    return out;
}
