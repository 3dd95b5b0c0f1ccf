// Preset files: the record as one XML document, built and parsed with
// Boost.PropertyTree. The key order and value spelling are fixed, so that a
// preset written on one machine loads on another and means the same.
#include "host/interface.h"
#include "host/text.h"
#include "settings/preset_values.h"
#include "settings/settings.h"

#include <boost/filesystem.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <variant>

namespace {

namespace fs = boost::filesystem;
namespace pt = boost::property_tree;
using Tree = pt::ptree;

using Field = std::variant<int UnwrapSettings::*, float UnwrapSettings::*, bool UnwrapSettings::*,
                           std::string UnwrapSettings::*, std::uint32_t UnwrapSettings::*>;
struct Key {
    const char* name;
    Field field;
};

// Written in this order; the bake elements go between the two lists.
const Key kKeysBeforeElements[] = {
    {"settings.channel", &UnwrapSettings::channel},
    {"settings.charts", &UnwrapSettings::charts},
    {"settings.stretch", &UnwrapSettings::stretch},
    {"settings.width", &UnwrapSettings::width},
    {"settings.height", &UnwrapSettings::height},
    {"settings.gutter", &UnwrapSettings::gutter},
    {"settings.quality", &UnwrapSettings::quality},
    {"settings.preview", &UnwrapSettings::preview},
    {"settings.seams", &UnwrapSettings::seams},
    {"settings.source_channel", &UnwrapSettings::source_channel},
    {"settings.unwrapmode", &UnwrapSettings::unwrapmode},
    {"settings.padding", &UnwrapSettings::padding},
    {"settings.keepshell", &UnwrapSettings::keepshell},
    {"settings.outpath", &UnwrapSettings::outpath},
    {"settings.bakerange", &UnwrapSettings::bakerange},
    {"settings.bakerangefrom", &UnwrapSettings::bakerangefrom},
    {"settings.bakerangeto", &UnwrapSettings::bakerangeto},
    {"settings.netrender", &UnwrapSettings::netrender},
    {"settings.netpath", &UnwrapSettings::netpath},
    {"settings.manager", &UnwrapSettings::manager},
    {"settings.port", &UnwrapSettings::port},
    {"settings.ratio", &UnwrapSettings::ratio},
    {"settings.aspectlock", &UnwrapSettings::aspectlock},
    {"settings.angle_concave", &UnwrapSettings::angle_concave},
    {"settings.use_concave", &UnwrapSettings::use_concave},
    {"settings.angle_convex", &UnwrapSettings::angle_convex},
    {"settings.use_convex", &UnwrapSettings::use_convex},
    {"settings.mapcount", &UnwrapSettings::mapcount},
    {"settings.mapmode", &UnwrapSettings::mapmode},
    {"settings.bakemode", &UnwrapSettings::bakemode},
    {"settings.base_unwrap", &UnwrapSettings::base_unwrap},
    {"settings.create_shell", &UnwrapSettings::create_shell},
    {"settings.target_material", &UnwrapSettings::target_material},
    {"settings.add_self_illumination", &UnwrapSettings::add_self_illumination},
};
const Key kKeysAfterElements[] = {
    {"settings.projection_camera", &UnwrapSettings::projection_camera},
    {"settings.projection_tolerance", &UnwrapSettings::projection_tolerance},
    {"settings.projection_angle", &UnwrapSettings::projection_angle},
    {"settings.projection_orthographic", &UnwrapSettings::projection_orthographic},
    {"settings.add_group_name_to_textures", &UnwrapSettings::add_group_name_to_textures},
};

struct TextOf {
    const UnwrapSettings& s;
    std::string operator()(int UnwrapSettings::*f) const { return std::to_string(s.*f); }
    std::string operator()(float UnwrapSettings::*f) const { return FloatText(s.*f); }
    std::string operator()(bool UnwrapSettings::*f) const { return FlagText(s.*f); }
    std::string operator()(std::string UnwrapSettings::*f) const { return s.*f; }
    std::string operator()(std::uint32_t UnwrapSettings::*f) const { return std::to_string(s.*f); }
};

// Stores the text when it has the field's form; otherwise the field keeps
// its value and the text is named among the unreadable values.
struct StoreInto {
    UnwrapSettings& s;
    const std::string& key;
    const std::string& text;
    template <class T, class Parse> void set(T UnwrapSettings::*f, Parse parse) const {
        if (auto v = parse(text)) {
            s.*f = *v;
        } else {
            s.unreadable_values.push_back(key + " = '" + text + "'");
        }
    }
    void operator()(int UnwrapSettings::*f) const { set(f, ParseInt); }
    void operator()(float UnwrapSettings::*f) const { set(f, ParseFloat); }
    void operator()(bool UnwrapSettings::*f) const { set(f, ParseFlag); }
    void operator()(std::string UnwrapSettings::*f) const { s.*f = text; }
    void operator()(std::uint32_t UnwrapSettings::*f) const { set(f, ParseUnsigned); }
};

std::optional<std::string> text_at(const Tree& tree, const char* path) {
    if (auto v = tree.get_optional<std::string>(path)) {
        return *v;
    }
    return std::nullopt;
}

// Reads the value at `path` when there is one; a text that does not parse
// is named in `problems` as what + path.
template <class T, class Parse>
void read_into(const Tree& tree, const char* path, Parse parse, T& out,
               std::vector<std::string>& problems, const std::string& what) {
    if (auto text = text_at(tree, path)) {
        if (auto v = parse(*text)) {
            out = *v;
        } else {
            problems.push_back(what + path + " = '" + *text + "'");
        }
    }
}

// A missing folder is made, one level only; whatever fails here shows up
// when the file itself is opened.
void make_parent_folder(const std::string& path) {
    boost::system::error_code ec;
    const fs::path p(path);
    if (!fs::exists(fs::status(p, ec)) && p.has_parent_path()) {
        fs::create_directory(p.parent_path(), ec);
    }
}

Tree element_tree(const BakeElementEntry& e) {
    Tree t;
    t.put("width", std::to_string(e.width));
    t.put("height", std::to_string(e.height));
    t.put("slot", e.slot);
    t.put("background.r", FloatText(e.background[0]));
    t.put("background.g", FloatText(e.background[1]));
    t.put("background.b", FloatText(e.background[2]));
    const Class_ID id = e.elementClass != nullptr ? e.elementClass->ClassID() : Class_ID();
    t.put("class.a", std::to_string(id.PartA()));
    t.put("class.b", std::to_string(id.PartB()));
    t.put("file.name", WideToUtf8(e.file.Name()));
    t.put("file.type", std::to_string(e.file.Type()));
    Tree& params = t.put_child("parameters", Tree());
    for (const BakeParam& p : e.parameters) {
        Tree& q = params.add_child("parameter", Tree());
        q.put("name", p.name);
        q.put("type", std::to_string(p.type));
        switch (p.type) {
        case Float:
            q.put("value", FloatText(p.floatValue));
            break;
        case Int:
            q.put("value", std::to_string(p.intValue));
            break;
        case Flag:
            q.put("value", FlagText(p.flagValue != 0));
            break;
        case Colour:
            q.put("value.r", FloatText(p.colourValue[0]));
            q.put("value.g", FloatText(p.colourValue[1]));
            q.put("value.b", FloatText(p.colourValue[2]));
            break;
        default: // a type presets cannot carry: the name alone keeps its place
            break;
        }
    }
    return t;
}

Tree settings_tree(const UnwrapSettings& s) {
    Tree tree;
    for (const Key& k : kKeysBeforeElements) {
        tree.put(k.name, std::visit(TextOf{s}, k.field));
    }
    if (!s.elements.empty()) {
        Tree& list = tree.put_child("settings.bakeelements", Tree());
        for (const BakeElementEntry& e : s.elements) {
            list.add_child("bakeelement", element_tree(e));
        }
    }
    for (const Key& k : kKeysAfterElements) {
        tree.put(k.name, std::visit(TextOf{s}, k.field));
    }
    return tree;
}

// Parameters are matched by name and read by the entry's own type: the type
// number in the file does not decide how a value is read. A value outside
// the parameter's range is refused like one that does not parse.
void read_parameter(const Tree& q, BakeElementEntry& entry, std::vector<std::string>& problems,
                    const std::string& element) {
    const std::optional<std::string> name = text_at(q, "name");
    if (!name) {
        return;
    }
    for (BakeParam& p : entry.parameters) {
        if (p.name != *name) {
            continue;
        }
        const std::string what = element + "parameter '" + p.name + "' ";
        const auto in_float_range = [&p](const std::string& text) -> std::optional<float> {
            const std::optional<float> v = ParseFloat(text);
            return v && *v >= p.floatMin && *v <= p.floatMax ? v : std::nullopt;
        };
        const auto in_int_range = [&p](const std::string& text) -> std::optional<int> {
            const std::optional<int> v = ParseInt(text);
            return v && *v >= p.intMin && *v <= p.intMax ? v : std::nullopt;
        };
        switch (p.type) {
        case Float:
            read_into(q, "value", in_float_range, p.floatValue, problems, what);
            break;
        case Int:
            read_into(q, "value", in_int_range, p.intValue, problems, what);
            break;
        case Flag: {
            bool on = p.flagValue != 0;
            read_into(q, "value", ParseFlag, on, problems, what);
            p.flagValue = on ? 1 : 0;
            break;
        }
        case Colour:
            read_into(q, "value.r", ParseFloat, p.colourValue[0], problems, what);
            read_into(q, "value.g", ParseFloat, p.colourValue[1], problems, what);
            read_into(q, "value.b", ParseFloat, p.colourValue[2], problems, what);
            break;
        default:
            break;
        }
    }
}

// Element sizes beyond what an image can be would only fail at bake time.
constexpr int kMaxElementSide = 16384;
std::optional<int> ParseSide(const std::string& text) {
    const std::optional<int> v = ParseInt(text);
    if (!v || *v < 1 || *v > kMaxElementSide) {
        return std::nullopt;
    }
    return v;
}

// An element missing one of the children every saved element has is
// skipped, as is one whose class this host does not have.
std::optional<BakeElementEntry> read_element(const Tree& t, std::vector<std::string>& problems,
                                             const std::string& what) {
    static const char* const kRequired[] = {
        "class.a",      "class.b",      "width",        "height",    "slot",
        "background.r", "background.g", "background.b", "file.name", "file.type"};
    for (const char* key : kRequired) {
        if (!t.get_child_optional(key)) {
            return std::nullopt;
        }
    }
    const std::optional<std::uint32_t> a = ParseUnsigned(*text_at(t, "class.a"));
    const std::optional<std::uint32_t> b = ParseUnsigned(*text_at(t, "class.b"));
    Interface* ip = GetCOREInterface();
    if (!a || !b || ip == nullptr) {
        return std::nullopt;
    }
    ClassEntry* cls =
        ip->GetClassDirectory().FindClassEntry(BAKE_ELEMENT_CLASS_ID, Class_ID(*a, *b));
    if (cls == nullptr || cls->CD() == nullptr) {
        return std::nullopt;
    }
    BakeElementEntry entry;
    try {
        entry = CreateEntry(cls->CD());
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
    read_into(t, "width", ParseSide, entry.width, problems, what);
    read_into(t, "height", ParseSide, entry.height, problems, what);
    entry.slot = *text_at(t, "slot");
    if (entry.slot.empty()) {
        entry.slot = "NONE";
    }
    read_into(t, "background.r", ParseFloat, entry.background[0], problems, what);
    read_into(t, "background.g", ParseFloat, entry.background[1], problems, what);
    read_into(t, "background.b", ParseFloat, entry.background[2], problems, what);
    entry.file.SetName(Utf8ToWide(*text_at(t, "file.name")).c_str());
    int type = entry.file.Type();
    read_into(t, "file.type", ParseInt, type, problems, what);
    entry.file.SetType(type);
    if (auto params = t.get_child_optional("parameters")) {
        for (const auto& [key, q] : *params) {
            read_parameter(q, entry, problems, what);
        }
    }
    return entry;
}

// What a scan of the tags finds: whether the text is one element whose tags
// all close in order, and how deep elements nest. The XML reader takes a
// closing tag of another name as the end of any element (so a typo loses
// values without a word), reads an empty file as an empty tree, and
// descends once per level on the call stack; a preset holds a handful of
// levels. Comments, declarations and character data are skipped whole, so
// what they hold counts for nothing.
struct XmlShape {
    bool wellFormed = false;
    std::size_t depth = 0;
};

constexpr std::size_t kDeepestPreset = 64;

XmlShape xml_shape(const std::string& text) {
    XmlShape shape;
    bool ok = true;
    std::vector<std::string_view> open;
    int roots = 0;
    std::size_t i = 0;
    const auto skip_past = [&](std::string_view end) {
        const std::size_t at = text.find(end, i);
        ok = ok && at != std::string::npos;
        i = at == std::string::npos ? text.size() : at + end.size();
    };
    while ((i = text.find('<', i)) != std::string::npos) {
        const std::string_view rest = std::string_view(text).substr(i);
        if (rest.starts_with("<?")) {
            skip_past("?>");
        } else if (rest.starts_with("<!--")) {
            skip_past("-->");
        } else if (rest.starts_with("<![CDATA[")) {
            ok = ok && !open.empty();
            skip_past("]]>");
        } else if (rest.starts_with("<!")) {
            skip_past(">");
        } else {
            const bool closing = rest.size() > 1 && rest[1] == '/';
            std::size_t j = i + (closing ? 2 : 1);
            const std::size_t name_start = j;
            while (j < text.size() && text[j] != '>' && text[j] != '/' &&
                   std::isspace(static_cast<unsigned char>(text[j])) == 0) {
                ++j;
            }
            const std::string_view name = std::string_view(text).substr(name_start, j - name_start);
            // The tag's end, past any quoted attribute value.
            char quote = 0;
            for (; j < text.size() && (quote != 0 || text[j] != '>'); ++j) {
                if (quote == 0 && (text[j] == '"' || text[j] == '\'')) {
                    quote = text[j];
                } else if (text[j] == quote) {
                    quote = 0;
                }
            }
            if (name.empty() || j >= text.size()) {
                ok = false;
                break;
            }
            if (closing) {
                ok = ok && !open.empty() && open.back() == name;
                if (!open.empty()) {
                    open.pop_back();
                }
            } else if (text[j - 1] != '/') {
                roots += open.empty() ? 1 : 0;
                open.push_back(name);
                shape.depth = std::max(shape.depth, open.size());
            } else {
                roots += open.empty() ? 1 : 0;
                shape.depth = std::max<std::size_t>(shape.depth, open.size() + 1);
            }
            i = j + 1;
        }
    }
    shape.wellFormed = ok && open.empty() && roots == 1;
    return shape;
}

void report_load_failure(const std::string& path, const std::string& why) {
    report("Vellumar could not load the settings file '" + path + "': " + why, 0);
}

// Presets are small; a larger file is no preset.
constexpr std::uintmax_t kLargestPreset = 64u << 20;

bool parse_file(const std::string& path, Tree& tree) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        report_load_failure(path, "cannot open file");
        return false;
    }
    // A folder, a pipe or a device is no file to read a preset from.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) ||
        std::filesystem::file_size(path, ec) > kLargestPreset) {
        report_load_failure(path, "read error");
        return false;
    }
    std::string text;
    try {
        std::stringstream bytes;
        bytes << in.rdbuf();
        text = bytes.str();
    } catch (const std::exception&) {
        report_load_failure(path, "read error");
        return false;
    }
    // The text is scanned first and parsed as it was scanned: the file may
    // change in between.
    const XmlShape shape = xml_shape(text);
    if (shape.depth > kDeepestPreset) {
        report_load_failure(path, "read error");
        return false;
    }
    try {
        std::istringstream parsed(text);
        pt::read_xml(parsed, tree);
        if (!shape.wellFormed) {
            report_load_failure(path, "read error");
            tree.clear();
            return false;
        }
        return true;
    } catch (const pt::xml_parser_error& e) {
        report_load_failure(path, e.message());
    } catch (const std::exception& e) {
        report_load_failure(path, e.what());
    }
    return false;
}

