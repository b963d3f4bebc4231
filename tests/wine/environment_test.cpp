// IProcessEnvironment against the real API in the prefix.
#include <gtest/gtest.h>

#include <cwctype>

#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

WString Lower(WString text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool EndsWith(const WString& text, const WString& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(Win32Environment, ModulePathIsThisProgram) {
    Win32ProcessEnvironment environment;
    const WString path = environment.ModulePath();
    EXPECT_TRUE(EndsWith(Lower(path), L"\\zq_win32_platform_tests.exe")) << test::Narrow(path);
    EXPECT_EQ(::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(Win32Environment, CurrentDirectoryFollowsTheProcess) {
    Win32ProcessEnvironment environment;
    const std::optional<WString> before = environment.CurrentDirectory();
    ASSERT_TRUE(before.has_value());
    const WString folder = test::FreshTestFolder(L"environment-cd");
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    EXPECT_EQ(Lower(environment.CurrentDirectory().value_or(L"")), Lower(folder));
    ::SetCurrentDirectoryW(before->c_str());
}

TEST(Win32Environment, WindowsAndSystemDirectories) {
    Win32ProcessEnvironment environment;
    const WString windows = environment.WindowsDirectory();
    EXPECT_EQ(Lower(windows), L"c:\\windows");
    EXPECT_EQ(Lower(environment.SystemDirectory()), Lower(windows) + L"\\system32");
}

TEST(Win32Environment, TempIsSetInThePrefix) {
    Win32ProcessEnvironment environment;
    const std::optional<WString> temp = environment.EnvironmentVariable(L"TEMP");
    ASSERT_TRUE(temp.has_value());
    EXPECT_FALSE(temp->empty());
    wchar_t buffer[MAX_PATH];
    DWORD length = ::GetEnvironmentVariableW(L"TEMP", buffer, MAX_PATH);
    EXPECT_EQ(*temp, WString(buffer, length));
    EXPECT_NE(::GetFileAttributesW(temp->c_str()), INVALID_FILE_ATTRIBUTES) << "the TEMP folder exists";
}

TEST(Win32Environment, MissingVariableIsNullopt) {
    Win32ProcessEnvironment environment;
    EXPECT_FALSE(environment.EnvironmentVariable(L"ZQ_SURELY_NOT_SET_ANYWHERE").has_value());
}

TEST(Win32Environment, VariableSetInTheRuntimeIsRead) {
    Win32ProcessEnvironment environment;
    ASSERT_EQ(::_wputenv(L"ZQ_TEST_VARIABLE=some value"), 0);
    EXPECT_EQ(environment.EnvironmentVariable(L"ZQ_TEST_VARIABLE"), std::optional<WString>(L"some value"));
    ::_wputenv(L"ZQ_TEST_VARIABLE=");
}

TEST(Win32Environment, NowIsACalendarTime) {
    Win32ProcessEnvironment environment;
    const LocalTime now = environment.Now();
    EXPECT_GE(now.year, 2000);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LE(now.hour, 23);
    EXPECT_LE(now.minute, 59);
    EXPECT_LE(now.second, 59);
}

TEST(Win32Environment, UserDefaultLangIdIsTheSystems) {
    Win32ProcessEnvironment environment;
    EXPECT_EQ(environment.UserDefaultLangID(), ::GetUserDefaultLangID());
}

TEST(Win32Environment, NamedMutexReportsAnEarlierHolder) {
    const WString name = L"ZQTEST{mutex-" + std::to_wstring(::GetCurrentProcessId()) + L"}";
    {
        Win32ProcessEnvironment first;
        EXPECT_EQ(first.CreateNamedMutex(name), MutexOutcome::Created);
        Win32ProcessEnvironment second;
        EXPECT_EQ(second.CreateNamedMutex(name), MutexOutcome::AlreadyExisted);
        EXPECT_EQ(first.CreateNamedMutex(name), MutexOutcome::AlreadyExisted);
    }
    // Both holders are gone, and with them the object.
    Win32ProcessEnvironment third;
    EXPECT_EQ(third.CreateNamedMutex(name), MutexOutcome::Created);
}

TEST(Win32Environment, NamedMutexWithoutHandle) {
    // A name in a namespace that does not exist: no handle comes back.
    Win32ProcessEnvironment environment;
    EXPECT_EQ(environment.CreateNamedMutex(L"NoSuchNamespace\\zq"), MutexOutcome::NoHandle);
}

TEST(Win32Environment, CommonControlsAreRegistered) {
    Win32ProcessEnvironment environment;
    environment.InitCommonControls();
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"msctls_progress32", &info));
    EXPECT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"SysAnimate32", &info));
}

TEST(Win32Environment, SystemMessageEndsWithCrLf) {
    Win32ProcessEnvironment environment;
    const WString text = environment.SystemMessage(2);
    ASSERT_GT(text.size(), 2u);
    EXPECT_TRUE(EndsWith(text, L"\r\n")) << test::Narrow(text);
    EXPECT_EQ(text.find(L'\0'), WString::npos);
}

TEST(Win32Environment, SystemMessageOfAnUnknownCodeIsEmpty) {
    Win32ProcessEnvironment environment;
    EXPECT_EQ(environment.SystemMessage(0x2000BEEF), L"");
}

TEST(Win32Environment, LastErrorIsTheThreads) {
    Win32ProcessEnvironment environment;
    ::SetLastError(1234);
    EXPECT_EQ(environment.LastError(), 1234u);
}

}  // namespace
}  // namespace zq::win32
