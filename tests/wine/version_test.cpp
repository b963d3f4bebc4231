// ISystemVersion against the version the prefix reports.
#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

OSVERSIONINFOEXW RunningVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    EXPECT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)));
    return info;
}

VersionRequest RequestOf(const OSVERSIONINFOEXW& info) {
    return VersionRequest{info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor, info.wServicePackMinor};
}

TEST(Win32Version, RunningVersionAndServicePackPass) {
    Win32SystemVersion version;
    EXPECT_TRUE(version.VerifyVersion(RequestOf(RunningVersion())));
}

TEST(Win32Version, MajorAndMinorMustBeEqual) {
    Win32SystemVersion version;
    const OSVERSIONINFOEXW running = RunningVersion();
    struct Row {
        int majorDelta, minorDelta;
    };
    for (Row row : {Row{1, 0}, Row{-1, 0}, Row{0, 1}}) {
        SCOPED_TRACE(std::to_string(row.majorDelta) + "," + std::to_string(row.minorDelta));
        VersionRequest request = RequestOf(running);
        request.major += row.majorDelta;
        request.minor += row.minorDelta;
        request.servicePackMajor = request.servicePackMinor = 0;
        EXPECT_FALSE(version.VerifyVersion(request));
    }
}

TEST(Win32Version, ServicePackIsAMinimumComparedMajorFirst) {
    Win32SystemVersion version;
    const OSVERSIONINFOEXW running = RunningVersion();
    VersionRequest request = RequestOf(running);
    request.servicePackMajor = 0;
    request.servicePackMinor = 0;
    EXPECT_TRUE(version.VerifyVersion(request)) << "no minimum";
    request = RequestOf(running);
    request.servicePackMajor += 1;
    request.servicePackMinor = 0;
    EXPECT_FALSE(version.VerifyVersion(request)) << "a later service pack";
    request = RequestOf(running);
    request.servicePackMinor += 1;
    EXPECT_FALSE(version.VerifyVersion(request)) << "a later minor of the same service pack";
    if (running.wServicePackMajor > 0) {
        request = RequestOf(running);
        request.servicePackMajor -= 1;
        request.servicePackMinor = 9;
        EXPECT_TRUE(version.VerifyVersion(request)) << "an earlier service pack with a higher minor";
    }
}

TEST(Win32Version, MajorVersionIsTheLowByteOfGetVersion) {
    Win32SystemVersion version;
    EXPECT_EQ(version.MajorVersion(), RunningVersion().dwMajorVersion);
}

// The launcher's word-size answer against the machine's own: a 64-bit
// Windows, with this program running under WOW64 (the 32-bit build) or
// natively (the 64-bit build), or a 32-bit Windows.
TEST(Win32Version, SixtyFourBitAnswerIsTheMachines) {
    Win32SystemVersion version;
    IsWow64ProcessFn isWow64 = version.LookupIsWow64Process();
    ASSERT_TRUE(static_cast<bool>(isWow64));
    EXPECT_EQ(isWow64(), std::optional<bool>(test::IsSixtyFourBitWindows()));
}

}  // namespace
}  // namespace zq::win32
