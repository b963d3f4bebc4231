#include "platform/win32/win32_platform.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>

namespace zq::win32 {

bool Win32Files::Exists(const WString& path) {
    // The shell answers for files and folders alike, which is what the log
    // file's name search needs: a folder of that name is taken too.
    SHFILEINFOW info{};
    return ::SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_TYPENAME) != 0;
}

bool Win32Files::IsExistingFile(const WString& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Files::AppendBytes(const WString& path, const std::string& bytes) {
    // Append-only access makes every write land at the current end of the
    // file, even when another process appends meanwhile; the sharing lets
    // others read and write the log while it is open.
    ScopedFileHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
           written == bytes.size();
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

    std::optional<std::size_t> ReadInto(std::vector<std::uint8_t>& buffer, std::size_t at,
                                        std::size_t count) override {
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

bool Win32Files::ReadWholeFileUnshared(const WString& path, std::vector<std::uint8_t>& buffer, std::size_t& size) {
    std::unique_ptr<IReadableFile> file = OpenUnshared(path);
    if (!file) return false;
    const std::optional<std::size_t> read = file->ReadInto(buffer, 0, file->Size());
    if (!read) return false;
    size = *read;
    return true;
}

bool Win32Files::CopyFileReplacing(const WString& from, const WString& to) {
    return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

}  // namespace zq::win32
