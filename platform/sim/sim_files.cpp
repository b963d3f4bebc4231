// Files and profile strings of the simulated machine, on its drives/ folder.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "platform/sim/profile_reader.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace {

std::optional<std::string> ReadHostFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) return std::nullopt;
    return content.str();
}

bool WriteHostFile(const std::filesystem::path& path, const std::string& bytes, std::ios::openmode mode) {
    std::ofstream file(path, std::ios::binary | mode);
    if (!file) return false;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

// The error of an open of an existing file: 2 or 3 when something is missing.
ErrorCode MissingError(const MachineDrives& drives, const WindowsPath& path) {
    return drives.KindOf(path.Parent()) == EntryKind::Folder ? kErrorFileNotFound : kErrorPathNotFound;
}

// The short names a volume holds for the entries of one folder. Entries are
// numbered in listing order, so "oem4.infx" and "oem4.infy" become
// OEM4~1.INF and OEM4~2.INF.
std::vector<WString> ShortNamesOf(const std::vector<FolderEntry>& entries) {
    std::set<WString> used;
    for (const FolderEntry& entry : entries) {
        if (IsShortNameValid(entry.name)) used.insert(FoldName(entry.name));
    }
    std::vector<WString> shortNames;
    for (const FolderEntry& entry : entries) {
        WString shortName;
        for (int tail = 1; tail < 1000000; ++tail) {
            shortName = MakeShortName(entry.name, tail);
            if (shortName.empty() || used.insert(FoldName(shortName)).second) break;
        }
        shortNames.push_back(shortName);
    }
    return shortNames;
}

}  // namespace

bool SimFiles::Exists(const WString& path) {
    std::lock_guard guard(core_.mutex);
    std::optional<WindowsPath> resolved = core_.Resolve(path);
    return resolved && core_.drives.KindOf(*resolved) != EntryKind::Missing;
}

bool SimFiles::IsExistingFile(const WString& path) {
    std::lock_guard guard(core_.mutex);
    std::optional<WindowsPath> resolved = core_.Resolve(path);
    return resolved && core_.drives.KindOf(*resolved) == EntryKind::File;
}

bool SimFiles::AppendBytes(const WString& path, const std::string& bytes) {
    std::lock_guard guard(core_.mutex);
    std::optional<WindowsPath> resolved = core_.Resolve(path);
    if (!resolved || resolved->IsRoot()) {
        core_.SetLastError(kErrorPathNotFound);
        return false;
    }
    if (core_.drives.KindOf(resolved->Parent()) != EntryKind::Folder) {
        core_.SetLastError(kErrorPathNotFound);
        return false;
    }
    if (core_.drives.KindOf(*resolved) == EntryKind::Folder) {
        core_.SetLastError(kErrorAccessDenied);
        return false;
    }
    if (core_.IsLocked(*resolved)) {
        core_.SetLastError(kErrorSharingViolation);
        return false;
    }
    if (!WriteHostFile(core_.drives.HostPath(*resolved), bytes, std::ios::app)) {
        core_.SetLastError(kErrorAccessDenied);
        return false;
    }
    core_.SetLastError(0);
    return true;
}

std::vector<WString> SimFiles::ListMatching(const WString& pattern) {
    std::lock_guard guard(core_.mutex);
    const std::size_t separator = pattern.find_last_of(L"\\/");
    const WString namePattern = separator == WString::npos ? pattern : pattern.substr(separator + 1);
    std::optional<WindowsPath> folder;
    if (separator == WString::npos) {
        folder = core_.CurrentDirectory();
    } else {
        // "\x" keeps its backslash: the root of the current drive.
        folder = core_.Resolve(separator == 0 ? pattern.substr(0, 1) : pattern.substr(0, separator + 1));
    }
    std::optional<std::vector<FolderEntry>> entries = folder ? core_.drives.List(*folder) : std::nullopt;
    if (!entries) {
        core_.SetLastError(kErrorPathNotFound);
        return {};
    }
    // The order of NTFS: by the upper-cased names.
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return NameLess(a.name, b.name); });
    const std::vector<WString> shortNames = ShortNamesOf(*entries);
    std::vector<WString> names;
    for (std::size_t i = 0; i < entries->size(); ++i) {
        if (MatchesFindPattern(namePattern, (*entries)[i].name, shortNames[i])) names.push_back((*entries)[i].name);
    }
    core_.SetLastError(names.empty() ? kErrorFileNotFound : 0);
    return names;
}

