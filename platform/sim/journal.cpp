#include "platform/sim/journal.h"

#include "platform/sim/machine_config.h"

namespace zq::sim {

JournalFile::JournalFile(const std::filesystem::path& path) : path_(path) {
    file_.open(path, std::ios::binary | std::ios::trunc);
    if (!file_) throw MachineError(path.string() + ": the journal cannot be written");
}

void JournalFile::Write(std::int64_t virtualMs, const std::string& event, const nlohmann::ordered_json& fields) {
    nlohmann::ordered_json line;
    line["t"] = virtualMs;
    line["event"] = event;
    if (fields.is_object()) {
        for (const auto& item : fields.items()) line[item.key()] = item.value();
    }
    std::lock_guard<std::mutex> guard(mutex_);
    // Replacement of malformed UTF-8 keeps the journal readable whatever a
    // program's command line held.
    file_ << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    file_.flush();
}

}  // namespace zq::sim
