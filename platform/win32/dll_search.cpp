#include "platform/win32/dll_search.h"

#include <windows.h>

#include "platform/win32/scoped_handle.h"

namespace zq::win32 {

namespace {

// The value of LOAD_LIBRARY_SEARCH_SYSTEM32; the headers define it only for
// _WIN32_WINNT 0x0602 and later, and this program builds for XP.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

// kernel32 is mapped into every process before the exe's own code runs, so
// its handle needs no LoadLibrary (which would itself search for it).
HMODULE Kernel32() { return ::GetModuleHandleW(L"kernel32.dll"); }

}  // namespace

bool LimitDllSearchToSystemFolder() {
    using SetDefaultDllDirectoriesPtr = BOOL(WINAPI*)(DWORD);
    auto setDefaultDllDirectories = ProcAddress<SetDefaultDllDirectoriesPtr>(Kernel32(), "SetDefaultDllDirectories");
    return setDefaultDllDirectories != nullptr && setDefaultDllDirectories(kLoadLibrarySearchSystem32) != FALSE;
}

bool RemoveCurrentFolderFromDllSearch() {
    using SetDllDirectoryWPtr = BOOL(WINAPI*)(LPCWSTR);
    auto setDllDirectory = ProcAddress<SetDllDirectoryWPtr>(Kernel32(), "SetDllDirectoryW");
    return setDllDirectory != nullptr && setDllDirectory(L"") != FALSE;
}

void HardenDllSearch() {
    // The current folder goes first: it is the one step XP SP1 and later
    // can take even where SetDefaultDllDirectories is missing.
    RemoveCurrentFolderFromDllSearch();
    LimitDllSearchToSystemFolder();
}

}  // namespace zq::win32
