// KillProcess on the real machine: zqnotify.exe processes, started by the
// test, terminated by name.
#include <gtest/gtest.h>

#include "plugin/process_control.h"
#include "tests/win64/plugin_test_support.h"

namespace zq::test {
namespace {

class PluginKillProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RunningProcessIds(kTrayExeName).empty()) << "no zqnotify.exe runs before the test";
    }
};

TEST_F(PluginKillProcess, EndsTheRunningProcessWhateverTheCase) {
    StartedProgram tray(kTrayProgram);
    ASSERT_TRUE(tray.IsStarted());
    LauncherUnderTest launcher(L"plugin-kill-one");

    EXPECT_EQ(KillProcess(launcher.process(), L"ZQNOTIFY.EXE"), 1);
    ASSERT_TRUE(tray.WaitForEnd()) << "zqnotify.exe has really ended";
    EXPECT_EQ(tray.ExitCode(), 0u);
    EXPECT_EQ(launcher.LogMessages(), std::vector<std::string>{"Process Killed Successfully : ZQNOTIFY.EXE"});
    EXPECT_TRUE(RunningProcessIds(kTrayExeName).empty());
}

TEST_F(PluginKillProcess, EndsOnlyTheFirstOfTwo) {
    StartedProgram one(kTrayProgram);
    StartedProgram two(kTrayProgram);
    ASSERT_TRUE(one.IsStarted());
    ASSERT_TRUE(two.IsStarted());
    const std::vector<DWORD> running = RunningProcessIds(kTrayExeName);
    ASSERT_EQ(running.size(), 2u);
    StartedProgram& first = running.front() == one.Pid() ? one : two;
    StartedProgram& second = running.front() == one.Pid() ? two : one;
    ASSERT_EQ(running.front(), first.Pid());
    LauncherUnderTest launcher(L"plugin-kill-two");

    EXPECT_EQ(KillProcess(launcher.process(), L"zqnotify.exe"), 1);
    ASSERT_TRUE(first.WaitForEnd()) << "the first in the snapshot has ended";
    EXPECT_TRUE(second.IsRunning()) << "the second is left running";
    EXPECT_EQ(RunningProcessIds(kTrayExeName), std::vector<DWORD>{second.Pid()});
    EXPECT_EQ(launcher.LogMessages(), std::vector<std::string>{"Process Killed Successfully : zqnotify.exe"});
}

TEST_F(PluginKillProcess, NoneRunningEndsNothingAndLogsNothing) {
    StartedProgram other(kTestChildPath, L"wait");  // a process of another name
    LauncherUnderTest launcher(L"plugin-kill-none");

    EXPECT_EQ(KillProcess(launcher.process(), L"zqnotify.exe"), 0);
    EXPECT_TRUE(launcher.LogMessages().empty());
    ASSERT_TRUE(other.IsStarted());
    EXPECT_TRUE(other.IsRunning()) << "a process of another name is left alone";
}

}  // namespace
}  // namespace zq::test
