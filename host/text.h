// Conversions between the plug-in's UTF-8 texts and the host's wide texts.
// Invalid UTF-8 bytes become U+FFFD instead of being dropped, so a name never
// silently loses characters.
#pragma once

#include <string>
#include <string_view>

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
