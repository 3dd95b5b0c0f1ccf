#include "settings/preset_values.h"

#include <charconv>
#include <cmath>
#include <locale>
#include <sstream>

namespace {

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

template <class T> std::optional<T> parse_number(const std::string& text) {
    const std::string t = trimmed(text);
    T value{};
    const char* end = t.data() + t.size();
    const auto [ptr, ec] = std::from_chars(t.data(), end, value);
    if (t.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string FloatText(float value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(8);
    out << value;
    return out.str();
}

std::optional<int> ParseInt(const std::string& text) {
    return parse_number<int>(text);
}

std::optional<std::uint32_t> ParseUnsigned(const std::string& text) {
    return parse_number<std::uint32_t>(text);
}

std::optional<float> ParseFloat(const std::string& text) {
    const std::optional<float> v = parse_number<float>(text);
    if (!v || !std::isfinite(*v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<bool> ParseFlag(const std::string& text) {
    const std::string t = trimmed(text);
    if (t == "true" || t == "1") {
        return true;
    }
    if (t == "false" || t == "0") {
        return false;
    }
    return std::nullopt;
}
