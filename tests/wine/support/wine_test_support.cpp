#include "tests/wine/support/wine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace zq::test {

bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs) {
    for (DWORD waited = 0; !condition(); waited += 20) {
        if (waited >= limitMs) return false;
        ::Sleep(20);
    }
    return true;
}

WString FreshTestFolder(const WString& name) {
    const WString folder = L"C:\\zqtest\\" + name;
    std::error_code ignored;  // what cannot be removed makes the creation fail
    std::filesystem::remove_all(folder, ignored);
    ::CreateDirectoryW(L"C:\\zqtest", nullptr);
    EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << "cannot create " << Utf16ToUtf8(folder);
    return folder;
}

bool Exists(const WString& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const WString& path) {
    win32::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes(file ? ::GetFileSize(file.Get(), nullptr) : 0, '\0');
    DWORD read = 0;
    EXPECT_TRUE(file && (bytes.empty() ||
                         ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)))
        << "cannot read " << Utf16ToUtf8(path) << ", error " << ::GetLastError();
    bytes.resize(read);
    return bytes;
}

void WriteFileBytes(const WString& path, const std::string& bytes) {
    win32::ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    EXPECT_TRUE(file && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                written == bytes.size())
        << "cannot write " << Utf16ToUtf8(path);
}

std::vector<std::string> LogMessagesOf(const std::string& text) {
    // "[MM/DD/YYYY HH:MM:SS]", then the message; a line without the stamp
    // continues the message before it.
    static const std::regex stamp(R"(\[[01][0-9]/[0-3][0-9]/[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\])");
    EXPECT_TRUE(text.empty() || text.compare(text.size() - 2, 2, "\r\n") == 0) << "the log ends with CR LF";
    std::vector<std::string> messages;
    for (std::size_t start = 0, end = 0; start < text.size(); start = end + 2) {
        end = std::min(text.find("\r\n", start), text.size());
        const std::string line = text.substr(start, end - start);
        if (line.size() >= 21 && std::regex_match(line.substr(0, 21), stamp)) messages.push_back(line.substr(21));
        else if (!messages.empty()) messages.back() += "\r\n" + line;
        else ADD_FAILURE() << "the log does not start with a time stamp: " << line;
    }
    return messages;
}

