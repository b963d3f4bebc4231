// A run without "-quiet", "-norestart" or "-result" writes the very log and
// journal that it wrote before those switches existed: each scenario's log
// file and journal, byte for byte, against the reference files in
// tests/host/golden/ (taken from the launcher before managed runs).
//
// An interactive run changes only through a decision about its behaviour.
// Then, and only then, write the reference files again with
// ZQ_REWRITE_GOLDEN=1 in the environment and review their diff.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = fs::path(ZQ_SOURCE_DIR) / "tests" / "host" / "golden";

std::string ReadHostFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Line by line first, so that a difference names its line; then the bytes,
// which also hold the line ends.
void ExpectSameAsReference(const std::string& actual, const fs::path& reference) {
    ASSERT_TRUE(fs::exists(reference)) << reference << " is missing";
    const std::string expected = ReadHostFile(reference);
    EXPECT_EQ(Lines(actual), Lines(expected)) << "against " << reference;
    EXPECT_EQ(actual, expected) << "against " << reference;
}

TEST(InteractiveRun, LogsAndJournalsAsBeforeManagedRuns) {
    const bool rewrite = std::getenv("ZQ_REWRITE_GOLDEN") != nullptr;
    for (const test::RunScenario& scenario : test::RunScenarios()) {
        SCOPED_TRACE(scenario.name);
        for (const std::string& argumentText : {std::string(""), std::string("-log 511")}) {
            SCOPED_TRACE(argumentText);
            std::unique_ptr<test::StandardMachine> machine = scenario.make();
            machine->config()["argumentText"] = argumentText;
            machine->Run();
            const std::string log = machine->Log();
            const std::string journal = ReadHostFile(machine->Machine().JournalPath());
            ASSERT_FALSE(journal.empty());
            const std::string name = scenario.name + (argumentText.empty() ? "" : "-log-511");
            if (rewrite) {
                std::ofstream(kGoldenDir / (name + ".log"), std::ios::binary) << log;
                std::ofstream(kGoldenDir / (name + ".jsonl"), std::ios::binary) << journal;
                continue;
            }
            ExpectSameAsReference(log, kGoldenDir / (name + ".log"));
            ExpectSameAsReference(journal, kGoldenDir / (name + ".jsonl"));
        }
    }
}

}  // namespace
}  // namespace zq
