// The real zqmerlesetup.exe, run in the prefix.
//
// Every run here holds the single-instance mutex first, so the program
// ends at its instance check, before anything could show a window: the log
// header and the mutex line are written by then. TEMP for the program is a
// fresh folder of the test's own, where its log appears.
#include <gtest/gtest.h>

#include <regex>

#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

using test::kExePath;

const WString kInstanceMutex = L"ZQMERLESETUP{d76aa900-b3ad-4ccb-b1d3-a70f90295520}";
const char kMutexLine[] = "## Mutex exist: An instance of the same Application is running.";

// "[MM/DD/YYYY HH:MM:SS]" and the message.
const std::regex kLogLine(
    R"(\[(0[1-9]|1[0-2])/(0[1-9]|[12][0-9]|3[01])/[0-9]{4} ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]\](.*))");

std::string MessageOf(const std::string& line) {
    std::smatch match;
    if (!std::regex_match(line, match, kLogLine)) {
        ADD_FAILURE() << "not a log line: " << line;
        return {};
    }
    return match[4].str();
}

class ExeRun : public ::testing::Test {
protected:
    // Runs the exe with the argument text, TEMP set to the fresh folder, the
    // instance mutex held by this test; its exit status.
    DWORD RunHoldingTheMutex(const WString& arguments) {
        EXPECT_NE(holder_.CreateNamedMutex(kInstanceMutex), MutexOutcome::NoHandle);
        test::ScopedEnvironmentVariable temp(L"TEMP", folder_);
        return test::RunAndWait(L"\"" + kExePath + L"\"" + arguments);
    }

    // The messages of the log file, each line checked for its time stamp and
    // CR LF end.
    std::vector<std::string> LogMessages(const wchar_t* name) {
        const std::string text = test::ReadFileBytes(folder_ + L"\\" + name);
        EXPECT_TRUE(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) << "ends with CR LF";
        std::vector<std::string> messages;
        for (const std::string& line : test::SplitCrLfLines(text)) messages.push_back(MessageOf(line));
        return messages;
    }

    WString folder_ = test::FreshTestFolder(L"exe-" + std::to_wstring(::GetCurrentProcessId()));
    Win32ProcessEnvironment holder_;
};

TEST_F(ExeRun, WritesItsBannerToTheTemporaryFolder) {
    EXPECT_EQ(RunHoldingTheMutex(L" -log 511"), 0u);
    const std::vector<std::string> messages = LogMessages(L"zqmerlesetup000.log");
    ASSERT_GE(messages.size(), 4u);
    const std::string exeFolder = test::Narrow(kExePath.substr(0, kExePath.rfind(L'\\')));
    EXPECT_EQ(messages[0], "+++       Starting : zqmerlesetup.exe");
    EXPECT_EQ(messages[1], "+++        Version : 1.0.0.1");
    EXPECT_EQ(messages[2], "+++    Working Dir : " + exeFolder);
    EXPECT_EQ(messages[3], "+++   Command Line : -log 511");
}

TEST_F(ExeRun, SecondInstanceLogsTheMutexAndEndsWithStatusZero) {
    EXPECT_EQ(RunHoldingTheMutex(L""), 0u);
    const std::vector<std::string> messages = LogMessages(L"zqmerlesetup000.log");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "+++       Starting : zqmerlesetup.exe");
    EXPECT_EQ(messages.back(), kMutexLine) << "the run ends at the instance check";
    EXPECT_EQ(messages[3], "+++   Command Line : ");
}

TEST_F(ExeRun, EachRunWritesALogOfItsOwn) {
    EXPECT_EQ(RunHoldingTheMutex(L" -log 1"), 0u);
    EXPECT_EQ(RunHoldingTheMutex(L" -log 127"), 0u);
    EXPECT_EQ(LogMessages(L"zqmerlesetup000.log")[3], "+++   Command Line : -log 1");
    EXPECT_EQ(LogMessages(L"zqmerlesetup001.log")[3], "+++   Command Line : -log 127");
}

}  // namespace
}  // namespace zq::win32
