#include "host/text.h"

#include <gtest/gtest.h>

TEST(Text, RoundTripsEveryPlaneOfUnicode) {
    const std::string text = "Stuhl_\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::wstring wide = Utf8ToWide(text);
    ASSERT_EQ(wide.size(), 9u);
    EXPECT_EQ(wide[6], L'\u00E4');
    EXPECT_EQ(static_cast<std::uint32_t>(wide[8]), 0x1F600u);
    EXPECT_EQ(WideToUtf8(wide), text);
}

TEST(Text, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              std::wstring(L"a\uFFFDb"));
    EXPECT_EQ(Utf8ToWide("\xE2\x82"), std::wstring(L"\uFFFD\uFFFD")) << "truncated sequence";
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), std::wstring(L"\uFFFD\uFFFD")) << "overlong form";
}
