// How preset files spell values: the conversions between the record's field
// types and the texts of the XML elements.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// General notation with at most 8 significant digits and no trailing zeros:
// 0.15f is "0.15000001", 90 is "90", 1 is "1".
std::string FloatText(float value);
inline std::string FlagText(bool value) {
    return value ? "true" : "false";
}

// Each parse accepts the whole text (blanks around it aside) or nothing:
// "12abc", an empty text or a number beyond the type's range yield nothing.
std::optional<int> ParseInt(const std::string& text);
std::optional<std::uint32_t> ParseUnsigned(const std::string& text);
// Any decimal or exponent notation; infinities and NaN are refused, since no
// setting means anything with them.
std::optional<float> ParseFloat(const std::string& text);
// "true", "false", "1" or "0".
std::optional<bool> ParseFlag(const std::string& text);