// The file is written beside its target under a name of its own and renamed
// over it only when complete, so a failed save never destroys the preset
// that was there, and two saves never write into one file.
bool write_file(const std::string& path, const std::string& text, std::string& why) {
    boost::system::error_code ec;
    const fs::path target(path);
    const fs::path temp =
        target.parent_path() / fs::unique_path(target.filename().string() + ".%%%%-%%%%-%%%%.tmp");
    // "x": never through a file or link that is already there.
    std::FILE* file = std::fopen(temp.string().c_str(), "wbx");
    if (file == nullptr) {
        why = "cannot open file";
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        fs::remove(temp, ec);
        why = "write error";
        return false;
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        why = "cannot open file";
        return false;
    }
    return true;
}

} // namespace

bool UnwrapSettings::save(const std::string& requested) {
    const std::string path = requested.empty() ? DefaultPresetPath() : requested;
    make_parent_folder(path);
    std::ostringstream text;
    std::string why;
    try {
        pt::write_xml(text, settings_tree(*this),
                      pt::xml_writer_make_settings<std::string>(' ', 0));
    } catch (const pt::xml_parser_error& e) {
        why = e.message();
    }
    if (why.empty() && write_file(path, text.str(), why)) {
        return true;
    }
    report("Vellumar could not save the settings file '" + path + "': " + why, 0);
    return false;
}

