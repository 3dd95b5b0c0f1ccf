#include "studio/file_browser.h"

#include "standalone/files/json_text.h"

#include <algorithm>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool inside(const fs::path& root, const fs::path& path) {
    auto r = root.begin();
    auto p = path.begin();
    for (; r != root.end(); ++r, ++p) {
        if (r->empty() && std::next(r) == root.end()) {
            break; // a root given with a trailing separator
        }
        if (p == path.end() || *r != *p) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<fs::path> ConfinedPath(const fs::path& root, const std::string& relative) {
    if (relative.find('\0') != std::string::npos || relative.size() > 4096) {
        return std::nullopt;
    }
    const fs::path rel(relative);
    if (rel.is_absolute() || rel.has_root_name()) {
        return std::nullopt;
    }
    for (const fs::path& part : rel) {
        if (part == "..") {
            return std::nullopt;
        }
    }
    std::error_code ec;
    const fs::path base = fs::canonical(root, ec);
    if (ec) {
        return std::nullopt;
    }
    const fs::path joined = (base / rel).lexically_normal();
    // Every link on the way is followed before the check; a name that does
    // not exist yet is checked by its folder.
    fs::path resolved = fs::canonical(joined, ec);
    if (ec) {
        const fs::path parent = fs::canonical(joined.parent_path(), ec);
        if (ec || !fs::is_directory(parent, ec) || joined.filename().empty()) {
            return std::nullopt;
        }
        if (fs::is_symlink(fs::symlink_status(joined, ec))) {
            return std::nullopt; // a dangling link would be written through
        }
        resolved = parent / joined.filename();
    }
    if (!inside(base, resolved)) {
        return std::nullopt;
    }
    return resolved;
}

std::string RelativeToRoot(const fs::path& root, const fs::path& path) {
    std::error_code ec;
    const fs::path base = fs::canonical(root, ec);
    const fs::path rel = path.lexically_relative(ec ? root : base);
    const std::string text = rel.generic_string();
    return text == "." ? "" : text;
}

std::optional<std::string> ListFolderJson(const fs::path& root, const std::string& relative) {
    const std::optional<fs::path> dir = ConfinedPath(root, relative);
    std::error_code ec;
    if (!dir || !fs::is_directory(*dir, ec)) {
        return std::nullopt;
    }
    struct Entry {
        std::string name;
        bool folder;
        std::uintmax_t size;
    };
    std::vector<Entry> entries;
    constexpr std::size_t kMostEntries = 5000;
    for (fs::directory_iterator it(*dir, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end && entries.size() < kMostEntries; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') {
            continue;
        }
        // Links are listed only where they stay inside the root.
        const std::string child = relative.empty() ? name : relative + "/" + name;
        const std::optional<fs::path> target = ConfinedPath(root, child);
        if (!target) {
            continue;
        }
        std::error_code e2;
        const bool folder = fs::is_directory(*target, e2);
        const std::uintmax_t size = folder ? 0 : fs::file_size(*target, e2);
        entries.push_back({name, folder, e2 ? 0 : size});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.folder != b.folder ? a.folder : a.name < b.name;
    });
    std::string j = "{\"dir\":" + JsonQuoted(RelativeToRoot(root, *dir)) + ",\"entries\":[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        j += (i == 0 ? "{" : ",{") + std::string("\"name\":") + JsonQuoted(entries[i].name) +
             ",\"dir\":" + (entries[i].folder ? "true" : "false") +
             ",\"size\":" + std::to_string(entries[i].size) + "}";
    }
    return j + "]}";
}
