// The records of a launcher log file, as the previews show them and the
// tests read them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/log_records.h"

namespace zq::sim {
namespace {

struct LogRow {
    const char* name;
    std::string bytes;
    std::vector<std::string> stamps;
    std::vector<std::string> messages;
};

TEST(SimLogRecords, SplitsStampsFromMessages) {
    const LogRow rows[] = {
        {"a stamped line",
         "[03/07/2009 09:05:02]+++       Starting : zqmerlesetup.exe\r\n",
         {"[03/07/2009 09:05:02]"},
         {"+++       Starting : zqmerlesetup.exe"}},
        {"the rest of a message that held a line end keeps its bracket",
         "[03/07/2009 09:05:02]Read Section:\r\n[Run] Key=1\r\n",
         {"[03/07/2009 09:05:02]", ""},
         {"Read Section:", "[Run] Key=1"}},
        {"a bracket that is no time stamp",
         "[03/07/2009]x\r\n[ab/07/2009 09:05:02]y\r\n",
         {"", ""},
         {"[03/07/2009]x", "[ab/07/2009 09:05:02]y"}},
        {"an empty message and an empty line",
         "[03/07/2009 09:05:02]\r\n\r\n",
         {"[03/07/2009 09:05:02]", ""},
         {"", ""}},
        {"a last line without its line end, and LF alone",
         "[03/07/2009 09:05:02]a\n[03/07/2009 09:05:03]b",
         {"[03/07/2009 09:05:02]", "[03/07/2009 09:05:03]"},
         {"a", "b"}},
        {"single-byte text stays as it is", "[03/07/2009 09:05:02]Caf\xE9\r\n", {"[03/07/2009 09:05:02]"}, {"Caf\xE9"}},
        {"an empty file", "", {}, {}},
    };
    for (const LogRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> stamps, messages;
        for (const LogRecord& record : LogRecords(row.bytes)) {
            stamps.push_back(record.stamp);
            messages.push_back(record.message);
        }
        EXPECT_EQ(stamps, row.stamps);
        EXPECT_EQ(messages, row.messages);
        EXPECT_EQ(LogMessages(row.bytes), row.messages);
    }
}

}  // namespace
}  // namespace zq::sim
