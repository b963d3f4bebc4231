// IProcesses: start, wait, snapshot and terminate, with zq_test_child.exe.
#include <gtest/gtest.h>

#include <cwctype>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

using test::kTestChildPath;

WString Quoted(const WString& path) { return L"\"" + path + L"\""; }

bool SameNameIgnoringCase(WString a, WString b) {
    for (wchar_t& c : a) c = static_cast<wchar_t>(std::towlower(c));
    for (wchar_t& c : b) c = static_cast<wchar_t>(std::towlower(c));
    return a == b;
}

TEST(Win32Processes, StartsAndWaitsForTheEnd) {
    Win32Processes processes;
    ProcessStart start = processes.Start(Quoted(kTestChildPath) + L" exit 5");
    ASSERT_NE(start.process, nullptr) << "error " << start.error;
    EXPECT_EQ(start.error, 0u);
    EXPECT_EQ(start.process->WaitForEnd(), 0u) << "the wait's result, not the exit code";
}

TEST(Win32Processes, MissingProgramGivesFileNotFound) {
    Win32Processes processes;
    const ProcessStart bare = processes.Start(L"zq_no_such_program.exe -x");
    EXPECT_EQ(bare.process, nullptr);
    EXPECT_EQ(bare.error, kErrorFileNotFound);
    const ProcessStart full = processes.Start(L"\"C:\\zqtest\\no such folder\\x.exe\" -x");
    EXPECT_EQ(full.process, nullptr);
    EXPECT_EQ(full.error, kErrorFileNotFound);
}

TEST(Win32Processes, ApplicationPathIsTheProgram) {
    Win32Processes processes;
    // The command line names no program that exists; the path decides.
    ProcessStart start = processes.Start(L"zq_no_such_program.exe exit 3", kTestChildPath);
    ASSERT_NE(start.process, nullptr) << "error " << start.error;
    EXPECT_EQ(start.process->WaitForEnd(), 0u);
}

TEST(Win32Processes, LongCommandLinesAreWhole) {
    // The child writes its argument to a file: cmd's echo, the line far
    // beyond MAX_PATH.
    Win32Processes processes;
    const WString folder = test::FreshTestFolder(L"processes-long");
    const WString text(400, L'x');
    ProcessStart start = processes.Start(L"cmd.exe /c echo " + text + L">" + folder + L"\\out.txt");
    ASSERT_NE(start.process, nullptr) << "error " << start.error;
    ASSERT_EQ(start.process->WaitForEnd(), 0u);
    EXPECT_EQ(test::ReadFileBytes(folder + L"\\out.txt"), std::string(400, 'x') + "\r\n");
}

TEST(Win32Processes, SnapshotListsThisProcess) {
    Win32Processes processes;
    const std::optional<std::vector<ProcessEntry>> snapshot = processes.Snapshot();
    ASSERT_TRUE(snapshot.has_value());
    bool found = false;
    for (const ProcessEntry& entry : *snapshot) {
        if (entry.pid == ::GetCurrentProcessId()) {
            found = true;
            EXPECT_TRUE(SameNameIgnoringCase(entry.exeName, L"zq_win32_platform_tests.exe"))
                << test::Narrow(entry.exeName);
        }
    }
    EXPECT_TRUE(found);
}

TEST(Win32Processes, TerminateEndsTheProcessWithStatusZero) {
    Win32Processes processes;
    ProcessStart start = processes.Start(Quoted(kTestChildPath) + L" wait");
    ASSERT_NE(start.process, nullptr) << "error " << start.error;

    std::uint32_t pid = 0;
    for (const ProcessEntry& entry : processes.Snapshot().value_or(std::vector<ProcessEntry>{})) {
        if (SameNameIgnoringCase(entry.exeName, L"zq_test_child.exe")) pid = entry.pid;
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

TEST(Win32Processes, NoProcessCannotBeOpened) {
    Win32Processes processes;
    EXPECT_EQ(processes.OpenForTerminate(0xFFFFFFF0u), nullptr);
}

// The plug-in starts printui through the system folder's rundll32, named by
// its full path. On 64-bit Windows a 32-bit program that names the system
// folder reaches SysWOW64, whose rundll32 is 32-bit too; a 64-bit program
// reaches the 64-bit one. Either way the rundll32 started is of this
// program's word size: only such a rundll32 can load this build's DLL and
// run its entry.
TEST(Win32Processes, SystemFolderRundll32IsOfThisProgramsWordSize) {
    Win32ProcessEnvironment environment;
    Win32Processes processes;
    const WString marker = test::FreshTestFolder(L"rundll32") + L"\\ran.txt";
    const WString rundll32 = environment.SystemDirectory() + L"\\rundll32.exe";
    const WString commandLine = L"rundll32 " + WString(ZQ_PLANTED_DLL_WINDOWS) + L",ZqRecord " + marker;
    ProcessStart start = processes.Start(commandLine, rundll32);
    ASSERT_NE(start.process, nullptr) << "error " << start.error;
    ASSERT_EQ(start.process->WaitForEnd(), 0u);
    EXPECT_NE(::GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES)
        << test::Narrow(rundll32) << " did not load this build's DLL"
        << (test::IsSixtyFourBitWindows() ? " (64-bit Windows)" : " (32-bit Windows)");
}

}  // namespace
}  // namespace zq::win32
