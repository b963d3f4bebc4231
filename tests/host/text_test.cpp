#include "base/text.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(Text, WToIReadsLikeTheCLibrary) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"511", 511},
        {L"\t-5", -5},
        {L"+7x", 7},
        {L"1a", 1},
        {L"", 0},
        {L"- 5", 0},
        {L"99999999999", 2147483647},
        {L"-99999999999", -2147483647 - 1},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(WToI(text), expected) << Utf16ToUtf8(text);
}

TEST(Text, WhiteSpaceCaseAndReplacement) {
    EXPECT_EQ(TrimEndThenStart(L" \t\r\n\v\fa b\f\v\n\r\t "), L"a b");
    // A no-break space is not white space in the "C" locale.
    EXPECT_EQ(TrimEndThenStart(L"\u00a0a\u00a0"), L"\u00a0a\u00a0");
    // Case folding touches ASCII letters only.
    EXPECT_EQ(ToLowerAscii(L"C:\\PKG\\\u00c9T\u00c9.EXE"), L"c:\\pkg\\\u00c9t\u00c9.exe");
    EXPECT_TRUE(EqualsIgnoringAsciiCase(L"Model 5400 Series", L"MODEL 5400 series"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"Model 5400", L"Model 5400 Series"));
    // The replacement is not scanned again.
    EXPECT_EQ(ReplaceAll(L"aXbX", L"X", L"XX"), L"aXXbXX");
}

TEST(Text, Utf8AndUtf16RoundTripWithSurrogatePairs) {
    const std::string utf8 = "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x96\xa8";  // Café € 🖨
    const WString utf16 = Utf8ToUtf16(utf8);
    EXPECT_EQ(utf16, (WString{L'C', L'a', L'f', 0xE9, L' ', 0x20AC, L' ', 0xD83D, 0xDDA8}));
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
    EXPECT_EQ(Utf8ToUtf16("\xff"), WString(1, static_cast<wchar_t>(0xFFFD)));
    // UTF-16LE bytes: an odd last byte is ignored.
    const std::uint8_t bytes[] = {'A', 0, 'B', 0, 'C'};
    EXPECT_EQ(Utf16LeBytesToString(bytes, sizeof bytes), L"AB");
    EXPECT_EQ(StringToUtf16LeBytes(L"A\u20ac"), std::string("A\0\xac\x20", 4));
}

}  // namespace
}  // namespace zq
