#include "base/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace zq {
namespace {

// The formats the launcher uses, and integers as Microsoft's C library
// takes them: at the directive's size (long is 32-bit there), whatever the
// caller's type, so that every build writes the same text.
TEST(Format, AsOnWindows) {
    struct Case {
        std::wstring got, expected;
    } cases[] = {
        {Format(L"Read Section:[%s] Key=%s Value=%s", std::wstring(L"Run"), L"1", std::wstring(L"x.exe")),
         L"Read Section:[Run] Key=1 Value=x.exe"},
        {Format(L"--> Enter ValidateOS( %ld, %ld, %ld, %ld)", 501u, 10064, 2, -1),
         L"--> Enter ValidateOS( 501, 10064, 2, -1)"},
        {Format(L"%s%s%03d.log", std::wstring(L"C:\\Temp\\"), L"zqmerlesetup", 7), L"C:\\Temp\\zqmerlesetup007.log"},
        {Format(L"[%02d/%02d/%04d %02d:%02d:%02d]", 3, 7, 2009, 9, 5, 2), L"[03/07/2009 09:05:02]"},
        {Format(L"0x%04x", 0x40c), L"0x040c"},
        {Format(L"%d", -2147483647 - 1), L"-2147483648"},
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
        {Format(L"%lld", std::numeric_limits<std::int64_t>::min()), L"-9223372036854775808"},
        {Format(L"%d", std::numeric_limits<std::int64_t>::min()), L"0"},
        {Format(L"%hd", 65535), L"-1"},
        {Format(L"%hu", -1), L"65535"},
        {Format(L"%hhd", 255), L"-1"},
        {Format(L"%05ld", static_cast<unsigned>(-50)), L"-0050"},
        {Format(L"[%5d]", 42), L"[   42]"},
        {Format(L"[%-5d]", 42), L"[42   ]"},
        {Format(L"[%05d]", -42), L"[-0042]"},
        {Format(L"[%.2s]", L"abc"), L"[ab]"},
        {Format(L"[%4s]", L"ab"), L"[  ab]"},
        {Format(L"%X", 255), L"FF"},
        // Argument text (a settings value holding directives) is data, never a format.
        {Format(L"%s", std::wstring(L"100% %s %d done")), L"100% %s %d done"},
        {Format(L"** Searching %s", std::wstring(L"C:\\%windir%\\oem1.inf")), L"** Searching C:\\%windir%\\oem1.inf"},
        // Missing or mismatched arguments never fail.
        {Format(L"a %s b"), L"a %s b"},
        {Format(L"%d", std::wstring(L"text")), L"%d"},
        {Format(L"100%"), L"100%"},
        {Format(L"50%%"), L"50%"},
        {Format(L"%q", 1), L"%q"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

// Found while writing the formatter's fuzz target: a width of billions must
// not throw out of a formatter that never fails.
TEST(Format, AHugeWidthDoesNotThrow) {
    std::wstring text;
    EXPECT_NO_THROW(text = Format(L"%99999999999999999999d", 1));
    EXPECT_EQ(text.back(), L'1');
}

}  // namespace
}  // namespace zq
