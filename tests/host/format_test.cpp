#include "base/format.h"

#include <gtest/gtest.h>

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

TEST(Format, ArgumentTextIsNeverInterpretedAgain) {
    // A settings value holding directives is data, not a format.
    EXPECT_EQ(Format(L"%s", std::wstring(L"100% %s %d done")), L"100% %s %d done");
    EXPECT_EQ(Format(L"** Searching %s", std::wstring(L"C:\\%windir%\\oem1.inf")), L"** Searching C:\\%windir%\\oem1.inf");
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
