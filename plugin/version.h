// The product's version and the texts it shows about itself.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::uint32_t kVersionNumber = 22200;

// "2.22.00" for 22200: major, then minor and patch as two digits each.
std::wstring VersionText(std::uint32_t number = kVersionNumber);

// Texts kept scrambled in the binary, so that a string dump of the module
// does not hand them out; unpacked on first use.
const std::wstring& ProductName();        // shown before the version in About
const std::wstring& LibraryDescription(); // LibDescription's first part
const std::wstring& LibraryTagline();     // LibDescription's last part
const std::wstring& UtilityClassName();
const std::wstring& ModifierClassName();
const std::wstring& HomePageAddress();
const std::wstring& HelpPageAddress();
