// IProcessEnvironment and ISystemVersion against the real API in the prefix.
// (The folders, the system's messages and the common controls are met by
// every run of the real exe and of the plug-in in the other suites.)
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

// The launcher reads TEMP from the C runtime's copy of the environment.
TEST(Win32Environment, VariablesComeFromTheRuntimesCopyAndTheCurrentFolderIsTheProcesses) {
    Win32ProcessEnvironment environment;
    EXPECT_FALSE(environment.EnvironmentVariable(L"ZQ_SURELY_NOT_SET_ANYWHERE").has_value());
    test::ScopedEnvironmentVariable variable(L"ZQ_TEST_VARIABLE", L"some value");
    EXPECT_EQ(environment.EnvironmentVariable(L"ZQ_TEST_VARIABLE"), std::optional<WString>(L"some value"));
    const WString folder = test::FreshTestFolder(L"environment-cd");  // a bare -f name is read from there
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    EXPECT_EQ(test::Lower(environment.CurrentDirectory().value_or(L"")), test::Lower(folder));
}

TEST(Win32Environment, NamedMutexReportsAnEarlierHolder) {
    const WString name = L"ZQTEST{mutex-" + std::to_wstring(::GetCurrentProcessId()) + L"}";
    {
        Win32ProcessEnvironment first, second;
        EXPECT_EQ(first.CreateNamedMutex(name), MutexOutcome::Created);
        EXPECT_EQ(second.CreateNamedMutex(name), MutexOutcome::AlreadyExisted);
        EXPECT_EQ(first.CreateNamedMutex(name), MutexOutcome::AlreadyExisted);
    }
    // Both holders are gone, and with them the object.
    Win32ProcessEnvironment third;
    EXPECT_EQ(third.CreateNamedMutex(name), MutexOutcome::Created);
    EXPECT_EQ(third.CreateNamedMutex(L"NoSuchNamespace\\zq"), MutexOutcome::NoHandle);
}

// The running version passes; another major or minor fails; the service
// pack is a minimum, compared major first.
TEST(Win32Version, VerifyVersionAgainstTheRunningOne) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)));
    const unsigned major = info.dwMajorVersion, minor = info.dwMinorVersion;
    const unsigned sp = info.wServicePackMajor, spMinor = info.wServicePackMinor;
    const auto request = [](unsigned a, unsigned b, unsigned c, unsigned d) {
        return VersionRequest{a, b, static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(d)};
    };
    struct Row {
        VersionRequest request;
        bool passes;
    } rows[] = {
        {request(major, minor, sp, spMinor), true},
        {request(major, minor, 0, 0), true},
        {request(major + 1, minor, 0, 0), false},
        {request(major - 1, minor, 0, 0), false},
        {request(major, minor + 1, 0, 0), false},
        {request(major, minor, sp + 1, 0), false},
        {request(major, minor, sp, spMinor + 1), false},
        {request(major, minor, sp > 0 ? sp - 1 : 0, 9), sp > 0},  // an earlier pack with a higher minor
    };
    Win32SystemVersion version;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.request.major << "." << row.request.minor << " SP "
                                        << row.request.servicePackMajor << "." << row.request.servicePackMinor);
        EXPECT_EQ(version.VerifyVersion(row.request), row.passes);
    }
    EXPECT_EQ(version.MajorVersion(), major);
}

// The launcher's word-size answer against the machine's own: a 64-bit
// Windows, with this program under WOW64 (the 32-bit build) or native, or
// a 32-bit Windows.
TEST(Win32Version, SixtyFourBitAnswerIsTheMachines) {
    IsWow64ProcessFn isWow64 = Win32SystemVersion().LookupIsWow64Process();
    ASSERT_TRUE(static_cast<bool>(isWow64));
    EXPECT_EQ(isWow64(), std::optional<bool>(test::IsSixtyFourBitWindows()));
}

}  // namespace
}  // namespace zq::win32
