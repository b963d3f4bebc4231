#include "platform/sim/windows_path.h"

#include "platform/sim/wildcard.h"

namespace zq::sim {

WString WindowsPath::ToString() const {
    WString text{drive, L':'};
    if (components.empty()) return text + L"\\";
    for (const WString& name : components) text += L"\\" + name;
    return text;
}

WindowsPath WindowsPath::Parent() const {
    WindowsPath parent = *this;
    if (!parent.components.empty()) parent.components.pop_back();
    return parent;
}

WindowsPath WindowsPath::Child(const WString& name) const {
    WindowsPath child = *this;
    child.components.push_back(name);
    return child;
}

bool SamePath(const WindowsPath& a, const WindowsPath& b) {
    if (a.drive != b.drive || a.components.size() != b.components.size()) return false;
    for (std::size_t i = 0; i < a.components.size(); ++i) {
        if (!NamesEqual(a.components[i], b.components[i])) return false;
    }
    return true;
}

bool IsSameOrBelow(const WindowsPath& inner, const WindowsPath& outer) {
    if (inner.drive != outer.drive || inner.components.size() < outer.components.size()) return false;
    for (std::size_t i = 0; i < outer.components.size(); ++i) {
        if (!NamesEqual(inner.components[i], outer.components[i])) return false;
    }
    return true;
}

namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

wchar_t UpperDrive(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Appends the names of `rest` to `path`, resolving "." and "..".
void AppendComponents(WindowsPath& path, std::wstring_view rest) {
    std::vector<WString> names;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(L'\\', start);
        if (end == std::wstring_view::npos) end = rest.size();
        names.emplace_back(rest.substr(start, end - start));
        start = end + 1;
    }
    const bool endsWithSeparator = !rest.empty() && rest.back() == L'\\';
    for (std::size_t i = 0; i < names.size(); ++i) {
        WString name = names[i];
        if (name.empty() || name == L".") continue;
        if (name == L"..") {
            if (!path.components.empty()) path.components.pop_back();
            continue;
        }
        const bool last = i + 1 == names.size() && !endsWithSeparator;
        if (last) {
            // Win32 drops all trailing dots and blanks of the last name.
            while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
        } else if (name.size() >= 2 && name.back() == L'.' && name[name.size() - 2] != L'.') {
            // ...and a single trailing dot of a folder name.
            name.pop_back();
        }
        if (!name.empty()) path.components.push_back(name);
    }
}

}  // namespace

std::optional<WindowsPath> ResolveWindowsPath(std::wstring_view pathText, const WindowsPath& currentDirectory) {
    WString path(pathText);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    if (path.empty()) return std::nullopt;
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return std::nullopt;  // UNC, device

    WindowsPath resolved;
    std::wstring_view rest = path;
    if (path.size() >= 2 && path[1] == L':' && IsDriveLetter(path[0])) {
        resolved.drive = UpperDrive(path[0]);
        rest = rest.substr(2);
        if (!rest.empty() && rest.front() == L'\\') {
            rest = rest.substr(1);
        } else if (resolved.drive == currentDirectory.drive) {
            resolved = currentDirectory;  // "C:x" is relative to C:'s current directory
        }
    } else if (path[0] == L'\\') {
        resolved.drive = currentDirectory.drive;
        rest = rest.substr(1);
    } else {
        resolved = currentDirectory;
    }
    AppendComponents(resolved, rest);
    return resolved;
}

std::optional<WindowsPath> ParseAbsoluteWindowsPath(std::wstring_view path) {
    if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/')) {
        return std::nullopt;
    }
    WindowsPath root;
    root.drive = UpperDrive(path[0]);
    return ResolveWindowsPath(path, root);
}

}  // namespace zq::sim
