#include "tests/wine/plugin_test_support.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cwctype>
#include <regex>

namespace zq::test {

namespace {

// Only keeps a broken run from hanging: 30 seconds of 20 ms polls.
constexpr int kPolls = 1500;
constexpr DWORD kPollMilliseconds = 20;
constexpr DWORD kWaitCapMilliseconds = 30000;

constexpr DWORD kErrorServiceMarkedForDelete = 1072;

bool SameName(const WString& a, const WString& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

}  // namespace

// --- The device service ------------------------------------------------------

InstalledDevService::InstalledDevService(DWORD stopDelayMs) {
    manager_.Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager_) {
        ADD_FAILURE() << "OpenSCManagerW failed, error " << ::GetLastError();
        return;
    }
    service_.Reset(::OpenServiceW(manager_.Get(), kDevServiceName.c_str(), SERVICE_ALL_ACCESS));
    if (service_) StopAndDelete();  // left by an earlier run that did not finish

    WString binary = L"\"" + kDevServiceProgram + L"\"";
    if (stopDelayMs > 0) binary += L" " + std::to_wstring(stopDelayMs);
    for (int poll = 0; poll < kPolls; ++poll) {
        service_.Reset(::CreateServiceW(manager_.Get(), kDevServiceName.c_str(), kDevServiceName.c_str(),
                                        SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                        SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr, nullptr, nullptr,
                                        nullptr));
        // A deleted service stays marked until its last handle is closed.
        if (service_ || ::GetLastError() != kErrorServiceMarkedForDelete) break;
        ::Sleep(kPollMilliseconds);
    }
    if (!service_) ADD_FAILURE() << "CreateServiceW(zqdevsvc) failed, error " << ::GetLastError();
}

InstalledDevService::~InstalledDevService() {
    if (service_) StopAndDelete();
}

void InstalledDevService::StopAndDelete() {
    if (CurrentState() != SERVICE_STOPPED) {
        SERVICE_STATUS status{};
        ::ControlService(service_.Get(), SERVICE_CONTROL_STOP, &status);
        EXPECT_EQ(WaitForState(SERVICE_STOPPED), static_cast<DWORD>(SERVICE_STOPPED)) << "zqdevsvc stops at the end";
    }
    // Already marked for deletion (an earlier test's service whose last
    // handle is still closing): it goes once that handle is closed.
    const bool deleted = ::DeleteService(service_.Get()) || ::GetLastError() == kErrorServiceMarkedForDelete;
    EXPECT_TRUE(deleted) << "DeleteService(zqdevsvc), error " << ::GetLastError();
    service_.Reset();
}

bool InstalledDevService::StartAndWaitUntilRunning() {
    if (!::StartServiceW(service_.Get(), 0, nullptr)) {
        ADD_FAILURE() << "StartServiceW(zqdevsvc) failed, error " << ::GetLastError();
        return false;
    }
    return WaitForState(SERVICE_RUNNING) == SERVICE_RUNNING;
}

DWORD InstalledDevService::WaitForState(DWORD wanted) {
    DWORD state = CurrentState();
    for (int poll = 0; state != wanted && poll < kPolls; ++poll) {
        ::Sleep(kPollMilliseconds);
        state = CurrentState();
    }
    return state;
}

DWORD InstalledDevService::CurrentState() {
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(service_.Get(), &status)) {
        ADD_FAILURE() << "QueryServiceStatus(zqdevsvc) failed, error " << ::GetLastError();
        return 0;
    }
    return status.dwCurrentState;
}

DWORD InstalledDevService::ProcessId() {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service_.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                &needed)) {
        ADD_FAILURE() << "QueryServiceStatusEx(zqdevsvc) failed, error " << ::GetLastError();
        return 0;
    }
    return status.dwProcessId;
}

// --- Programs ------------------------------------------------------------------

StartedProgram::StartedProgram(const WString& program, const WString& arguments) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Narrow(program) << ", error " << ::GetLastError();
        return;
    }
    ::CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    pid_ = info.dwProcessId;
}

StartedProgram::~StartedProgram() {
    if (process_ && IsRunning()) {
        ::TerminateProcess(process_.Get(), 0);
        ::WaitForSingleObject(process_.Get(), kWaitCapMilliseconds);
    }
}

bool StartedProgram::WaitForEnd() {
    return ::WaitForSingleObject(process_.Get(), kWaitCapMilliseconds) == WAIT_OBJECT_0;
}

bool StartedProgram::IsRunning() { return ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

DWORD StartedProgram::ExitCode() {
    DWORD code = ~0u;
    ::GetExitCodeProcess(process_.Get(), &code);
    return code;
}

std::vector<DWORD> RunningProcessIds(const WString& exeName) {
    std::vector<DWORD> pids;
    win32::ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        ADD_FAILURE() << "CreateToolhelp32Snapshot failed, error " << ::GetLastError();
        return pids;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
        if (SameName(entry.szExeFile, exeName)) pids.push_back(entry.th32ProcessID);
    return pids;
}

void EndProcessById(DWORD pid) {
    win32::ScopedHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) return;  // already gone
    ::TerminateProcess(process.Get(), 0);
    ::WaitForSingleObject(process.Get(), kWaitCapMilliseconds);
}

