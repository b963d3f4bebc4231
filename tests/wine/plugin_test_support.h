// Pieces shared by the plug-in tests in a Wine prefix: the device service
// "zqdevsvc" installed with this build's service program, zqnotify.exe
// processes, a launcher process whose log goes to a fresh folder, and that
// log read back as messages.
//
// Waits here poll the real state until it settles, with a generous cap that
// only keeps a broken run from hanging; no test asserts how long anything
// took.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "run/application.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::test {

inline const WString kDevServiceProgram = ZQ_DEVSVC_WINDOWS;  // svc_zqdevsvc.exe
inline const WString kTrayProgram = ZQ_NOTIFY_WINDOWS;        // the stand-in zqnotify.exe
inline const WString kDevServiceName = L"zqdevsvc";
inline const WString kTrayExeName = L"zqnotify.exe";

// The service "zqdevsvc", installed (stopped) by the constructor, after
// removing one that an earlier run may have left; stopped and deleted by the
// destructor. With a stop delay, the service reports stop-pending for that
// long after a stop request before it reports stopped.
class InstalledDevService {
public:
    explicit InstalledDevService(DWORD stopDelayMs = 0);
    ~InstalledDevService();
    InstalledDevService(const InstalledDevService&) = delete;
    InstalledDevService& operator=(const InstalledDevService&) = delete;

    bool IsInstalled() const { return service_.IsValid(); }
    // Starts it with StartServiceW and waits until it runs; false when the
    // start was refused or it did not get there.
    bool StartAndWaitUntilRunning();
    // Polls QueryServiceStatus until the state is `wanted` (or the cap) and
    // returns the last state seen.
    DWORD WaitForState(DWORD wanted);
    DWORD CurrentState();
    DWORD ProcessId();  // of the running service; 0 when stopped

private:
    void StopAndDelete();

    win32::ScopedServiceHandle manager_;
    win32::ScopedServiceHandle service_;
};

// A program started by the test (its path quoted, then the arguments); the
// destructor ends it by its own handle when it still runs.
class StartedProgram {
public:
    explicit StartedProgram(const WString& program, const WString& arguments = {});
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    bool IsStarted() const { return process_.IsValid(); }
    DWORD Pid() const { return pid_; }
    // Waits for the process to end (up to the cap); true once it has ended.
    bool WaitForEnd();
    bool IsRunning();  // not yet ended, at this moment
    DWORD ExitCode();

private:
    win32::ScopedHandle process_;
    DWORD pid_ = 0;
};

// The ids of the running processes of that executable name (compared
// without regard to case), in snapshot order.
std::vector<DWORD> RunningProcessIds(const WString& exeName);
// Ends a process that the code under test started, by its id.
void EndProcessById(DWORD pid);

// The system's text for an error code, as the launcher's "## " line carries
// it (FormatMessageW, line end included); asked of the system here, not of
// the platform layer under test.
WString SystemText(DWORD code);

// A message as it stands in the log file: single bytes, every line feed
// written as CR LF.
std::string AsLogged(const WString& message);

// The imaging software as the plug-in finds it: the folder
// C:\zqtest\<name>\ holding Pictavo\Bin\zqnotify.exe (this build's
// stand-in), named with its trailing backslash by the value InstallFolder of
// HKEY_LOCAL_MACHINE\SOFTWARE\Zelt\Pictavo. The destructor removes the key.
class InstalledImagingSoftware {
public:
    explicit InstalledImagingSoftware(const WString& name);
    ~InstalledImagingSoftware();
    InstalledImagingSoftware(const InstalledImagingSoftware&) = delete;
    InstalledImagingSoftware& operator=(const InstalledImagingSoftware&) = delete;

    const WString& InstallFolder() const { return installFolder_; }
    WString TrayPath() const { return installFolder_ + L"Pictavo\\Bin\\zqnotify.exe"; }

private:
    WString installFolder_;
};

// A settings file C:\zqtest\<name>\autorun.inf whose [UpdateDrivers] lists
// the given driver names under the keys 1, 2, ...; its full path.
WString WriteSettingsFile(const WString& name, const std::vector<WString>& updateDrivers);

// A LauncherProcess on the real (Wine) machine, logging everything (level
// 511) to zqmerlesetup000.log in a fresh folder C:\zqtest\<name>: TEMP is
// pointed there, in the C runtime's copy of the environment too, before the
// process objects are made.
class LauncherUnderTest {
public:
    // `processes`, when given, stands in for the machine's process list.
    explicit LauncherUnderTest(const WString& folderName, IProcesses* processes = nullptr);
    ~LauncherUnderTest();
    LauncherUnderTest(const LauncherUnderTest&) = delete;
    LauncherUnderTest& operator=(const LauncherUnderTest&) = delete;

    LauncherProcess& process() { return process_; }
    const WString& folder() const { return folder_; }
    // The log's messages, time stamps removed, in order. A message whose
    // text holds line ends spans several lines of the file; it comes back
    // whole, with those line ends as the file has them. Empty when nothing
    // was logged (the file is made by the first line).
    std::vector<std::string> LogMessages();

private:
    class ScopedTemp {
    public:
        explicit ScopedTemp(const WString& folder);
        ~ScopedTemp();
        ScopedTemp(const ScopedTemp&) = delete;
        ScopedTemp& operator=(const ScopedTemp&) = delete;

    private:
        WString oldValue_;
    };

    WString folder_;
    ScopedTemp temp_;
    win32::Win32Platform machine_;
    Platform platform_;
    LauncherProcess process_;
};

}  // namespace zq::test