bool UnwrapSettings::load(const std::string& requested) {
    const std::string path = requested.empty() ? DefaultPresetPath() : requested;
    make_parent_folder(path);
    Tree tree;
    if (!parse_file(path, tree)) {
        return false;
    }
    unreadable_values.clear();
    auto store = [&](const Key& k) {
        if (auto text = text_at(tree, k.name)) {
            const std::string key = k.name + std::string("settings.").size();
            std::visit(StoreInto{*this, key, *text}, k.field);
        }
    };
    for (const Key& k : kKeysBeforeElements) {
        store(k);
    }
    for (const Key& k : kKeysAfterElements) {
        store(k);
    }
    // As the panel does: a range never ends before it begins.
    bakerangeto = std::max(bakerangeto, bakerangefrom);
    if (auto list = tree.get_child_optional("settings.bakeelements")) {
        std::vector<BakeElementEntry> loaded;
        int number = 0;
        for (const auto& [key, child] : *list) {
            if (key != "bakeelement") {
                continue;
            }
            const std::string what = "bake element " + std::to_string(++number) + " ";
            if (auto entry = read_element(child, unreadable_values, what)) {
                loaded.push_back(std::move(*entry));
            }
        }
        elements = std::move(loaded);
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> PresetValueTexts(const UnwrapSettings& s) {
    std::vector<std::pair<std::string, std::string>> out;
    const std::size_t prefix = std::string("settings.").size();
    for (std::span<const Key> keys :
         {std::span<const Key>(kKeysBeforeElements), std::span<const Key>(kKeysAfterElements)}) {
        for (const Key& k : keys) {
            out.emplace_back(k.name + prefix, std::visit(TextOf{s}, k.field));
        }
    }
    return out;
}

void UnwrapSettings::load_startup_options() {
    const std::string path = DefaultPresetPath();
    Tree tree;
    if (!parse_file(path, tree)) {
        return;
    }
    // Start-up options no command can override: one that does not read is
    // left at its default.
    std::vector<std::string> ignored;
    read_into(tree, "settings.bake_debug", ParseFlag, bake_debug, ignored, "");
    read_into(tree, "settings.delete_temp_files", ParseFlag, delete_temp_files, ignored, "");
}
