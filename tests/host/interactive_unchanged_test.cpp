// A run without "-quiet", "-norestart" or "-result" writes the very log and
// journal that it wrote before those switches existed: each scenario's log
// file and journal, byte for byte, against the reference files in
// tests/host/golden/ (taken from the launcher before managed runs).
#include <gtest/gtest.h>

#include "tests/support/run_scenarios.h"
#include "tests/support/sim_program.h"

namespace zq {
namespace {

TEST(InteractiveRun, LogsAndJournalsAsBeforeManagedRuns) {
    for (const test::RunScenario& scenario : test::RunScenarios()) {
        for (const std::string argumentText : {"", "-log 511"}) {
            SCOPED_TRACE(scenario.name + " " + argumentText);
            std::unique_ptr<test::StandardMachine> machine = scenario.make();
            machine->config()["argumentText"] = argumentText;
            machine->Run();
            const std::string name = scenario.name + (argumentText.empty() ? "" : "-log-511");
            test::ExpectGolden(name + ".log", machine->Log());
            test::ExpectGolden(name + ".jsonl", test::ReadText(machine->Machine().JournalPath()));
        }
    }
}

}  // namespace
}  // namespace zq
