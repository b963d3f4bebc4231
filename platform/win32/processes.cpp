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

// PROCESS_ALL_ACCESS as Windows XP defines it. Newer headers widen it to
// 0x1FFFFF, which XP refuses with ERROR_ACCESS_DENIED.
constexpr DWORD kProcessAllAccessXp = 0x1F0FFF;

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

bool Win32Processes::Terminate(std::uint32_t pid) {
    ScopedHandle process(::OpenProcess(kProcessAllAccessXp, TRUE, pid));
    return process && ::TerminateProcess(process.Get(), 0) != FALSE;
}

}  // namespace zq::win32
