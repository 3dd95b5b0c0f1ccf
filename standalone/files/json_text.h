// A text as a JSON string literal: quotes and backslashes escaped, control
// characters as \uXXXX; everything else (UTF-8 included) as it is.
#pragma once

#include <cstdio>
#include <string>

inline std::string JsonQuoted(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
