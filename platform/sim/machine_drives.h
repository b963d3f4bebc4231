// The drives of a simulated machine: Windows path X:\a\b is the host file
// MACHINE_DIR/drives/X/a/b. Each name is matched without regard to case
// against what exists, as on Windows; a name that does not exist yet keeps
// the spelling it was written with. A host symbolic link in drives/ stands
// for a Windows link or junction: the file service counts it as an existing
// name even when what it names is missing, and never creates a file
// through it.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "platform/sim/windows_path.h"

namespace zq::sim {

enum class EntryKind { Missing, File, Folder };

struct FolderEntry {
    WString name;  // the long name as stored
    bool isFolder = false;
};

class MachineDrives {
public:
    explicit MachineDrives(std::filesystem::path machineDir);

    // The host path of a Windows path: existing names in their stored
    // spelling, the rest as written.
    std::filesystem::path HostPath(const WindowsPath& path) const;
    // The host path with every name as written: when something exists
    // there, it is the host path (a cheap first try before HostPath).
    std::filesystem::path WrittenHostPath(const WindowsPath& path) const;
    // The Windows path with the stored spelling of every existing name.
    WindowsPath StoredPath(const WindowsPath& path) const;
    EntryKind KindOf(const WindowsPath& path) const;
    // Creates the folder and the folders above it; false when a file is in the way.
    bool MakeFolders(const WindowsPath& path) const;
    // The entries of a folder; nullopt when it is not an existing folder.
    std::optional<std::vector<FolderEntry>> List(const WindowsPath& folder) const;

    const std::filesystem::path& MachineDir() const { return machineDir_; }

private:
    // The walk that looks for each name's stored spelling.
    std::filesystem::path FindHostPath(const WindowsPath& path) const;
    std::optional<std::filesystem::path> FindChild(const std::filesystem::path& folder, const WString& name,
                                                   WString* storedName) const;
    std::filesystem::path machineDir_;
};

// File names of the host, read and written as UTF-8.
std::filesystem::path HostName(const WString& name);
WString WindowsName(const std::filesystem::path& hostName);

}  // namespace zq::sim
