// Windows path names on the simulated machine, apart from any file access.
//
// Resolution follows Win32's normalisation of a path name: '/' counts as
// '\', runs of separators collapse, "." and ".." are resolved, a single
// trailing '.' of a folder name and all trailing dots and blanks of the
// last name are dropped ("basic.ini " opens "basic.ini"). A path without a
// drive ("\x") lies on the current directory's drive; a relative one is
// taken from the current directory.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace zq::sim {

struct WindowsPath {
    wchar_t drive = L'C';             // always upper case
    std::vector<WString> components;  // the names below the drive's root, as written

    bool IsRoot() const { return components.empty(); }
    WString ToString() const;    // "C:\a\b"; "C:\" for a root
    WindowsPath Parent() const;  // the root's parent is the root
    WindowsPath Child(const WString& name) const;
};

// Whether two paths name the same entry (names compared without regard to case).
bool SamePath(const WindowsPath& a, const WindowsPath& b);
// Whether `inner` is `outer` or lies below it.
bool IsSameOrBelow(const WindowsPath& inner, const WindowsPath& outer);

// The full path that `path` names, seen from `currentDirectory`; nullopt for
// what the machine does not model (empty, UNC and device paths).
std::optional<WindowsPath> ResolveWindowsPath(std::wstring_view path, const WindowsPath& currentDirectory);

// An absolute path ("C:\..."); nullopt for anything else.
std::optional<WindowsPath> ParseAbsoluteWindowsPath(std::wstring_view path);

}  // namespace zq::sim
