// One check for a journal event (or any JSON object) in host tests:
//
//   EXPECT_TRUE(HasFields(machine.Events("printerAdded").at(0), {{"name", "Office"}, {"ok", true}}));
//
// Fields not named may be there too; a failure shows the whole event.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace zq::test {

inline testing::AssertionResult HasFields(const nlohmann::json& event, const nlohmann::json& fields) {
    for (const auto& field : fields.items()) {
        if (!event.contains(field.key()) || event[field.key()] != field.value())
            return testing::AssertionFailure()
                   << "\"" << field.key() << "\" is not " << field.value().dump() << " in " << event.dump();
    }
    return testing::AssertionSuccess();
}

}  // namespace zq::test
