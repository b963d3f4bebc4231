// The real zqmerlesetup.exe, run in the prefix while the test holds the
// single-instance mutex: the program ends at its instance check, before
// anything could show a window, with the log header and the mutex line
// written in its TEMP, a fresh folder of the test's own.
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

TEST(ExeRun, EachRunWritesItsBannerToALogOfItsOwnAndEndsAtTheInstanceCheck) {
    const WString folder = test::FreshTestFolder(L"exe-" + std::to_wstring(::GetCurrentProcessId()));
    Win32ProcessEnvironment holder;
    ASSERT_EQ(holder.CreateNamedMutex(L"ZQMERLESETUP{d76aa900-b3ad-4ccb-b1d3-a70f90295520}"), MutexOutcome::Created);
    test::ScopedEnvironmentVariable temp(L"TEMP", folder);
    const std::string exeFolder = Utf16ToUtf8(test::kExePath.substr(0, test::kExePath.rfind(L'\\')));
    const struct {
        const wchar_t* arguments;
        const char* commandLine;  // as the banner shows it
        const wchar_t* log;
    } runs[] = {{L" -log 511", "-log 511", L"zqmerlesetup000.log"}, {L"", "", L"zqmerlesetup001.log"}};
    for (const auto& run : runs) {
        SCOPED_TRACE(Utf16ToUtf8(run.log));
        EXPECT_EQ(test::StartedProgram(test::Quoted(test::kExePath) + run.arguments).WaitForExit(), 0u);
        const std::vector<std::string> messages = test::LogMessagesOf(test::ReadFileBytes(folder + L"\\" + run.log));
        ASSERT_GE(messages.size(), 5u);
        EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + 4),
                  (std::vector<std::string>{"+++       Starting : zqmerlesetup.exe", "+++        Version : 1.0.0.1",
                                            "+++    Working Dir : " + exeFolder,
                                            std::string("+++   Command Line : ") + run.commandLine}));
        EXPECT_EQ(messages.back(), "## Mutex exist: An instance of the same Application is running.");
    }
}

}  // namespace
}  // namespace zq::win32
