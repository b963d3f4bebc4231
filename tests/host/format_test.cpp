#include "base/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace zq {
namespace {

// Integers as Microsoft's C library takes them: at the directive's size (long
// is 32-bit there), whatever the caller's type, so every build writes alike.
TEST(Format, AsOnWindows) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {Format(L"%d", -2147483647 - 1), L"-2147483648"},
        {Format(L"%ld", static_cast<unsigned>(-50)), L"-50"},
        {Format(L"%i", std::uint64_t{0x1FFFFFFFF}), L"-1"},
        {Format(L"%u", -50), L"4294967246"},
        {Format(L"%lX", std::int64_t{-2}), L"FFFFFFFE"},
        {Format(L"%lld", std::int64_t{-5000000000}), L"-5000000000"},
        {Format(L"%d", std::numeric_limits<std::int64_t>::min()), L"0"},
        {Format(L"%hd", 65535), L"-1"},
        {Format(L"%hhd", 255), L"-1"},
        {Format(L"%05ld", static_cast<unsigned>(-50)), L"-0050"},
        {Format(L"[%-5d]", 42), L"[42   ]"},
        {Format(L"[%05d]", -42), L"[-0042]"},
        {Format(L"[%.2s]", L"abc"), L"[ab]"},
        // Argument text (a settings value holding directives) is data, never a format.
        {Format(L"%s", std::wstring(L"100% %s %d done")), L"100% %s %d done"},
        // Missing or mismatched arguments never fail.
        {Format(L"a %s b"), L"a %s b"},
        {Format(L"%d", std::wstring(L"text")), L"%d"},
        {Format(L"50%%"), L"50%"},
        {Format(L"%q", 1), L"%q"},
    };
    for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
    // Found by the formatter's fuzz target: a width of billions must not throw.
    EXPECT_EQ(Format(L"%99999999999999999999d", 1).back(), L'1');
}

}  // namespace
}  // namespace zq