bool SimFiles::ReadWholeFileUnshared(const WString& path, std::vector<std::uint8_t>& content) {
    std::lock_guard guard(core_.mutex);
    std::optional<WindowsPath> resolved = core_.Resolve(path);
    if (!resolved) {
        core_.SetLastError(kErrorPathNotFound);
        return false;
    }
    switch (core_.drives.KindOf(*resolved)) {
        case EntryKind::Missing: core_.SetLastError(MissingError(core_.drives, *resolved)); return false;
        case EntryKind::Folder: core_.SetLastError(kErrorAccessDenied); return false;
        case EntryKind::File: break;
    }
    if (core_.IsLocked(*resolved)) {
        core_.SetLastError(kErrorSharingViolation);
        return false;
    }
    std::optional<std::string> bytes = ReadHostFile(core_.drives.HostPath(*resolved));
    if (!bytes) {
        core_.SetLastError(kErrorAccessDenied);
        return false;
    }
    content.assign(bytes->begin(), bytes->end());
    core_.SetLastError(0);
    return true;
}

bool SimFiles::CopyFileReplacing(const WString& from, const WString& to) {
    const bool copied = Copy(from, to);
    core_.Journal("fileCopied", {{"from", Narrow(from)}, {"to", Narrow(to)}, {"ok", copied}});
    return copied;
}

bool SimFiles::Copy(const WString& from, const WString& to) {
    std::lock_guard guard(core_.mutex);
    std::optional<WindowsPath> source = core_.Resolve(from);
    std::optional<WindowsPath> target = core_.Resolve(to);
    if (!source || !target) {
        core_.SetLastError(kErrorPathNotFound);
        return false;
    }
    switch (core_.drives.KindOf(*source)) {
        case EntryKind::Missing: core_.SetLastError(MissingError(core_.drives, *source)); return false;
        case EntryKind::Folder: core_.SetLastError(kErrorAccessDenied); return false;
        case EntryKind::File: break;
    }
    if (core_.drives.KindOf(target->Parent()) != EntryKind::Folder) {
        core_.SetLastError(kErrorPathNotFound);
        return false;
    }
    if (core_.drives.KindOf(*target) == EntryKind::Folder) {
        core_.SetLastError(kErrorAccessDenied);
        return false;
    }
    if (core_.IsLocked(*source) || core_.IsLocked(*target) || SamePath(*source, *target)) {
        core_.SetLastError(kErrorSharingViolation);
        return false;
    }
    std::optional<std::string> bytes = ReadHostFile(core_.drives.HostPath(*source));
    if (!bytes || !WriteHostFile(core_.drives.HostPath(*target), *bytes, std::ios::trunc)) {
        core_.SetLastError(kErrorAccessDenied);
        return false;
    }
    core_.SetLastError(0);
    return true;
}

WString SimProfileStrings::GetString(const WString& section, const WString& key, const WString& defaultValue,
                                     std::size_t bufferChars, const WString& path) {
    std::lock_guard guard(core_.mutex);
    // A bare file name is looked up in the Windows folder only, never in the
    // current directory; ".ini" is never added.
    const bool bare = path.find_first_of(L"\\/") == WString::npos;
    std::optional<WindowsPath> resolved =
        bare ? ResolveWindowsPath(path, core_.WindowsFolder()) : core_.Resolve(path);
    std::optional<std::string> bytes;
    if (resolved && core_.drives.KindOf(*resolved) == EntryKind::File && !core_.IsLocked(*resolved)) {
        bytes = ReadHostFile(core_.drives.HostPath(*resolved));
    }
    if (!bytes) {
        core_.SetLastError(resolved ? MissingError(core_.drives, *resolved) : kErrorPathNotFound);
        return ProfileDefault(defaultValue, bufferChars);
    }
    core_.SetLastError(0);
    return ReadProfileString(*bytes, section, key, defaultValue, bufferChars);
}

}  // namespace zq::sim
