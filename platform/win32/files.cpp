#include "platform/win32/win32_platform.h"

#include <algorithm>
#include <memory>

namespace zq::win32 {

namespace {

// A file that CreateNewFile made; the handle is closed when it goes.
class Win32NewFile final : public INewFile {
public:
    explicit Win32NewFile(ScopedFileHandle file) : file_(std::move(file)) {}
    bool Write(const std::string& bytes) override {
        DWORD written = 0;
        return ::WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
               written == bytes.size();
    }

private:
    ScopedFileHandle file_;
};

bool StartsWith(const WString& text, const wchar_t* start) { return text.rfind(start, 0) == 0; }

}  // namespace

WString ExtendedLengthPath(const WString& path) {
    if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) return path;
    // Sized first: the full path may be far longer than MAX_PATH.
    DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    WString full(needed, L'\0');
    DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool Win32Files::Exists(const WString& path) {
    // GetFileAttributesW answers for files and folders alike, and on Windows
    // for a link itself rather than for what it names (Wine follows a host
    // link, so a link to nothing reads as missing there; CreateNewFile
    // refuses it all the same). Any failure other than "not found" (a file
    // held by the system, no right to read its attributes) still means that
    // something is there. The shell's SHGetFileInfoW is no such test: it
    // fails on a doubled backslash and from MAX_PATH characters on.
    if (::GetFileAttributesW(ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool Win32Files::IsExistingFile(const WString& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

NewFileCreation Win32Files::CreateNewFile(const WString& path) {
    // CREATE_NEW fails on any existing name. FILE_FLAG_OPEN_REPARSE_POINT
    // keeps a symbolic link or junction at the name from being followed:
    // without it, CREATE_NEW through a link whose target is missing creates
    // the target, wherever the link points. Shared for reading only: the log
    // may be read while the run goes on, but no one else writes to it,
    // renames it or deletes it.
    ScopedFileHandle file(::CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return NewFileCreation{nullptr, ::GetLastError()};
    return NewFileCreation{std::make_unique<Win32NewFile>(std::move(file)), 0};
}

std::vector<WString> Win32Files::ListMatching(const WString& pattern) {
    std::vector<WString> names;
    WIN32_FIND_DATAW entry{};
    ScopedFindHandle listing(::FindFirstFileW(pattern.c_str(), &entry));
    if (!listing) return names;
    do {
        names.emplace_back(entry.cFileName);
    } while (::FindNextFileW(listing.Get(), &entry));
    return names;
}

namespace {

class Win32ReadableFile final : public IReadableFile {
public:
    Win32ReadableFile(ScopedFileHandle file, DWORD size) : file_(std::move(file)), size_(size) {}

    std::size_t Size() const override { return size_; }

    std::optional<std::size_t> ReadInto(std::vector<std::uint8_t>& buffer, std::size_t at, std::size_t count) override {
        // One ReadFile moves at most 4 GB less a byte; the size that counts
        // is 32 bits too.
        count = std::min<std::size_t>(count, MAXDWORD);
        if (buffer.size() < at + count) {
            // Nothing in front of `at` to keep: no copy of the old bytes.
            if (at == 0 && buffer.capacity() < count) buffer.clear();
            buffer.resize(at + count);
        }
        if (count == 0) return 0;
        DWORD read = 0;
        if (!::ReadFile(file_.Get(), buffer.data() + at, static_cast<DWORD>(count), &read, nullptr)) {
            return std::nullopt;
        }
        return read;
    }

private:
    ScopedFileHandle file_;
    DWORD size_;
};

}  // namespace

std::unique_ptr<IReadableFile> Win32Files::OpenUnshared(const WString& path) {
    // No sharing: a file that another process holds open is not read, and
    // no other process can write to it while it is.
    ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    const DWORD size = ::GetFileSize(file.Get(), nullptr);  // the low 32 bits are all that count
    if (size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return nullptr;
    return std::make_unique<Win32ReadableFile>(std::move(file), size);
}

bool Win32Files::CopyFileReplacing(const WString& from, const WString& to) {
    return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

ErrorCode Win32Files::MoveFileReplacing(const WString& from, const WString& to) {
    // A rename within one volume: a reader of the target sees the old file
    // or the new one, never a part of either. Write-through: the call
    // returns once the rename is on the disk, so a restart that follows
    // cannot undo it.
    if (::MoveFileExW(ExtendedLengthPath(from).c_str(), ExtendedLengthPath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    return ::GetLastError();
}

ErrorCode Win32Files::RemoveFile(const WString& path) {
    if (::DeleteFileW(ExtendedLengthPath(path).c_str())) return 0;
    return ::GetLastError();
}

}  // namespace zq::win32
