#include "platform/sim/machine_drives.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>
#include <system_error>

#include "base/text.h"
#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace fs = std::filesystem;

fs::path HostName(const WString& name) {
    std::string utf8 = Utf16ToUtf8(name);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

WString WindowsName(const fs::path& hostName) {
    std::u8string utf8 = hostName.u8string();
    return Utf8ToUtf16(std::string(utf8.begin(), utf8.end()));
}

MachineDrives::MachineDrives(fs::path machineDir) : machineDir_(std::move(machineDir)) {}

std::optional<fs::path> MachineDrives::FindChild(const fs::path& folder, const WString& name,
                                                 WString* storedName) const {
    std::error_code error;
    // The spelling as written wins when it exists; otherwise any spelling.
    if (fs::exists(folder / HostName(name), error)) {
        if (storedName) *storedName = name;
        return folder / HostName(name);
    }
    if (!fs::is_directory(folder, error)) return std::nullopt;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        WString entryName = WindowsName(entry.path().filename());
        if (NamesEqual(entryName, name)) {
            if (storedName) *storedName = entryName;
            return entry.path();
        }
    }
    return std::nullopt;
}

fs::path MachineDrives::WrittenHostPath(const WindowsPath& path) const {
    // Built as one string, the way fs::path's /= joins (a separator unless
    // there is one already): the names hold no separator, since
    // ResolveWindowsPath splits at both slashes.
    std::string host = machineDir_.native();
    auto append = [&host](const std::string& name) {
        if (!host.empty() && host.back() != '/') host += '/';
        host += name;
    };
    append("drives");
    append(Utf16ToUtf8(WString(1, path.drive)));
    for (const WString& name : path.components) append(Utf16ToUtf8(name));
    return fs::path(std::move(host));
}

// A path that exists as written is its own host path: the walk below takes
// the written spelling of each name that exists, and every folder above an
// existing entry exists too. So one look at the whole path comes first, and
// the walk, a look per name, only when that finds nothing.
fs::path MachineDrives::HostPath(const WindowsPath& path) const {
    std::error_code error;
    fs::path written = WrittenHostPath(path);
    if (fs::exists(written, error)) return written;
    return FindHostPath(path);
}

fs::path MachineDrives::FindHostPath(const WindowsPath& path) const {
    fs::path host = machineDir_ / "drives";
    bool existing = true;
    auto step = [&](const WString& name) {
        if (existing) {
            if (std::optional<fs::path> child = FindChild(host, name, nullptr)) {
                host = *child;
                return;
            }
            existing = false;
        }
        host /= HostName(name);
    };
    step(WString(1, path.drive));
    for (const WString& name : path.components) step(name);
    return host;
}

WindowsPath MachineDrives::StoredPath(const WindowsPath& path) const {
    std::error_code error;
    if (fs::exists(WrittenHostPath(path), error)) return path;
    WindowsPath stored;
    stored.drive = path.drive;
    fs::path host = HostPath(WindowsPath{path.drive, {}});
    bool existing = true;
    for (const WString& name : path.components) {
        WString storedName = name;
        if (existing) {
            if (std::optional<fs::path> child = FindChild(host, name, &storedName)) {
                host = *child;
            } else {
                existing = false;
            }
        }
        stored.components.push_back(storedName);
    }
    return stored;
}

EntryKind MachineDrives::KindOf(const WindowsPath& path) const {
    std::error_code error;
    fs::file_status status = fs::status(WrittenHostPath(path), error);
    if (error || !fs::exists(status)) status = fs::status(FindHostPath(path), error);
    if (error || !fs::exists(status)) return EntryKind::Missing;
    return fs::is_directory(status) ? EntryKind::Folder : EntryKind::File;
}

bool MachineDrives::MakeFolders(const WindowsPath& path) const {
    std::error_code error;
    fs::path host = HostPath(path);
    fs::create_directories(host, error);
    return fs::is_directory(host, error);
}

namespace {

// A host folder open for listing, closed when it goes.
class HostListing {
public:
    explicit HostListing(const fs::path& folder) : listing_(::opendir(folder.c_str())) {}
    ~HostListing() {
        if (listing_) ::closedir(listing_);
    }
    HostListing(const HostListing&) = delete;
    HostListing& operator=(const HostListing&) = delete;

    // The next entry other than "." and ".."; null at the end.
    const dirent* Next() {
        while (listing_) {
            const dirent* entry = ::readdir(listing_);
            if (!entry) return nullptr;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            return entry;
        }
        return nullptr;
    }

    // Whether the entry is a folder, or a link to one.
    bool IsFolder(const dirent& entry) const {
        if (entry.d_type == DT_DIR) return true;
        if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
        struct stat status;
        return ::fstatat(::dirfd(listing_), entry.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
    }

private:
    DIR* listing_;
};

// A host name as a Windows name; most names are ASCII.
WString WindowsNameOf(const char* hostName) {
    const std::string_view name(hostName);
    if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        return Utf8ToUtf16(name);
    return WString(name.begin(), name.end());
}

}  // namespace

std::optional<std::vector<FolderEntry>> MachineDrives::List(const WindowsPath& folder) const {
    std::error_code error;
    fs::path host = HostPath(folder);
    if (!fs::is_directory(host, error)) return std::nullopt;
    std::vector<FolderEntry> entries;
    HostListing listing(host);
    while (const dirent* entry = listing.Next())
        entries.push_back({WindowsNameOf(entry->d_name), listing.IsFolder(*entry)});
    return entries;
}

}  // namespace zq::sim
