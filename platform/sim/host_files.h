// Host files that the simulated machine and the authors' tools read:
// machine.json, a settings file given to --check, the files of drives/.
//
// Only a regular file is read, and what stands at a path is looked at
// before anything opens it: opening a FIFO for reading waits for a writer
// that may never come, a device such as /dev/zero never ends, and a folder
// has no bytes. A symbolic link is followed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zq::sim {

// What stands at the path when it is there but is not a regular file: "a
// folder", "a FIFO", "a device", "a socket"; nullopt for a regular file
// and when nothing (reachable) is there.
std::optional<std::string> NonRegularKind(const std::filesystem::path& path);

// The whole content of a regular host file of at most `maxBytes` bytes, or
// why it cannot be read ("a FIFO, not a regular file", "larger than
// 64 MiB", "missing or not accessible"): the message is in `problem`.
std::optional<std::string> ReadRegularHostFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                                               std::string& problem);

// Why a file cannot take a program's output (the journal, the state),
// looked at before anything is written; nullopt when it can. An existing
// file must be writable and neither a folder, a socket nor a FIFO that
// nothing reads (opening one for writing would wait for a reader); a
// device such as /dev/null is fine. A new file needs a writable folder.
std::optional<std::string> OutputFileProblem(const std::filesystem::path& file);

// Whether two paths name the same file, whether or not it exists yet.
bool SameHostFile(const std::filesystem::path& a, const std::filesystem::path& b);

// "64 MiB", "1 KiB", "10 bytes".
std::string SizeInWords(std::uint64_t bytes);

}  // namespace zq::sim
