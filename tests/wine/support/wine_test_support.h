// The support of every Wine suite: files, programs, registry views, the
// plug-in's surroundings and packages for the real exe. Waits poll the
// real state, capped only so that a broken run does not hang.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
#include "run/application.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace zq::test {

inline constexpr DWORD kPatienceMs = 60 * 1000;

inline const WString kExePath = ZQ_EXE_WINDOWS;                 // this build's zqmerlesetup.exe
inline const WString kTestChildPath = ZQ_TEST_CHILD_WINDOWS;    // the stand-in as zq_test_child.exe
inline const WString kStagePath = ZQ_STAGE_WINDOWS;             // the stand-in as zqstage.exe
inline const WString kTrayProgram = ZQ_NOTIFY_WINDOWS;          // the stand-in as zqnotify.exe
inline const WString kDevServiceProgram = ZQ_DEVSVC_WINDOWS;    // svc_zqdevsvc.exe
inline const WString kPlantedDllPath = ZQ_PLANTED_DLL_WINDOWS;  // zqplanted.dll
inline const WString kSourceDir = ZQ_SOURCE_DIR_WINDOWS;        // the project's sources
inline const WString kTrayExeName = L"zqnotify.exe";

// True once the condition holds, polled every 20 ms up to the limit.
bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs = kPatienceMs);

WString FreshTestFolder(const WString& name);  // C:\zqtest\<name>, created empty
bool Exists(const WString& path);
// The file's bytes; fails the current test when it cannot be read.
std::string ReadFileBytes(const WString& path);
void WriteFileBytes(const WString& path, const std::string& bytes);
// A log file's messages without their time stamps; one whose text holds
// line ends comes back whole, with the file's CR LF.
std::vector<std::string> LogMessagesOf(const std::string& logText);

inline WString Quoted(const WString& path) { return L"\"" + path + L"\""; }

// Whether Windows is 64-bit, whatever this program's word size; the view of
// HKLM\SOFTWARE that is not this program's (the same on 32-bit Windows).
bool IsSixtyFourBitWindows();
inline REGSAM OtherRegistryView() { return sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }
// A REG_SZ value below HKLM in the given view (0: this program's), its key
// made when missing.
void WriteLocalMachineString(const WString& subKey, const WString& name, const WString& value, REGSAM view);

// A variable of this process for the life of the object, in the C runtime's
// copy (where the launcher reads TEMP) and the process environment alike.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const WString& name, const WString& value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    WString name_, oldValue_;
};

// A program started by the test, ended when the object goes.
class StartedProgram {
public:
    explicit StartedProgram(const WString& commandLine, const WString& currentFolder = {});
    ~StartedProgram();

    bool IsStarted() const { return process_.IsValid(); }
    DWORD Pid() const { return pid_; }
    // The exit status once it has ended within the limit; ~0u otherwise.
    DWORD WaitForExit(DWORD limitMs = kPatienceMs) const;

private:
    win32::ScopedHandle process_;
    DWORD pid_ = 0;
};

// The ids of the processes of that name (any case), in snapshot order.
std::vector<DWORD> RunningProcessIds(const WString& exeName);

// --- The plug-in's surroundings ---------------------------------------------

// The service "zqdevsvc", installed stopped, deleted at the end; with a
// stop delay it stays stop-pending that long after a stop request.
class InstalledDevService {
public:
    explicit InstalledDevService(DWORD stopDelayMs = 0);
    ~InstalledDevService();

    bool IsInstalled() const { return service_.IsValid(); }
    bool StartAndWaitUntilRunning();
    DWORD WaitForState(DWORD wanted);  // the last state seen
    DWORD CurrentState() { return Status().dwCurrentState; }
    DWORD ProcessId() { return Status().dwProcessId; }  // 0 when stopped

private:
    SERVICE_STATUS_PROCESS Status();
    win32::ScopedServiceHandle manager_, service_;
};

// A LauncherProcess on the real machine, logging everything to
// zqmerlesetup000.log in C:\zqtest\<name>, its TEMP.
class LauncherUnderTest {
public:
    // `processes`, when given, stands in for the machine's process list.
    explicit LauncherUnderTest(const WString& folderName, IProcesses* processes = nullptr);
    LauncherProcess& process() { return process_; }
    std::vector<std::string> LogMessages();  // empty when nothing was logged

private:
    WString folder_;
    ScopedEnvironmentVariable temp_;
    win32::Win32Platform machine_;
    Platform platform_;
    LauncherProcess process_;
};

// --- Packages for the real exe ------------------------------------------------

struct PackageSettings {
    WString osList;
    WString keyword;                       // CPE.MagicKeywords 1
    std::vector<WString> programs;         // Run (and Run.x64 when programs64 is empty)
    std::vector<WString> programs64 = {};  // Run.x64, when it differs
};

// A package in C:\zqtest\<name> (autorun.inf, log level 511, US English
// texts "Text N"), that folder as TEMP, and the driver installed when a
// keyword is given (a UTF-16LE <Windows>\inf\oem99.inf naming it, removed
// at the end); launcher runs.
class PackageRun {
public:
    PackageRun(const WString& name, const PackageSettings& settings, const WString& installedKeyword);
    ~PackageRun();
    PackageRun(const PackageRun&) = delete;
    PackageRun& operator=(const PackageRun&) = delete;
    const WString& folder() const { return folder_; }
    StartedProgram Start(const WString& switches = {}) const {
        return StartedProgram(Quoted(kExePath) + L" -f " + settings_ + switches, folder_);
    }
    std::string Log() const;  // the newest zqmerlesetupNNN.log

private:
    WString folder_, settings_, inf_;
    ScopedEnvironmentVariable temp_;
};

// Package programs: the stand-in ending with `status`; one waiting for the
// named event (lower case), then creating `doneFile`.
inline WString ChildExits(int status) { return Quoted(kTestChildPath) + L" exit " + std::to_wstring(status); }
inline WString WaitingProgram(const WString& program, const WString& event, const WString& doneFile = {}) {
    return Quoted(program) + L" wait " + event + (doneFile.empty() ? L"" : L" " + doneFile);
}

}  // namespace zq::test
