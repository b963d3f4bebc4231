// ISystemVersion against the real API in the prefix. (The word size, the
// environment, the folders, the instance mutex, the system's messages and
// the common controls are met by the real exe's runs in the other suites.)
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

// The running version passes; another major or minor fails; the service
// pack is a minimum, compared major first.
TEST(Win32Version, VerifyVersionAgainstTheRunningOne) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)));
    const unsigned major = info.dwMajorVersion, minor = info.dwMinorVersion;
    const int sp = info.wServicePackMajor, spMinor = info.wServicePackMinor;
    const struct {
        unsigned major, minor;
        int sp, spMinor;
        bool passes;
    } rows[] = {
        {major, minor, sp, spMinor, true},
        {major, minor, 0, 0, true},
        {major + 1, minor, 0, 0, false},
        {major, minor + 1, 0, 0, false},
        {major, minor, sp + 1, 0, false},
        {major, minor, sp, spMinor + 1, false},
        {major, minor, sp > 0 ? sp - 1 : 0, 9, sp > 0},  // an earlier pack with a higher minor
    };
    Win32SystemVersion version;
    for (const auto& row : rows) {
        const VersionRequest request{row.major, row.minor, static_cast<std::uint16_t>(row.sp),
                                     static_cast<std::uint16_t>(row.spMinor)};
        EXPECT_EQ(version.VerifyVersion(request), row.passes)
            << row.major << "." << row.minor << " SP " << row.sp << "." << row.spMinor;
    }
    EXPECT_EQ(version.MajorVersion(), major);
}

}  // namespace
}  // namespace zq::win32
