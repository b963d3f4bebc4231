// The plug-in's KillProcess on the real machine: zqnotify.exe processes
// started by the test, ended by name with status 0 once a second look
// confirms the id.
#include <gtest/gtest.h>

#include "plugin/process_control.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::test {
namespace {

using Log = std::vector<std::string>;

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
TEST(PluginOnTheRealMachine, KillProcessEndsTheProcessOnlyWhileItsIdStillHasTheName) {
    ASSERT_TRUE(RunningProcessIds(kTrayExeName).empty()) << "no zqnotify.exe runs yet";
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

}  // namespace
}  // namespace zq::test
