// IProcessEnvironment and ISystemVersion against the real API in the prefix.
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

using test::Lower;

TEST(Win32Environment, ProgramWindowsSystemAndCurrentFolders) {
    Win32ProcessEnvironment environment;
    const WString module = Lower(environment.ModulePath());
    EXPECT_EQ(module.substr(module.rfind(L'\\')), L"\\zq_win32_platform_tests.exe") << test::Narrow(module);
    EXPECT_EQ(Lower(environment.WindowsDirectory()), L"c:\\windows");
    EXPECT_EQ(Lower(environment.SystemDirectory()), L"c:\\windows\\system32");
    const WString folder = test::FreshTestFolder(L"environment-cd");
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    EXPECT_EQ(Lower(environment.CurrentDirectory().value_or(L"")), Lower(folder));
}

// The launcher reads TEMP from the C runtime's copy of the environment.
TEST(Win32Environment, VariablesComeFromTheRuntimesCopy) {
    Win32ProcessEnvironment environment;
    EXPECT_FALSE(environment.EnvironmentVariable(L"ZQ_SURELY_NOT_SET_ANYWHERE").has_value());
    test::ScopedEnvironmentVariable variable(L"ZQ_TEST_VARIABLE", L"some value");
    EXPECT_EQ(environment.EnvironmentVariable(L"ZQ_TEST_VARIABLE"), std::optional<WString>(L"some value"));
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

TEST(Win32Environment, CommonControlsAndSystemMessages) {
    Win32ProcessEnvironment environment;
    environment.InitCommonControls();
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"msctls_progress32", &info));
    EXPECT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"SysAnimate32", &info));
    const WString text = environment.SystemMessage(2);
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n") << test::Narrow(text);
    EXPECT_EQ(text.find(L'\0'), WString::npos);
    EXPECT_EQ(environment.SystemMessage(0x2000BEEF), L"");
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
