#include "platform/sim/host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zq::sim {

namespace {

std::optional<std::string> KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return std::nullopt;
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string NotRegular(const std::string& kind) {
    return kind == "not a regular file" ? kind : kind + ", not a regular file";
}

}  // namespace

std::optional<std::string> NonRegularKind(const std::filesystem::path& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return KindOfMode(status.st_mode);
}

std::optional<std::string> OutputFileProblem(const std::filesystem::path& file) {
    struct stat status;
    if (::stat(file.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return NotRegular("a folder");
        if (S_ISSOCK(status.st_mode)) return NotRegular("a socket");
        if (S_ISFIFO(status.st_mode)) {
            const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) return "a FIFO that nothing reads";
            ::close(fd);
            return std::nullopt;
        }
        if (::access(file.c_str(), W_OK) != 0) return "not writable";
        return std::nullopt;
    }
    if (errno != ENOENT) return "not accessible";
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return "no folder " + folder.string();
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return "the folder " + folder.string() + " is not writable";
    return std::nullopt;
}

bool SameHostFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    const std::filesystem::path canonicalA = std::filesystem::weakly_canonical(a, error);
    if (error) return false;
    const std::filesystem::path canonicalB = std::filesystem::weakly_canonical(b, error);
    return !error && canonicalA == canonicalB;
}

std::string SizeInWords(std::uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::optional<std::string> ReadRegularHostFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                                               std::string& problem) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) {
        problem = "missing or not accessible";
        return std::nullopt;
    }
    if (std::optional<std::string> kind = KindOfMode(status.st_mode)) {
        problem = NotRegular(*kind);
        return std::nullopt;
    }
    const std::string tooLarge = "larger than " + SizeInWords(maxBytes);
    if (static_cast<std::uint64_t>(status.st_size) > maxBytes) {
        problem = tooLarge;
        return std::nullopt;
    }
    // Without waiting, and looked at again once open: something else may
    // have taken the name since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = "missing or not accessible";
        return std::nullopt;
    }
    std::string bytes;
    bool ok = ::fstat(fd, &status) == 0;
    if (ok && KindOfMode(status.st_mode)) {
        problem = NotRegular(*KindOfMode(status.st_mode));
        ok = false;
    }
    // A file that grows while it is read is cut off at one byte more than
    // the limit, which tells that it is too large.
    char chunk[65536];
    while (ok) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            problem = "the read failed";
            ok = false;
        } else if (n == 0) {
            break;
        } else if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            problem = tooLarge;
            ok = false;
        } else {
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return bytes;
}

}  // namespace zq::sim
