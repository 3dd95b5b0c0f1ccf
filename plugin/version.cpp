#include "plugin/version.h"

#include <array>
#include <cstddef>
#include <cwchar>

namespace {

constexpr char kKey = 0x5A;

// Scrambled at compile time; only the scrambled bytes are in the binary.
template <std::size_t N> struct Scrambled {
    std::array<char, N - 1> bytes{};
    consteval Scrambled(const char (&text)[N]) {
        for (std::size_t i = 0; i + 1 < N; ++i) {
            bytes[i] = static_cast<char>(text[i] ^ static_cast<char>(kKey + i));
        }
    }
    std::wstring unpack() const {
        std::wstring out;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            out += static_cast<wchar_t>(
                static_cast<unsigned char>(bytes[i] ^ static_cast<char>(kKey + i)));
        }
        return out;
    }
};

constexpr Scrambled kProduct("Vellumar Pro");
constexpr Scrambled kDescription("Vellumar Kit");
constexpr Scrambled kTagline("Atlas unwrapping and baking.");
constexpr Scrambled kUtility("Vellumar UVs");
constexpr Scrambled kModifier("Vellumar UV Modifier");
constexpr Scrambled kHome("https://vellumar.example/uv/");
constexpr Scrambled kHelp("https://vellumar.example/hlp");

} // namespace

std::wstring VersionText(std::uint32_t number) {
    wchar_t buf[32];
    std::swprintf(buf, 32, L"%u.%02u.%02u", number / 10000, (number / 100) % 100, number % 100);
    return buf;
}

const std::wstring& ProductName() {
    static const std::wstring text = kProduct.unpack();
    return text;
}
const std::wstring& LibraryDescription() {
    static const std::wstring text = kDescription.unpack();
    return text;
}
const std::wstring& LibraryTagline() {
    static const std::wstring text = kTagline.unpack();
    return text;
}
const std::wstring& UtilityClassName() {
    static const std::wstring text = kUtility.unpack();
    return text;
}
const std::wstring& ModifierClassName() {
    static const std::wstring text = kModifier.unpack();
    return text;
}
const std::wstring& HomePageAddress() {
    static const std::wstring text = kHome.unpack();
    return text;
}
const std::wstring& HelpPageAddress() {
    static const std::wstring text = kHelp.unpack();
    return text;
}
