// The records of a launcher log file (TEMP\zqmerlesetupNNN.log), as the
// previews show them and the tests read them: one a line, the line's
// "[MM/DD/YYYY HH:MM:SS]" time stamp apart from its message.
//
// The log is single-byte text in the machine's code page, lines ending in
// CR LF; both stay as they are here, but for the line ends. A line that does
// not start with a time stamp (the rest of a message that held a line end)
// is a record of its own with no stamp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zq::sim {

struct LogRecord {
    std::string stamp;    // "[03/07/2009 09:05:02]", or "" when the line has none
    std::string message;  // the rest of the line, without its CR LF
};

std::vector<LogRecord> LogRecords(std::string_view logBytes);
// The messages alone.
std::vector<std::string> LogMessages(std::string_view logBytes);

}  // namespace zq::sim