bool IsSixtyFourBitWindows() {
    SYSTEM_INFO native{};
    ::GetNativeSystemInfo(&native);
    return native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

void WriteLocalMachineString(const WString& subKey, const WString& name, const WString& value, REGSAM view) {
    HKEY key = nullptr;
    ASSERT_EQ(
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr),
        ERROR_SUCCESS)
        << Utf16ToUtf8(subKey);
    win32::ScopedRegistryKey owner(key);
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes),
              ERROR_SUCCESS)
        << Utf16ToUtf8(subKey) << "\\" << Utf16ToUtf8(name);
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const WString& name, const WString& value) : name_(name) {
    if (const wchar_t* old = ::_wgetenv(name.c_str())) oldValue_ = old;
    ::_wputenv((name + L"=" + value).c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() { ::_wputenv((name_ + L"=" + oldValue_).c_str()); }

StartedProgram::StartedProgram(const WString& commandLine, const WString& currentFolder) {
    WString line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Utf16ToUtf8(commandLine) << ", error " << ::GetLastError();
        return;
    }
    win32::ScopedHandle thread(info.hThread);
    process_.Reset(info.hProcess);
    pid_ = info.dwProcessId;
}

StartedProgram::~StartedProgram() {
    if (process_ && ::TerminateProcess(process_.Get(), 1)) ::WaitForSingleObject(process_.Get(), kPatienceMs);
}

DWORD StartedProgram::WaitForExit(DWORD limitMs) const {
    DWORD status = ~0u;
    if (process_ && ::WaitForSingleObject(process_.Get(), limitMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process_.Get(), &status);
    return status;
}

std::vector<DWORD> RunningProcessIds(const WString& exeName) {
    std::vector<DWORD> pids;
    for (const ProcessEntry& entry : win32::Win32Processes().Snapshot().value_or(std::vector<ProcessEntry>{}))
        if (EqualsIgnoringAsciiCase(entry.exeName, exeName)) pids.push_back(entry.pid);
    return pids;
}

// --- The plug-in's surroundings ---------------------------------------------

InstalledDevService::InstalledDevService(DWORD stopDelayMs) {
    manager_.Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    WString binary = Quoted(kDevServiceProgram);
    if (stopDelayMs > 0) binary += L" " + std::to_wstring(stopDelayMs);
    // A deleted service stays marked until its last handle is closed.
    WaitUntil([&] {
        service_.Reset(::CreateServiceW(manager_.Get(), L"zqdevsvc", L"zqdevsvc", SERVICE_ALL_ACCESS,
                                        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                        binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        return service_ || ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE;
    });
    if (!service_) ADD_FAILURE() << "CreateServiceW(zqdevsvc) failed, error " << ::GetLastError();
}

InstalledDevService::~InstalledDevService() {
    if (!service_) return;
    if (CurrentState() != SERVICE_STOPPED) {
        SERVICE_STATUS status{};
        ::ControlService(service_.Get(), SERVICE_CONTROL_STOP, &status);
        EXPECT_EQ(WaitForState(SERVICE_STOPPED), static_cast<DWORD>(SERVICE_STOPPED)) << "zqdevsvc stops at the end";
    }
    const bool deleted = ::DeleteService(service_.Get()) || ::GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
    EXPECT_TRUE(deleted) << "DeleteService(zqdevsvc), error " << ::GetLastError();
}

bool InstalledDevService::StartAndWaitUntilRunning() {
    EXPECT_TRUE(::StartServiceW(service_.Get(), 0, nullptr)) << "StartServiceW, error " << ::GetLastError();
    return WaitForState(SERVICE_RUNNING) == SERVICE_RUNNING;
}

DWORD InstalledDevService::WaitForState(DWORD wanted) {
    WaitUntil([&] { return CurrentState() == wanted; }, 30000);
    return CurrentState();
}

SERVICE_STATUS_PROCESS InstalledDevService::Status() {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    EXPECT_TRUE(::QueryServiceStatusEx(service_.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                       sizeof status, &needed))
        << "error " << ::GetLastError();
    return status;
}

namespace {

Platform WithProcesses(Platform platform, IProcesses* processes) {
    if (processes == nullptr) return platform;
    return Platform{platform.environment, platform.version, platform.files,    platform.profile, *processes,
                    platform.registry,    platform.spooler, platform.services, platform.threads, platform.ui};
}

}  // namespace

LauncherUnderTest::LauncherUnderTest(const WString& folderName, IProcesses* processes)
    : folder_(FreshTestFolder(folderName)), temp_(L"TEMP", folder_),
      platform_(WithProcesses(machine_.Get(), processes)), process_(platform_) {
    process_.g_logFile.SetLevel(LOG_LOW);
}

std::vector<std::string> LauncherUnderTest::LogMessages() {
    const WString path = process_.g_logFile.Path();
    EXPECT_EQ(path, folder_ + L"\\zqmerlesetup000.log");
    return Exists(path) ? LogMessagesOf(ReadFileBytes(path)) : std::vector<std::string>{};
}

// --- Packages for the real exe ------------------------------------------------

PackageRun::PackageRun(const WString& name, const PackageSettings& settings, const WString& installedKeyword)
    : folder_(FreshTestFolder(name)), settings_(folder_ + L"\\autorun.inf"), temp_(L"TEMP", folder_) {
    if (!installedKeyword.empty()) {
        wchar_t windows[MAX_PATH] = {};
        ::GetWindowsDirectoryW(windows, MAX_PATH);
        ::CreateDirectoryW((WString(windows) + L"\\inf").c_str(), nullptr);
        inf_ = WString(windows) + L"\\inf\\oem99.inf";
        const WString inf =
            L"\xFEFF[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n\r\n"
            L"[Strings]\r\nDriverName=\"" +
            installedKeyword + L"\"\r\n";
        WriteFileBytes(inf_, StringToUtf16LeBytes(inf));
    }
    WString text = L"[Version]\r\nLog=511\r\n\r\n[OS_Support]\r\nos_list=" + settings.osList +
                   L"\r\nServicePack_MajorVersion=0\r\nServicePack_MinorVersion=0\r\n\r\n[CPE.MagicKeywords]\r\n1=" +
                   settings.keyword + L"\r\n";
    const auto& programs64 = settings.programs64.empty() ? settings.programs : settings.programs64;
    for (const auto& [section, programs] :
         {std::pair{L"Run", &settings.programs}, std::pair{L"Run.x64", &programs64}}) {
        text += L"\r\n[" + WString(section) + L"]\r\n";
        for (std::size_t i = 0; i < programs->size(); ++i)
            text += std::to_wstring(i + 1) + L"=" + (*programs)[i] + L"\r\n";
    }
    text += L"\r\n[LangMap]\r\n0x0409=English\r\n\r\n[English]\r\n";
    for (int number = 1; number <= 8; ++number)
        text += std::to_wstring(number) + L"=Text " + std::to_wstring(number) + L"\r\n";
    WriteFileBytes(settings_, Utf16ToUtf8(text));
}

PackageRun::~PackageRun() {
    if (!inf_.empty()) ::DeleteFileW(inf_.c_str());
}

std::string PackageRun::Log() const {
    WString newest;
    WIN32_FIND_DATAW entry{};
    win32::ScopedFindHandle listing(::FindFirstFileW((folder_ + L"\\zqmerlesetup*.log").c_str(), &entry));
    for (bool more = listing.IsValid(); more; more = ::FindNextFileW(listing.Get(), &entry))
        if (newest.empty() || _wcsicmp(entry.cFileName, newest.c_str()) > 0) newest = entry.cFileName;
    return newest.empty() ? std::string() : ReadFileBytes(folder_ + L"\\" + newest);
}

}  // namespace zq::test
