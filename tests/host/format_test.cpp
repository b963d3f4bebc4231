#include "base/format.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace zq {
namespace {

struct FormatCase {
    const wchar_t* format;
    std::wstring expected;
    std::wstring (*make)(const wchar_t*);
};

TEST(Format, ConversionsTheLauncherUses) {
    EXPECT_EQ(Format(L"Read Section:[%s] Key=%s Value=%s", std::wstring(L"Run"), L"1", std::wstring(L"x.exe")),
              L"Read Section:[Run] Key=1 Value=x.exe");
    EXPECT_EQ(Format(L"--> Enter ValidateOS( %ld, %ld, %ld, %ld)", 501u, 10064, 2, -1),
              L"--> Enter ValidateOS( 501, 10064, 2, -1)");
    EXPECT_EQ(Format(L"%s%s%03d.log", std::wstring(L"C:\\Temp\\"), L"zqmerlesetup", 7),
              L"C:\\Temp\\zqmerlesetup007.log");
    EXPECT_EQ(Format(L"[%02d/%02d/%04d %02d:%02d:%02d]", 3, 7, 2009, 9, 5, 2), L"[03/07/2009 09:05:02]");
    EXPECT_EQ(Format(L"0x%04x", 0x40c), L"0x040c");
    EXPECT_EQ(Format(L"0x%04x", 0x0409), L"0x0409");
    EXPECT_EQ(Format(L"%d", -2147483647 - 1), L"-2147483648");
}

// Microsoft's C library takes an integer at the directive's size (long is
// 32-bit there), whatever the caller's type: the same text on every build.
TEST(Format, IntegersAtTheDirectivesWidthAsOnWindows) {
    struct Case {
        std::wstring got, expected;
    } cases[] = {
        {Format(L"%ld", static_cast<unsigned>(-50)), L"-50"},
        {Format(L"%d", 4294967246u), L"-50"},
        {Format(L"%i", std::uint64_t{0x1FFFFFFFF}), L"-1"},
        {Format(L"%ld", 2147483648u), L"-2147483648"},
        {Format(L"%u", -50), L"4294967246"},
        {Format(L"%lu", -1L), L"4294967295"},
        {Format(L"%x", -1), L"ffffffff"},
        {Format(L"%lX", std::int64_t{-2}), L"FFFFFFFE"},
        {Format(L"%lld", std::int64_t{-5000000000}), L"-5000000000"},
        {Format(L"%llu", std::uint64_t{5000000000}), L"5000000000"},
        {Format(L"%hd", 65535), L"-1"},
        {Format(L"%hu", -1), L"65535"},
        {Format(L"%hhd", 255), L"-1"},
        {Format(L"%05ld", static_cast<unsigned>(-50)), L"-0050"},
        {Format(L"%ld", 501u), L"501"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(Format, ArgumentTextIsNeverInterpretedAgain) {
    // A settings value holding directives is data, not a format.
    EXPECT_EQ(Format(L"%s", std::wstring(L"100% %s %d done")), L"100% %s %d done");
    EXPECT_EQ(Format(L"** Searching %s", std::wstring(L"C:\\%windir%\\oem1.inf")),
              L"** Searching C:\\%windir%\\oem1.inf");
}

TEST(Format, NeverFailsOnMissingOrMismatchedArguments) {
    EXPECT_EQ(Format(L"a %s b"), L"a %s b");
    EXPECT_EQ(Format(L"%d", std::wstring(L"text")), L"%d");
    EXPECT_EQ(Format(L"100%"), L"100%");
    EXPECT_EQ(Format(L"50%%"), L"50%");
    EXPECT_EQ(Format(L"%q", 1), L"%q");
}

TEST(Format, WidthPrecisionAndJustification) {
    EXPECT_EQ(Format(L"[%5d]", 42), L"[   42]");
    EXPECT_EQ(Format(L"[%-5d]", 42), L"[42   ]");
    EXPECT_EQ(Format(L"[%05d]", -42), L"[-0042]");
    EXPECT_EQ(Format(L"[%.2s]", L"abc"), L"[ab]");
    EXPECT_EQ(Format(L"[%4s]", L"ab"), L"[  ab]");
    EXPECT_EQ(Format(L"%X", 255), L"FF");
}

}  // namespace
}  // namespace zq
