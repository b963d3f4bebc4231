#include "platform/win32/win32_platform.h"

namespace zq::win32 {

namespace {

// The record's size is part of the request; it is the same in both builds.
static_assert(sizeof(OSVERSIONINFOEXW) == 284);

constexpr DWORD kVersionTypeMask = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR;
static_assert(kVersionTypeMask == 0x33);

}  // namespace

bool Win32SystemVersion::VerifyVersion(const VersionRequest& request) {
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwMajorVersion = request.major;
    wanted.dwMinorVersion = request.minor;
    wanted.wServicePackMajor = request.servicePackMajor;
    wanted.wServicePackMinor = request.servicePackMinor;

    // The service-pack conditions make the system compare the pair major
    // first: SP 3.0 passes a 2.1 minimum, SP 2.0 does not.
    ULONGLONG conditions = 0;
    conditions = ::VerSetConditionMask(conditions, VER_MAJORVERSION, VER_EQUAL);
    conditions = ::VerSetConditionMask(conditions, VER_MINORVERSION, VER_EQUAL);
    conditions = ::VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    conditions = ::VerSetConditionMask(conditions, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&wanted, kVersionTypeMask, conditions) != FALSE;
}

#ifdef _WIN64

// A 64-bit process runs only on 64-bit Windows. IsWow64Process would answer
// FALSE here (the process is native, not under WOW64), yet the question the
// launcher asks with it is whether the system is 64-bit.
IsWow64ProcessFn Win32SystemVersion::LookupIsWow64Process() {
    return []() -> std::optional<bool> { return true; };
}

#else

// IsWow64Process came with XP SP2; the original XP lacks it, so it is looked
// up rather than imported.
IsWow64ProcessFn Win32SystemVersion::LookupIsWow64Process() {
    using IsWow64ProcessPtr = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = ProcAddress<IsWow64ProcessPtr>(::GetModuleHandleW(L"kernel32"), "IsWow64Process");
    if (isWow64Process == nullptr) return {};
    return [isWow64Process]() -> std::optional<bool> {
        BOOL wow64 = FALSE;
        if (!isWow64Process(::GetCurrentProcess(), &wow64)) return std::nullopt;
        return wow64 != FALSE;
    };
}

#endif

unsigned Win32SystemVersion::MajorVersion() { return LOBYTE(LOWORD(::GetVersion())); }

}  // namespace zq::win32
