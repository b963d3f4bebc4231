// Result files of managed runs in the host tests: every one that a test
// reads is first checked against docs/result-file.schema.json by
// tests/host/validate_json.py, which uses Debian's python3-jsonschema.
//
//   machine.Run("-quiet -norestart -result C:\\Results\\result.json");
//   nlohmann::json result = ReadResultFile(machine, "C:\\Results\\result.json");
//   EXPECT_EQ(result["exitCode"], 3010);
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/test_machine.h"

namespace zq::test {

struct SchemaCheck {
    int status = -1;     // 0 valid, 1 invalid, 2 the validator could not run
    std::string output;  // the validator's messages
};

inline const std::filesystem::path kResultSchema =
    std::filesystem::path(ZQ_SOURCE_DIR) / "docs" / "result-file.schema.json";

// Runs the validator with a schema on host files; its messages begin with
// the name of the file they are about.
SchemaCheck CheckAgainstSchema(const std::filesystem::path& schema, const std::vector<std::filesystem::path>& files);

// The result file at a Windows path of the machine, parsed. A missing file,
// one that is not valid against the schema, and a validator that cannot run
// are test failures (the answer is then null).
nlohmann::json ReadResultFile(const TestMachine& machine, const std::string& windowsPath);

}  // namespace zq::test
