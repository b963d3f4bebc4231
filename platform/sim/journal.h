// The machine's journal: JSON Lines, one event a line, in the order things
// happen, each with "t" (virtual milliseconds since the start) and "event".
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace zq::sim {

class JournalFile {
public:
    // Starts an empty journal; throws MachineError when it cannot be written.
    explicit JournalFile(const std::filesystem::path& path);

    // `fields` is an object; its members follow "t" and "event" in the line.
    void Write(std::int64_t virtualMs, const std::string& event, const nlohmann::ordered_json& fields);
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    std::ofstream file_;
    std::mutex mutex_;
};

}  // namespace zq::sim
