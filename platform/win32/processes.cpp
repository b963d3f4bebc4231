#include "platform/win32/win32_platform.h"

#include <tlhelp32.h>

#include <algorithm>

namespace zq::win32 {

namespace {

#ifndef _WIN64
// The records' sizes as the 32-bit product hands them to the system.
static_assert(sizeof(STARTUPINFOW) == 68);
static_assert(sizeof(PROCESSENTRY32W) == 556);
#endif

// CreateProcessW may write into the command line, so it gets a copy of its
// own, never shorter than MAX_PATH characters.
constexpr std::size_t kMinimumCommandLineChars = 260;

class Win32RunningProcess final : public IRunningProcess {
public:
    explicit Win32RunningProcess(const PROCESS_INFORMATION& info) : process_(info.hProcess), thread_(info.hThread) {}

    ErrorCode WaitForEnd() override {
        if (::WaitForSingleObject(process_.Get(), INFINITE) == WAIT_FAILED) return ::GetLastError();
        return 0;
    }

    ErrorCode ExitCode(std::uint32_t& code) override {
        DWORD exitCode = 0;
        if (!::GetExitCodeProcess(process_.Get(), &exitCode)) return ::GetLastError();
        code = exitCode;
        return 0;
    }

private:
    ScopedHandle process_;
    ScopedHandle thread_;
};

class Win32OpenedProcess final : public IOpenedProcess {
public:
    explicit Win32OpenedProcess(HANDLE process) : process_(process) {}

    bool Terminate() override { return ::TerminateProcess(process_.Get(), 0) != FALSE; }

private:
    ScopedHandle process_;
};

}  // namespace

ProcessStart Win32Processes::Start(const WString& commandLine, const WString& applicationPath) {
    std::vector<wchar_t> writableLine(std::max(kMinimumCommandLineChars, commandLine.size() + 1), L'\0');
    std::copy(commandLine.begin(), commandLine.end(), writableLine.begin());

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const wchar_t* application = applicationPath.empty() ? nullptr : applicationPath.c_str();
    if (!::CreateProcessW(application, writableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return ProcessStart{nullptr, ::GetLastError()};
    }
    return ProcessStart{std::make_unique<Win32RunningProcess>(info), 0};
}

std::optional<std::vector<ProcessEntry>> Win32Processes::Snapshot() {
    ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return std::nullopt;
    std::vector<ProcessEntry> processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        processes.push_back(ProcessEntry{entry.szExeFile, entry.th32ProcessID});
    }
    return processes;
}

std::unique_ptr<IOpenedProcess> Win32Processes::OpenForTerminate(std::uint32_t pid) {
    // The launcher runs elevated: it asks for nothing beyond the one right it
    // uses, and no program it starts later inherits the handle.
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (process == nullptr) return nullptr;
    return std::make_unique<Win32OpenedProcess>(process);
}

}  // namespace zq::win32
