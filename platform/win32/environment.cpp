#include "platform/win32/win32_platform.h"

#include <commctrl.h>

#include <cstdlib>

namespace zq::win32 {

namespace {

// The longest path the launcher asks for with a fixed buffer (MAX_PATH).
constexpr DWORD kPathChars = 260;

bool IsBlankOrTab(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

WString ArgumentTextOf(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        // A quoted program name may hold blanks; it ends at the next quote
        // (or with the line, when the quote is never closed).
        ++p;
        while (*p != L'\0' && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p != L'\0' && !IsBlankOrTab(*p)) ++p;
    }
    while (IsBlankOrTab(*p)) ++p;
    return WString(p);
}

WString Win32ProcessEnvironment::ModulePath() {
    wchar_t buffer[kPathChars];
    // A path that fills the buffer comes back cut and, on XP, without its
    // NUL: the returned length is what counts.
    DWORD length = ::GetModuleFileNameW(nullptr, buffer, kPathChars);
    return WString(buffer, length);
}

WString Win32ProcessEnvironment::ArgumentText() { return ArgumentTextOf(::GetCommandLineW()); }

std::optional<WString> Win32ProcessEnvironment::CurrentDirectory() {
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);  // includes the NUL
    if (needed == 0) return std::nullopt;
    std::vector<wchar_t> buffer(needed);
    DWORD length = ::GetCurrentDirectoryW(needed, buffer.data());
    if (length == 0 || length >= needed) return std::nullopt;
    return WString(buffer.data(), length);
}

WString Win32ProcessEnvironment::WindowsDirectory() {
    wchar_t buffer[kPathChars];
    UINT length = ::GetWindowsDirectoryW(buffer, kPathChars);
    return length < kPathChars ? WString(buffer, length) : WString();
}

WString Win32ProcessEnvironment::SystemDirectory() {
    wchar_t buffer[kPathChars];
    UINT length = ::GetSystemDirectoryW(buffer, kPathChars);
    return length < kPathChars ? WString(buffer, length) : WString();
}

std::optional<WString> Win32ProcessEnvironment::EnvironmentVariable(const WString& name) {
    // The C runtime's copy of the environment, taken at start-up: the same
    // answer the launcher has always read its TEMP folder from.
    const wchar_t* value = ::_wgetenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return WString(value);
}

LocalTime Win32ProcessEnvironment::Now() {
    SYSTEMTIME time{};
    ::GetLocalTime(&time);
    return LocalTime{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

std::uint16_t Win32ProcessEnvironment::UserDefaultLangID() { return ::GetUserDefaultLangID(); }

void Win32ProcessEnvironment::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

MutexOutcome Win32ProcessEnvironment::CreateNamedMutex(const WString& name) {
    ScopedHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex) return MutexOutcome::NoHandle;
    // Read before anything else can touch the last error.
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    namedMutexes_.push_back(std::move(mutex));
    return existed ? MutexOutcome::AlreadyExisted : MutexOutcome::Created;
}

void Win32ProcessEnvironment::InitCommonControls() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&classes);
}

WString Win32ProcessEnvironment::SystemMessage(ErrorCode code) {
    wchar_t* text = nullptr;
    // With ALLOCATE_BUFFER the "buffer" argument receives a pointer to a
    // LocalAlloc'ed text.
    DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    ScopedLocalMemory owner(text);
    if (length == 0 || text == nullptr) return WString();
    return WString(text, length);
}

ErrorCode Win32ProcessEnvironment::LastError() { return ::GetLastError(); }

}  // namespace zq::win32
