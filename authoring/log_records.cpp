#include "authoring/log_records.h"

namespace zq::sim {

namespace {

// "[03/07/2009 09:05:02]": 21 characters, digits where the numbers go.
bool IsTimeStamp(std::string_view text) {
    constexpr std::string_view kShape = "[00/00/0000 00:00:00]";
    if (text.size() < kShape.size()) return false;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == '0' ? !digit : text[i] != kShape[i]) return false;
    }
    return true;
}

}  // namespace

std::vector<LogRecord> LogRecords(std::string_view logBytes) {
    std::vector<LogRecord> records;
    std::size_t start = 0;
    while (start < logBytes.size()) {
        std::size_t end = logBytes.find('\n', start);
        if (end == std::string_view::npos) end = logBytes.size();
        std::string_view line = logBytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        LogRecord record;
        if (IsTimeStamp(line)) {
            record.stamp = std::string(line.substr(0, 21));
            line.remove_prefix(21);
        }
        record.message = std::string(line);
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<std::string> LogMessages(std::string_view logBytes) {
    std::vector<std::string> messages;
    for (LogRecord& record : LogRecords(logBytes)) messages.push_back(std::move(record.message));
    return messages;
}

}  // namespace zq::sim
