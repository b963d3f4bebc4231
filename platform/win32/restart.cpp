// Restarting the computer: the finish screen's request when the user
// leaves its box clear.
//
// This is the only code of the program that can end the session, and it
// is kept apart on purpose. Nothing built for Linux contains it (the
// simulated machine journals the request instead), and no test calls it
// outside a throwaway Wine prefix, where it ends that prefix's session and
// nothing else.
#include "platform/win32/win32_platform.h"

namespace zq::win32 {

namespace {

// A process may ask for a restart only with SeShutdownPrivilege enabled in
// its token; administrators hold it, disabled. No step's answer is looked
// at: a refusal shows later as a computer that keeps running.
void EnableShutdownPrivilege() {
    HANDLE opened = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened);
    ScopedHandle token(opened);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

}  // namespace

void Win32UserInterface::RequestRestart(unsigned flags, unsigned reason) {
    EnableShutdownPrivilege();
    ::ExitWindowsEx(flags, reason);
}

}  // namespace zq::win32
