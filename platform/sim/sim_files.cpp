// Files and profile strings of the simulated machine, on its drives/ folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <iterator>
#include <memory>
#include <new>
#include <set>
#include <utility>

#include "base/text.h"
#include "platform/sim/profile_reader.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace {

// A host file descriptor, closed when it goes. An open for reading looks
// at what stands at the path first and opens only a regular file: a FIFO
// would wait for a writer, a device may never end. Such a name stands for
// a file that Windows cannot open (access denied); the folders of a real
// Windows hold no such thing.
class HostFile {
public:
    HostFile(const char* path, int flags) {
        if ((flags & O_ACCMODE) == O_RDONLY && !(flags & O_CREAT)) {
            struct stat status;
            if (::stat(path, &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
                openError_ = EACCES;
                notRegular_ = true;
                return;
            }
        }
        fd_ = ::open(path, flags | O_CLOEXEC, 0666);
        openError_ = fd_ < 0 ? errno : 0;
    }
    HostFile(const std::filesystem::path& path, int flags) : HostFile(path.c_str(), flags) {}
    ~HostFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;
    HostFile(HostFile&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), openError_(other.openError_), notRegular_(other.notRegular_),
          size_(other.size_) {}
    HostFile& operator=(HostFile&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = std::exchange(other.fd_, -1);
            openError_ = other.openError_;
            notRegular_ = other.notRegular_;
            size_ = other.size_;
        }
        return *this;
    }

