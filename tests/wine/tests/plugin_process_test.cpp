// The plug-in on the real machine, in the default prefix (a Windows newer
// than major version 5): KillProcess ending zqnotify.exe processes started
// by the test, by name; and RunUpdateDriver refusing to work here.
#include <gtest/gtest.h>

#include "plugin/process_control.h"
#include "plugin/update_driver_plugin.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::test {
namespace {

using Log = std::vector<std::string>;

class PluginOnTheRealMachine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(RunningProcessIds(kTrayExeName).empty()) << "no zqnotify.exe runs yet"; }
};

// The machine's real process list, except that its first snapshot lists
// one process under another name: the name of a process that held its id
// before. This stands for an id that passed on between the snapshot and
// the open, which no test can bring about on demand; every call still goes
// to the real system.
class FirstSnapshotRenamed : public IProcesses {
public:
    FirstSnapshotRenamed(std::uint32_t pid, WString formerName) : pid_(pid), formerName_(std::move(formerName)) {}

    ProcessStart Start(const WString& commandLine, const WString& applicationPath) override {
        return real_.Start(commandLine, applicationPath);
    }
    std::optional<std::vector<ProcessEntry>> Snapshot() override {
        std::optional<std::vector<ProcessEntry>> snapshot = real_.Snapshot();
        if (snapshot && snapshots++ == 0)
            for (ProcessEntry& entry : *snapshot)
                if (entry.pid == pid_) entry.exeName = formerName_;
        return snapshot;
    }
    std::unique_ptr<IOpenedProcess> OpenForTerminate(std::uint32_t pid) override {
        opened.push_back(pid);
        return real_.OpenForTerminate(pid);
    }

    int snapshots = 0;
    std::vector<std::uint32_t> opened;

private:
    win32::Win32Processes real_;
    std::uint32_t pid_;
    WString formerName_;
};

// The process found under the name (in any case) is ended with status 0
// once a second look confirms that its id still has that name; a process
// whose id now holds another program is left alone.
TEST_F(PluginOnTheRealMachine, KillProcessEndsTheProcessOnlyWhileItsIdStillHasTheName) {
    const struct {
        const char* what;
        WString program;
        int found;
        Log log;
    } rows[] = {
        {"zqnotify.exe", kTrayProgram, 1, {"Process Killed Successfully : ZQNOTIFY.EXE"}},
        {"an id passed on", kTestChildPath, 1, {"## Process no longer running : ZQNOTIFY.EXE"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        StartedProgram program(Quoted(row.program));
        ASSERT_TRUE(program.IsStarted());
        FirstSnapshotRenamed processes(program.Pid(), L"ZQNotify.exe");
        LauncherUnderTest launcher(L"plugin-kill", &processes);

        EXPECT_EQ(KillProcess(launcher.process(), L"ZQNOTIFY.EXE"), row.found);
        EXPECT_EQ(processes.opened, std::vector<std::uint32_t>{program.Pid()});
        EXPECT_EQ(processes.snapshots, 2) << "it looked again before the terminate";
        EXPECT_EQ(launcher.LogMessages(), row.log);
        EXPECT_EQ(program.WaitForExit(row.program == kTrayProgram ? kPatienceMs : 0),
                  row.program == kTrayProgram ? 0u : ~0u);
    }
    EXPECT_TRUE(RunningProcessIds(kTrayExeName).empty());
}

TEST_F(PluginOnTheRealMachine, KillProcessEndsOnlyTheFirstOfTwoAndNothingWhenNoneRuns) {
    StartedProgram other(Quoted(kTestChildPath));  // a process of another name
    LauncherUnderTest none(L"plugin-kill-none");
    EXPECT_EQ(KillProcess(none.process(), L"zqnotify.exe"), 0);
    EXPECT_TRUE(none.LogMessages().empty());
    EXPECT_TRUE(other.IsRunning()) << "a process of another name is left alone";

    StartedProgram one(Quoted(kTrayProgram)), two(Quoted(kTrayProgram));
    const std::vector<DWORD> running = RunningProcessIds(kTrayExeName);
    ASSERT_EQ(running.size(), 2u);
    const StartedProgram& first = running.front() == one.Pid() ? one : two;
    const StartedProgram& second = running.front() == one.Pid() ? two : one;
    LauncherUnderTest launcher(L"plugin-kill-two");
    EXPECT_EQ(KillProcess(launcher.process(), L"zqnotify.exe"), 1);
    EXPECT_EQ(first.WaitForExit(), 0u) << "the first in the snapshot has ended";
    EXPECT_TRUE(second.IsRunning()) << "the second is left running";
    EXPECT_EQ(RunningProcessIds(kTrayExeName), std::vector<DWORD>{second.Pid()});
    EXPECT_EQ(launcher.LogMessages(), Log{"Process Killed Successfully : zqnotify.exe"});
}

// The service is installed but left stopped: had the plug-in gone on, it
// would have asked for it to start.
TEST_F(PluginOnTheRealMachine, UpdateDriverRefusesOnAnyMajorVersionButFive) {
    ASSERT_NE(LOBYTE(LOWORD(::GetVersion())), 5) << "the default prefix reports a Windows newer than 5.x";
    InstalledImagingSoftware software(L"plugin-not-xp-pictavo");
    InstalledDevService service;
    ASSERT_TRUE(service.IsInstalled());
    StartedProgram tray(Quoted(software.TrayPath()));
    ASSERT_TRUE(tray.IsStarted());
    LauncherUnderTest launcher(L"plugin-not-xp-log");
    CUpdateDriverPlugin context(WriteSettingsFile(L"plugin-not-xp-package", {L"ZQ Merle 5400 Series"}));

    EXPECT_EQ(RunUpdateDriver(launcher.process(), context, L"lanpatch.exe c:\\zqtest\\drivers\\zqmerle.inf"), 0);
    EXPECT_EQ(launcher.LogMessages(),
              (Log{">> Stating UpdateDriver Plug-in", "** OS is not XP. This is a fix for XP network install"}));
    EXPECT_EQ(RunningProcessIds(kTrayExeName), std::vector<DWORD>{tray.Pid()}) << "none ended, none started";
    EXPECT_EQ(service.CurrentState(), static_cast<DWORD>(SERVICE_STOPPED)) << "the service was not asked to start";
    EXPECT_TRUE(context.installFolder.empty()) << "the install folder was not read";
    EXPECT_EQ(context.driverCount, 0) << "nor the driver list";
}

}  // namespace
}  // namespace zq::test