// --- The imaging software and the package ----------------------------------------

namespace {
const wchar_t kVendorKey[] = L"SOFTWARE\\Zelt";
const wchar_t kImagingSoftwareKey[] = L"SOFTWARE\\Zelt\\Pictavo";
}  // namespace

InstalledImagingSoftware::InstalledImagingSoftware(const WString& name) {
    const WString folder = FreshTestFolder(name);
    installFolder_ = folder + L"\\";
    EXPECT_TRUE(::CreateDirectoryW((installFolder_ + L"Pictavo").c_str(), nullptr));
    EXPECT_TRUE(::CreateDirectoryW((installFolder_ + L"Pictavo\\Bin").c_str(), nullptr));
    EXPECT_TRUE(::CopyFileW(kTrayProgram.c_str(), TrayPath().c_str(), FALSE))
        << "copy to " << Narrow(TrayPath()) << ", error " << ::GetLastError();

    // A 32-bit imaging software registers in the 32-bit view (Wow6432Node on
    // 64-bit Windows), where the launcher's default-view open finds it. On
    // 64-bit Windows the other view names a folder without the software, so
    // an open in the wrong view shows.
    WriteLocalMachineString(kImagingSoftwareKey, L"InstallFolder", installFolder_, OwnRegistryView());
    if (IsSixtyFourBitWindows()) {
        WriteLocalMachineString(kImagingSoftwareKey, L"InstallFolder", L"C:\\zqtest\\not-this-view\\",
                                OtherRegistryView());
    }
}

InstalledImagingSoftware::~InstalledImagingSoftware() {
    DeleteLocalMachineKeyInBothViews(kImagingSoftwareKey);
    DeleteLocalMachineKeyInBothViews(kVendorKey);  // only when empty
}

WString WriteSettingsFile(const WString& name, const std::vector<WString>& updateDrivers) {
    const WString path = FreshTestFolder(name) + L"\\autorun.inf";
    std::string text = "[Version]\r\nLog=511\r\n\r\n[UpdateDrivers]\r\n";
    int key = 1;
    for (const WString& driver : updateDrivers) text += std::to_string(key++) + "=" + Narrow(driver) + "\r\n";
    WriteFileBytes(path, text);
    return path;
}

// --- Texts ---------------------------------------------------------------------

WString SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    win32::ScopedLocalMemory owner(buffer);
    return length == 0 ? WString() : WString(buffer, length);
}

std::string AsLogged(const WString& message) {
    std::string bytes;
    for (wchar_t c : message) {
        if (c == L'\n') bytes += "\r\n";
        else bytes.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    return bytes;
}

// --- The launcher and its log ----------------------------------------------------

LauncherUnderTest::ScopedTemp::ScopedTemp(const WString& folder) {
    if (const wchar_t* old = ::_wgetenv(L"TEMP")) oldValue_ = old;
    // _wputenv changes the C runtime's copy, which the log reads, and the
    // process environment alike.
    ::_wputenv((L"TEMP=" + folder).c_str());
}

LauncherUnderTest::ScopedTemp::~ScopedTemp() { ::_wputenv((L"TEMP=" + oldValue_).c_str()); }

namespace {

Platform WithProcesses(Platform platform, IProcesses* processes) {
    if (processes == nullptr) return platform;
    return Platform{platform.environment, platform.version, platform.files,    platform.profile, *processes,
                    platform.registry,    platform.spooler, platform.services, platform.threads, platform.ui};
}

}  // namespace

LauncherUnderTest::LauncherUnderTest(const WString& folderName, IProcesses* processes)
    : folder_(FreshTestFolder(folderName)), temp_(folder_), platform_(WithProcesses(machine_.Get(), processes)),
      process_(platform_) {
    process_.g_logFile.SetLevel(LOG_LOW);
}

LauncherUnderTest::~LauncherUnderTest() = default;

std::vector<std::string> LauncherUnderTest::LogMessages() {
    std::vector<std::string> messages;
    const WString path = process_.g_logFile.Path();
    EXPECT_EQ(path, folder_ + L"\\zqmerlesetup000.log");
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return messages;
    // "[MM/DD/YYYY HH:MM:SS]" and the message. The message may hold a lone
    // CR, which a regex "." would not match, so only the stamp is matched.
    static const std::regex stamp(R"(\[[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\])");
    constexpr std::size_t kStampChars = 21;
    const std::string text = ReadFileBytes(path);
    EXPECT_TRUE(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) << "the log ends with CR LF";
    for (const std::string& line : SplitCrLfLines(text)) {
        if (line.size() >= kStampChars && std::regex_match(line.substr(0, kStampChars), stamp)) {
            messages.push_back(line.substr(kStampChars));
        } else if (!messages.empty()) {
            messages.back() += "\r\n" + line;  // a line end inside the message
        } else {
            ADD_FAILURE() << "the log does not start with a time stamp: " << line;
        }
    }
    return messages;
}

}  // namespace zq::test