    bool IsOpen() const { return fd_ >= 0; }
    int OpenError() const { return openError_; }  // errno of a failed open
    // Not opened for reading: neither a regular file nor a folder.
    bool NotRegular() const { return notRegular_; }
    // Open, and a regular file; its size is then known.
    bool IsOpenFile() {
        struct stat status;
        if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) return false;
        size_ = static_cast<std::size_t>(status.st_size);
        return true;
    }

    // The whole file as a string: as many bytes as the file had when
    // IsOpenFile looked, or up to its end. False on a read error.
    bool ReadAll(std::string& bytes) {
        bytes.resize(size_);
        std::size_t got = 0;
        if (!ReadUpTo(bytes.data(), got)) return false;
        bytes.resize(got);
        return true;
    }

    std::size_t Size() const { return size_; }

    // Up to `count` bytes from where the last read ended, fewer only at the
    // end of the file. False on a read error.
    bool ReadSome(char* to, std::size_t count, std::size_t& got) {
        got = 0;
        while (got < count) {
            const ssize_t n = ::read(fd_, to + got, count - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool WriteAll(const std::string& bytes) {
        std::size_t put = 0;
        while (put < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + put, bytes.size() - put);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            put += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    // The file's bytes into `to`, which has room for size_ of them.
    bool ReadUpTo(char* to, std::size_t& got) { return ReadSome(to, size_, got); }

    int fd_ = -1;
    int openError_ = 0;
    bool notRegular_ = false;
    std::size_t size_ = 0;
};

// A file of the drives opened for reading. A buffer that must grow beyond
// the machine's largest free block (largestAllocationBytes) throws
// std::bad_alloc, as operator new does in a 32-bit process whose address
// space holds no free block of that size, however much memory is free in
// all.
class SimReadableFile final : public IReadableFile {
public:
    SimReadableFile(MachineCore& core, HostFile file) : core_(core), file_(std::move(file)) {}

    std::size_t Size() const override { return file_.Size(); }

    std::optional<std::size_t> ReadInto(std::vector<std::uint8_t>& buffer, std::size_t at, std::size_t count) override {
        std::lock_guard guard(core_.mutex);
        if (buffer.size() < at + count) {
            const std::size_t needed = at + count;
            if (buffer.capacity() < needed && core_.state.largestAllocationBytes &&
                needed > *core_.state.largestAllocationBytes) {
                throw std::bad_alloc();
            }
            if (at == 0 && buffer.capacity() < needed) buffer.clear();  // nothing in it to keep
            buffer.resize(needed);
        }
        std::size_t got = 0;
        if (!file_.ReadSome(reinterpret_cast<char*>(buffer.data()) + at, count, got)) {
            core_.SetLastError(kErrorAccessDenied);
            return std::nullopt;
        }
        core_.SetLastError(0);
        return got;
    }

private:
    MachineCore& core_;
    HostFile file_;
};

std::optional<std::string> ReadHostFile(const std::filesystem::path& path) {
    HostFile file(path, O_RDONLY);
    std::string content;
    if (!file.IsOpenFile() || !file.ReadAll(content)) return std::nullopt;
    return content;
}

// Replaces the content; the file is made when missing.
bool WriteHostFile(const std::filesystem::path& path, const std::string& bytes) {
    HostFile file(path, O_WRONLY | O_CREAT | O_TRUNC);
    return file.IsOpen() && file.WriteAll(bytes);
}

// A file that CreateNewFile made, held open on the host. Its writes take the
// machine's lock, as every file access of the machine does.
class SimNewFile : public INewFile {
public:
    SimNewFile(MachineCore& core, std::unique_ptr<HostFile> file) : core_(core), file_(std::move(file)) {}
    bool Write(const std::string& bytes) override {
        std::lock_guard guard(core_.mutex);
        return file_->WriteAll(bytes);
    }

private:
    MachineCore& core_;
    std::unique_ptr<HostFile> file_;
};

// Whether a host link stands at the path, whether or not what it names exists.
bool IsHostLink(const std::filesystem::path& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// The error of an open of an existing file: 2 or 3 when something is missing.
ErrorCode MissingError(const MachineDrives& drives, const WindowsPath& path) {
    return drives.KindOf(path.Parent()) == EntryKind::Folder ? kErrorFileNotFound : kErrorPathNotFound;
}

// The order of NTFS: by the upper-cased names. Each name is upper-cased
// once, not at every comparison.
void SortAsListed(std::vector<FolderEntry>& entries) {
    std::vector<std::pair<WString, FolderEntry>> keyed;
    keyed.reserve(entries.size());
    for (FolderEntry& entry : entries) keyed.emplace_back(FoldName(entry.name), std::move(entry));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = std::move(keyed[i].second);
}

// Whether a path's last name resolves to itself: Win32 drops the trailing
// dots and blanks of a last name, and "." and ".." are no names.
bool IsPlainLastName(std::wstring_view name) { return !name.empty() && name.back() != L'.' && name.back() != L' '; }

// Appends a Windows name as a host name (UTF-8); most names are ASCII.
void AppendUtf8(std::string& host, std::wstring_view name) {
    const bool ascii =
        std::all_of(name.begin(), name.end(), [](wchar_t c) { return static_cast<std::uint16_t>(c) < 0x80; });
    if (!ascii) {
        host += Utf16ToUtf8(name);
        return;
    }
    for (wchar_t c : name) host.push_back(static_cast<char>(c & 0x7F));
}

}  // namespace

// A host link in drives/ stands for a Windows link or junction: it exists
// as a name, even when what it names is missing.
bool SimFiles::Exists(const WString& path) {
    std::lock_guard guard(core_.mutex);
    std::optional<WindowsPath> resolved = core_.Resolve(path);
    if (!resolved) return false;
    return core_.drives.KindOf(*resolved) != EntryKind::Missing || IsHostLink(core_.drives.HostPath(*resolved));
}

bool SimFiles::IsExistingFile(const WString& path) {
    std::lock_guard guard(core_.mutex);
    std::optional<WindowsPath> resolved = core_.Resolve(path);
    return resolved && core_.drives.KindOf(*resolved) == EntryKind::File;
}

// CREATE_NEW with FILE_FLAG_OPEN_REPARSE_POINT: on the host, O_EXCL refuses
// any existing name and O_NOFOLLOW a link at the name, whether or not what
// it names exists (O_EXCL alone already fails on a link; both say so).
NewFileCreation SimFiles::CreateNewFile(const WString& path) {
    std::lock_guard guard(core_.mutex);
    auto refused = [this](ErrorCode error) {
        core_.SetLastError(error);
        return NewFileCreation{nullptr, error};
    };
    std::optional<WindowsPath> resolved = core_.Resolve(path);
    if (!resolved || resolved->IsRoot()) return refused(kErrorPathNotFound);
    if (core_.drives.KindOf(resolved->Parent()) != EntryKind::Folder) return refused(kErrorPathNotFound);
    // The name in its stored spelling when anything has it, in any case.
    const std::filesystem::path host = core_.drives.HostPath(*resolved);
    auto file = std::make_unique<HostFile>(host, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
    if (!file->IsOpen()) {
        const int error = file->OpenError();
        return refused(error == EEXIST || error == ELOOP ? kErrorFileExists : kErrorAccessDenied);
    }
    core_.SetLastError(0);
    return NewFileCreation{std::make_unique<SimNewFile>(core_, std::move(file)), 0};
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
    SortAsListed(*entries);
    // Most entries match by their long names. Short names are made only as
    // far into the listing as an entry that does not, but has a short name
    // that might.
    std::vector<std::uint8_t> matches(entries->size());  // not vector<bool>: entries are set one at a time
    std::size_t shortNamesNeeded = 0;
    for (std::size_t i = 0; i < entries->size(); ++i) {
        const WString& name = (*entries)[i].name;
        matches[i] = MatchesFindPattern(namePattern, name, {}) ? 1 : 0;
        if (!matches[i] && HasShortName(name)) shortNamesNeeded = i + 1;
    }
    if (shortNamesNeeded > 0) {
        std::vector<WString> names;
        names.reserve(shortNamesNeeded);
        for (std::size_t i = 0; i < shortNamesNeeded; ++i) names.push_back((*entries)[i].name);
        const std::vector<WString> shortNames = FolderShortNames(names);
        for (std::size_t i = 0; i < shortNamesNeeded; ++i) {
            if (!matches[i]) matches[i] = MatchesFindPattern(namePattern, (*entries)[i].name, shortNames[i]) ? 1 : 0;
        }
    }
    std::vector<WString> names;
    for (std::size_t i = 0; i < entries->size(); ++i) {
        if (matches[i]) names.push_back(std::move((*entries)[i].name));
    }
    core_.SetLastError(names.empty() ? kErrorFileNotFound : 0);
    return names;
}

const std::string* SimFiles::WrittenHostPathInFolder(const WString& path, std::wstring_view& name) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == WString::npos) return nullptr;
    name = std::wstring_view(path).substr(separator + 1);
    if (!IsPlainLastName(name)) return nullptr;
    const std::wstring_view folderText = std::wstring_view(path).substr(0, separator + 1);
    if (!readFolder_ || readFolder_->text != folderText) {
        // Only a path from a drive's root: it names the same folder whatever
        // the current directory.
        std::optional<WindowsPath> folder = ParseAbsoluteWindowsPath(folderText);
        if (!folder) return nullptr;
        std::string host = core_.drives.WrittenHostPath(*folder).native();
        host += '/';
        readFolder_ = ReadFolder{WString(folderText), std::move(*folder), std::move(host)};
    }
    readHostPath_ = readFolder_->writtenHost;
    AppendUtf8(readHostPath_, name);
    return &readHostPath_;
}

std::unique_ptr<IReadableFile> SimFiles::OpenUnshared(const WString& path) {
    std::lock_guard guard(core_.mutex);
    // The usual case, a file in the folder of the previous read whose names
    // are written as stored, costs an open and a stat; anything else is
    // sorted out by the checks below it.
    std::optional<WindowsPath> resolved;
    std::wstring_view name;
    const std::string* written = WrittenHostPathInFolder(path, name);
    if (!written) {
        resolved = core_.Resolve(path);
        if (!resolved) {
            core_.SetLastError(kErrorPathNotFound);
            return nullptr;
        }
        readHostPath_ = core_.drives.WrittenHostPath(*resolved).native();
        written = &readHostPath_;
    }
    // In a known folder the resolved path is made only when it is needed.
    auto target = [&]() -> const WindowsPath& {
        if (!resolved) resolved = readFolder_->path.Child(WString(name));
        return *resolved;
    };
    HostFile file(written->c_str(), O_RDONLY);
    if (!file.IsOpenFile()) {
        switch (core_.drives.KindOf(target())) {
            case EntryKind::Missing: core_.SetLastError(MissingError(core_.drives, target())); return nullptr;
            case EntryKind::Folder: core_.SetLastError(kErrorAccessDenied); return nullptr;
            case EntryKind::File: break;
        }
        // Stored under another spelling of its names.
        const std::filesystem::path host = core_.drives.HostPath(target());
        file = HostFile(host, O_RDONLY);
        if (!file.IsOpenFile()) {
            if (file.NotRegular()) core_.WarnNotRegular(target(), host);
            core_.SetLastError(kErrorAccessDenied);
            return nullptr;
        }
    }
    if (!core_.state.lockedFiles.empty() && core_.IsLocked(target())) {
        core_.SetLastError(kErrorSharingViolation);
        return nullptr;
    }
    core_.SetLastError(0);
    return std::make_unique<SimReadableFile>(core_, std::move(file));
}

bool SimFiles::CopyFileReplacing(const WString& from, const WString& to) {
    const bool copied = Copy(from, to);
    core_.Journal("fileCopied", {{"from", Narrow(from)}, {"to", Narrow(to)}, {"ok", copied}});
    return copied;
}

// A rename on the host, which like MoveFileExW on one volume replaces the
// target's name in one step and replaces a link at it instead of following it.
ErrorCode SimFiles::MoveFileReplacing(const WString& from, const WString& to) {
    const ErrorCode error = Move(from, to);
    core_.Journal("fileMoved", {{"from", Narrow(from)}, {"to", Narrow(to)}, {"error", error}});
    return error;
}

ErrorCode SimFiles::Move(const WString& from, const WString& to) {
    std::lock_guard guard(core_.mutex);
    auto failed = [this](ErrorCode error) {
        core_.SetLastError(error);
        return error;
    };
    std::optional<WindowsPath> source = core_.Resolve(from);
    std::optional<WindowsPath> target = core_.Resolve(to);
    if (!source || !target || target->IsRoot()) return failed(kErrorPathNotFound);
    switch (core_.drives.KindOf(*source)) {
        case EntryKind::Missing: return failed(MissingError(core_.drives, *source));
        case EntryKind::Folder: return failed(kErrorAccessDenied);
        case EntryKind::File: break;
    }
    if (core_.drives.KindOf(target->Parent()) != EntryKind::Folder) return failed(kErrorPathNotFound);
    if (core_.drives.KindOf(*target) == EntryKind::Folder) return failed(kErrorAccessDenied);
    if (core_.IsLocked(*source) || core_.IsLocked(*target)) return failed(kErrorSharingViolation);
    std::error_code error;
    std::filesystem::rename(core_.drives.HostPath(*source), core_.drives.HostPath(*target), error);
    if (error) return failed(kErrorAccessDenied);
    core_.SetLastError(0);
    return 0;
}

ErrorCode SimFiles::RemoveFile(const WString& path) {
    std::lock_guard guard(core_.mutex);
    auto failed = [this](ErrorCode error) {
        core_.SetLastError(error);
        return error;
    };
    std::optional<WindowsPath> resolved = core_.Resolve(path);
    if (!resolved) return failed(kErrorPathNotFound);
    switch (core_.drives.KindOf(*resolved)) {
        case EntryKind::Missing: return failed(MissingError(core_.drives, *resolved));
        case EntryKind::Folder: return failed(kErrorAccessDenied);
        case EntryKind::File: break;
    }
    if (core_.IsLocked(*resolved)) return failed(kErrorSharingViolation);
    std::error_code error;
    if (!std::filesystem::remove(core_.drives.HostPath(*resolved), error)) return failed(kErrorAccessDenied);
    core_.SetLastError(0);
    return 0;
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
    if (!bytes || !WriteHostFile(core_.drives.HostPath(*target), *bytes)) {
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
    std::optional<WindowsPath> resolved = bare ? ResolveWindowsPath(path, core_.WindowsFolder()) : core_.Resolve(path);
    const ProfileListing* file = nullptr;
    if (resolved && core_.drives.KindOf(*resolved) == EntryKind::File && !core_.IsLocked(*resolved)) {
        file = Scan(core_.drives.HostPath(*resolved).native());
    }
    if (!file) {
        core_.SetLastError(resolved ? MissingError(core_.drives, *resolved) : kErrorPathNotFound);
        return ProfileDefault(defaultValue, bufferChars);
    }
    core_.SetLastError(0);
    return ReadProfileString(*file, section, key, defaultValue, bufferChars);
}

std::uint64_t SimProfileStrings::Scans() const {
    std::lock_guard guard(core_.mutex);
    return scans_;
}

// GetPrivateProfileStringW sees every change of the file at once, so a scan
// serves again only while the host file has the same device, inode, size and
// modification and change times. A write within one tick of the host's file
// clock can leave all of those as they were; so for a file changed less than
// a tick before it was last looked at, the bytes are compared as well. The
// scan is then kept for the same bytes: a file written again unchanged is
// not parsed again.
const ProfileListing* SimProfileStrings::Scan(const std::string& hostPath) {
    // Longer than a tick of the coarse clock that stamps host files (1 to 10 ms).
    constexpr std::int64_t kFileClockTickNs = 50'000'000;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t nowNs = std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
    struct stat status {};
    if (::stat(hostPath.c_str(), &status) != 0) return nullptr;
    const std::int64_t modifiedNs = std::int64_t{status.st_mtim.tv_sec} * 1'000'000'000 + status.st_mtim.tv_nsec;
    const std::int64_t changedNs = std::int64_t{status.st_ctim.tv_sec} * 1'000'000'000 + status.st_ctim.tv_nsec;
    const std::array<std::int64_t, 6> stamp{static_cast<std::int64_t>(status.st_dev),
                                            static_cast<std::int64_t>(status.st_ino),
                                            static_cast<std::int64_t>(status.st_size),
                                            modifiedNs,
                                            changedNs,
                                            static_cast<std::int64_t>(status.st_mode)};
    const unsigned codePage = core_.state.ansiCodePage;
    const auto kept = scanned_.find(hostPath);
    const bool unchangedSinceLongBefore = kept != scanned_.end() && S_ISREG(status.st_mode) &&
                                          kept->second.stamp == stamp &&
                                          std::max(modifiedNs, changedNs) < kept->second.checkedAtNs - kFileClockTickNs;
    if (unchangedSinceLongBefore && kept->second.codePage == codePage) {
        return &kept->second.listing;
    }
    std::optional<std::string> bytes = ReadHostFile(hostPath);
    if (!bytes) return nullptr;
    if (kept != scanned_.end() && kept->second.codePage == codePage && kept->second.bytes == *bytes) {
        kept->second.stamp = stamp;
        kept->second.checkedAtNs = nowNs;
        return &kept->second.listing;
    }
    ++scans_;
    // A launcher reads one or two settings files; a bound keeps a long run's
    // other files from piling up.
    constexpr std::size_t kFilesKept = 8;
    if (kept == scanned_.end() && scanned_.size() >= kFilesKept) scanned_.clear();
    ScannedFile& file = scanned_[hostPath];
    file.stamp = stamp;
    file.codePage = codePage;
    file.checkedAtNs = nowNs;
    file.listing = ListProfile(*bytes, codePage);
    file.bytes = std::move(*bytes);
    return &file.listing;
}

}  // namespace zq::sim
