// The records of a launcher log file, as the previews show them and the
// tests read them.
#include <gtest/gtest.h>

#include "authoring/log_records.h"

namespace zq::sim {
namespace {

TEST(SimLogRecords, SplitsStampsFromMessages) {
    const std::string stamp = "[03/07/2009 09:05:02]";
    const struct {
        std::string bytes;
        std::vector<std::string> stamps, messages;
    } rows[] = {
        {stamp + "+++ Starting\r\n", {stamp}, {"+++ Starting"}},
        // The rest of a message that held a line end keeps its bracket.
        {stamp + "Read Section:\r\n[Run] Key=1\r\n", {stamp, ""}, {"Read Section:", "[Run] Key=1"}},
        {"[03/07/2009]x\r\n[ab/07/2009 09:05:02]y\r\n", {"", ""}, {"[03/07/2009]x", "[ab/07/2009 09:05:02]y"}},
        {stamp + "\r\n\r\n", {stamp, ""}, {"", ""}},
        {stamp + "a\n[03/07/2009 09:05:03]b", {stamp, "[03/07/2009 09:05:03]"}, {"a", "b"}},
        {stamp + "Caf\xE9\r\n", {stamp}, {"Caf\xE9"}},
        {"", {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
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
