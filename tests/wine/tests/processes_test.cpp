// IProcesses: start, wait, snapshot and terminate, with zq_test_child.exe.
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

using namespace test;

TEST(Win32Processes, StartsWaitsAndReportsAMissingProgram) {
    Win32Processes processes;
    const struct {
        WString commandLine, applicationPath;
        ErrorCode error;
    } rows[] = {
        {Quoted(kTestChildPath) + L" exit 5", L"", 0},
        {L"zq_no_such_program.exe exit 3", kTestChildPath, 0},  // the path decides
        {L"zq_no_such_program.exe -x", L"", kErrorFileNotFound},
        {L"\"C:\\zqtest\\no such folder\\x.exe\" -x", L"", kErrorFileNotFound},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.commandLine));
        ProcessStart start = processes.Start(row.commandLine, row.applicationPath);
        EXPECT_EQ(start.error, row.error);
        ASSERT_EQ(start.process != nullptr, row.error == 0);
        if (start.process) {
            EXPECT_EQ(start.process->WaitForEnd(), 0u) << "the wait's result, not the exit code";
        }
    }
}

// The plug-in ends the tray application by its id from a snapshot; a
// terminated process ends with status 0.
TEST(Win32Processes, SnapshotListsTheChildAndTerminateEndsItWithStatusZero) {
    Win32Processes processes;
    EXPECT_EQ(processes.OpenForTerminate(0xFFFFFFF0u), nullptr);
    ProcessStart start = processes.Start(Quoted(kTestChildPath) + L" wait");
    ASSERT_NE(start.process, nullptr) << "error " << start.error;
    std::uint32_t pid = 0;
    for (const ProcessEntry& entry : processes.Snapshot().value_or(std::vector<ProcessEntry>{})) {
        if (ToLowerAscii(entry.exeName) == L"zq_test_child.exe") pid = entry.pid;
    }
    ASSERT_NE(pid, 0u) << "the waiting child is in the snapshot";
    ScopedHandle observer(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    ASSERT_TRUE(observer);
    std::unique_ptr<IOpenedProcess> opened = processes.OpenForTerminate(pid);
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->Terminate());
    EXPECT_EQ(start.process->WaitForEnd(), 0u);
    DWORD exitCode = 99;
    ASSERT_TRUE(::GetExitCodeProcess(observer.Get(), &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// The plug-in starts printui through the system folder's rundll32, named by
// its full path. On 64-bit Windows a 32-bit program that names the system
// folder reaches SysWOW64; either way the rundll32 started is of this
// program's word size: only such a one can load this build's DLL.
TEST(Win32Processes, SystemFolderRundll32IsOfThisProgramsWordSize) {
    Win32Processes processes;
    const WString marker = FreshTestFolder(L"rundll32") + L"\\ran.txt";
    const WString rundll32 = Win32ProcessEnvironment().SystemDirectory() + L"\\rundll32.exe";
    ProcessStart start = processes.Start(L"rundll32 " + kPlantedDllPath + L",ZqRecord " + marker, rundll32);
    ASSERT_NE(start.process, nullptr) << "error " << start.error;
    ASSERT_EQ(start.process->WaitForEnd(), 0u);
    EXPECT_TRUE(Exists(marker)) << Utf16ToUtf8(rundll32) << " did not load this build's DLL";
}

}  // namespace
}  // namespace zq::win32
