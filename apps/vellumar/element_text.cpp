#include "apps/vellumar/element_text.h"

#include "host/text.h"
#include "settings/preset_values.h"

#include <sstream>

namespace {

std::string class_name(ClassDesc* desc) {
    return WideToUtf8(desc->ClassName());
}

std::string valid_class_names() {
    std::string names;
    for (ClassDesc* desc : AvailableElementClasses()) {
        names += (names.empty() ? "" : ", ") + class_name(desc);
    }
    return names;
}

std::string valid_param_names(const BakeElementEntry& e) {
    std::string names;
    for (const BakeParam& p : e.parameters) {
        names += (names.empty() ? "'" : ", '") + p.name + "'";
    }
    return names.empty() ? "none" : names;
}

// "r/g/b", each a float.
bool parse_colour(const std::string& text, float rgb[3]) {
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const std::size_t cut = k < 2 ? text.find('/', start) : text.size();
        if (cut == std::string::npos) {
            return false;
        }
        const auto v = ParseFloat(text.substr(start, cut - start));
        if (!v) {
            return false;
        }
        rgb[k] = *v;
        start = cut + 1;
    }
    return true;
}

bool set_param(BakeParam& p, const std::string& value, std::string& error) {
    auto out_of_range = [&] {
        error = "value '" + value + "' of '" + p.name + "' is outside " + ParamRangeText(p);
        return false;
    };
    switch (p.type) {
    case Float: {
        const auto v = ParseFloat(value);
        if (!v) {
            break;
        }
        if (p.hasRange && (*v < p.floatMin || *v > p.floatMax)) {
            return out_of_range();
        }
        p.floatValue = *v;
        return true;
    }
    case Int: {
        const auto v = ParseInt(value);
        if (!v) {
            break;
        }
        if (p.hasRange && (*v < p.intMin || *v > p.intMax)) {
            return out_of_range();
        }
        p.intValue = *v;
        return true;
    }
    case Flag: {
        const auto v = ParseFlag(value);
        if (!v) {
            break;
        }
        p.flagValue = *v ? 1 : 0;
        return true;
    }
    case Colour:
        if (parse_colour(value, p.colourValue)) {
            return true;
        }
        error = "value '" + value + "' of '" + p.name + "' is not a colour R/G/B";
        return false;
    default:
        error = "parameter '" + p.name + "' has " + ParamTypeText(p) + " and cannot be set";
        return false;
    }
    error = "value '" + value + "' of '" + p.name + "' is not a " + ParamTypeText(p);
    return false;
}

} // namespace

bool ParseElementChoice(const std::string& choice, BakeElementEntry& entry, std::string& error) {
    const std::size_t colon = choice.find(':');
    const std::string name = choice.substr(0, colon);
    ClassDesc* chosen = nullptr;
    for (ClassDesc* desc : AvailableElementClasses()) {
        if (class_name(desc) == name) {
            chosen = desc;
        }
    }
    if (chosen == nullptr) {
        error = "unknown bake element class '" + name + "'; valid: " + valid_class_names();
        return false;
    }
    entry = CreateEntry(chosen);
    if (colon == std::string::npos) {
        return true;
    }
    std::stringstream list(choice.substr(colon + 1));
    std::string assignment;
    while (std::getline(list, assignment, ',')) {
        const std::size_t eq = assignment.find('=');
        if (eq == std::string::npos) {
            error = "'" + assignment + "' is not NAME=VALUE";
            return false;
        }
        const std::string pname = assignment.substr(0, eq);
        bool found = false;
        for (BakeParam& p : entry.parameters) {
            if (p.name == pname) {
                found = true;
                if (!set_param(p, assignment.substr(eq + 1), error)) {
                    return false;
                }
            }
        }
        if (!found) {
            error = "unknown parameter '" + pname + "' of " + name +
                    "; valid: " + valid_param_names(entry);
            return false;
        }
    }
    return true;
}

bool ParseElementSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    const auto w = ParseInt(text.substr(0, x));
    const auto h = x == std::string::npos ? w : ParseInt(text.substr(x + 1));
    auto ok = [](const std::optional<int>& v) { return v && *v >= 1 && *v <= 16384; };
    if (!ok(w) || !ok(h)) {
        return false;
    }
    width = *w;
    height = *h;
    return true;
}

std::string ParamTypeText(const BakeParam& p) {
    switch (p.type) {
    case Float:
        return "float";
    case Int:
        return "int";
    case Flag:
        return p.legacy ? "flag (legacy)" : "flag";
    case Colour:
        return "colour";
    default:
        return "type " + std::to_string(p.type) + " (not supported)";
    }
}

std::string ParamValueText(const BakeParam& p) {
    switch (p.type) {
    case Float:
        return FloatText(p.floatValue);
    case Int:
        return std::to_string(p.intValue);
    case Flag:
        return FlagText(p.flagValue != 0);
    case Colour:
        return FloatText(p.colourValue[0]) + "/" + FloatText(p.colourValue[1]) + "/" +
               FloatText(p.colourValue[2]);
    default:
        return "-";
    }
}

std::string ParamRangeText(const BakeParam& p) {
    if (!p.hasRange) {
        return "";
    }
    if (p.type == Float) {
        return FloatText(p.floatMin) + ".." + FloatText(p.floatMax);
    }
    if (p.type == Int) {
        return std::to_string(p.intMin) + ".." + std::to_string(p.intMax);
    }
    return "";
}
