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
#include "tests/support/sim_program.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(InteractiveRun, LogsAndJournalsAsBeforeManagedRuns) {
    const fs::path golden = fs::path(ZQ_SOURCE_DIR) / "tests" / "host" / "golden";
    const bool rewrite = std::getenv("ZQ_REWRITE_GOLDEN") != nullptr;
    for (const test::RunScenario& scenario : test::RunScenarios()) {
        for (const std::string argumentText : {"", "-log 511"}) {
            SCOPED_TRACE(scenario.name + " " + argumentText);
            std::unique_ptr<test::StandardMachine> machine = scenario.make();
            machine->config()["argumentText"] = argumentText;
            machine->Run();
            const std::string name = scenario.name + (argumentText.empty() ? "" : "-log-511");
            const std::pair<fs::path, std::string> files[] = {
                {golden / (name + ".log"), machine->Log()},
                {golden / (name + ".jsonl"), test::ReadText(machine->Machine().JournalPath())}};
            for (const auto& [reference, actual] : files) {
                ASSERT_FALSE(actual.empty()) << reference;
                if (rewrite) {
                    std::ofstream(reference, std::ios::binary) << actual;
                    continue;
                }
                ASSERT_TRUE(fs::exists(reference)) << reference << " is missing";
                // Line by line first, so that a difference names its line;
                // then the bytes, which also hold the line ends.
                const std::string expected = test::ReadText(reference);
                EXPECT_EQ(Lines(actual), Lines(expected)) << "against " << reference;
                EXPECT_EQ(actual, expected) << "against " << reference;
            }
        }
    }
}

}  // namespace
}  // namespace zq
