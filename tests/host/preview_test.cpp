// The preview: the example package on every example machine (the output of
// --preview against tests/host/golden/preview-examples.txt; set
// ZQ_REWRITE_GOLDEN to write it anew), and summaries made from journals and
// logs as the simulated machine writes them.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "authoring/package_preview.h"
#include "tests/support/run_scenarios.h"
#include "tests/support/sim_program.h"
#include "tests/support/temporary_folder.h"

namespace zq::sim {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kExamples = fs::path(ZQ_SOURCE_DIR) / "examples";
const fs::path kPackage = kExamples / "package";

// Every file below a folder with its content.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[fs::relative(entry.path(), folder).string()] = entry.is_regular_file() ? test::ReadText(entry) : "<dir>";
    return files;
}

// Interactive runs, and managed runs as each argument text asks.
TEST(PreviewExamples, TheExamplePackageOnEveryExampleMachine) {
    const std::map<std::string, std::string> before = Snapshot(kExamples);
    test::TemporaryFolder scratch;
    std::string all;
    for (const std::string argumentText : {"", "-quiet -norestart", "-quiet", "-norestart"}) {
        std::vector<std::string> arguments = {"--preview", kPackage.string()};  // the example machines by default
        if (!argumentText.empty()) {
            const fs::path machines = scratch.Dir() / std::to_string(all.size());
            fs::copy(kExamples / "machines", machines, fs::copy_options::recursive);
            for (const auto& machine : fs::directory_iterator(machines)) {
                json config = json::parse(test::ReadText(machine.path() / "machine.json"));
                config["argumentText"] = argumentText;
                std::ofstream(machine.path() / "machine.json", std::ios::trunc) << config.dump(2);
            }
            arguments.push_back(machines.string());
        }
        const test::ProgramResult result = test::RunSim(arguments, scratch.Dir());
        ASSERT_EQ(result.status, 0) << result.err;
        all += "#### argumentText \"" + argumentText + "\"\n" + result.out;
    }
    test::ExpectGolden("preview-examples.txt", all);
    EXPECT_EQ(Snapshot(kExamples), before) << "the previews changed the example folders";

    // A machine folder named alone is the one machine.
    const fs::path xp64 = kExamples / "machines" / "xp64-sp2";
    const test::ProgramResult one = test::RunSim({"--preview", kPackage.string(), xp64.string()}, scratch.Dir());
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out.rfind("== xp64-sp2: Windows 5.2", 0), 0u) << one.out;
    EXPECT_NE(all.find(one.out), std::string::npos) << one.out;
    // No package, and a folder without machines.
    fs::create_directory(scratch.Dir() / "empty");
    EXPECT_EQ(test::RunSim({"--preview", (scratch.Dir() / "none").string()}, scratch.Dir()).status, 2);
    EXPECT_EQ(test::RunSim({"--preview", kPackage.string(), (scratch.Dir() / "empty").string()}, scratch.Dir()).status,
              2);
}

json Event(const std::string& name, json fields = json::object()) {
    fields["event"] = name;
    return fields;
}

// What the example machines do not show: failed starts and printer
// changes, a restored printer, a second instance, a registry key read
// again (listed once per answer) and a read without a view (a 32-bit
// machine's, not listed).
TEST(PreviewSummary, VerdictProgramsPrintersAndRestart) {
    auto started = [](const std::string& commandLine, bool ok = true, int error = 0) {
        return Event("processStart", {{"commandLine", commandLine}, {"started", ok}, {"error", error}});
    };
    auto read = [](json view, bool found) {
        return Event("registryRead", {{"key", "HKLM\\P"}, {"view", view}, {"found", found}});
    };
    const json finish = Event("finishScreenShown", {{"headline", "Refreshed"}});
    const std::vector<std::string> valid = {"Valid OS found. OS: 501"};
    const PreviewSummary ran = SummariseRun(
        {Event("start"), started("\"c:\\pkg\\setup\\a.exe\""), started("c:\\pkg\\setup\\gone.exe /q", false, 2),
         Event("printerDeleted", {{"name", "Office"}, {"ok", true}}),
         started("rundll32 printui.dll,PrintUIEntry /if /b \"Office\" /f \"d.inf\" /r \"IP_1\" /m \"M\""),
         Event("printerAdded", {{"name", "Office"}, {"port", "IP_1"}, {"driver", "M"}, {"ok", false}}),
         Event("printerRestored", {{"name", "Office"}, {"port", "IP_1"}, {"driver", "Old"}, {"ok", true}}),
         Event("printerDeleted", {{"name", "Lab"}, {"ok", false}}), read("64-bit", false), read("64-bit", false),
         read("64-bit", true), read(nullptr, true), finish, Event("restartRequested", {{"flags", 18}}), Event("exit")},
        valid);
    EXPECT_EQ(ran.verdict, PreviewVerdict::Ran);
    EXPECT_EQ(ran.osEntry, "501");
    EXPECT_FALSE(ran.message.has_value());
    EXPECT_EQ(ran.programs, (std::vector<std::string>{"\"c:\\pkg\\setup\\a.exe\"",
                                                      "c:\\pkg\\setup\\gone.exe /q (not started: error 2)"}));
    EXPECT_EQ(ran.printers, (std::vector<std::string>{"deleted Office", "added Office on IP_1 (M) (failed)",
                                                      "restored Office on IP_1 (Old)", "deleted Lab (failed)"}));
    EXPECT_EQ(ran.registry, (std::vector<std::string>{"HKLM\\P (64-bit view, not found)", "HKLM\\P (64-bit view)"}));
    EXPECT_TRUE(ran.restartRequested);

    const PreviewSummary second = SummariseRun({Event("start"), Event("exit")},
                                               {"## Mutex exist: An instance of the same Application is running."});
    EXPECT_EQ(second.verdict, PreviewVerdict::Refused);
    EXPECT_EQ(second.osEntry, "");
}

}  // namespace
}  // namespace zq::sim
