// The package checker and the launcher read one settings file alike: what
// the checker finds in each row's file is set against what the launcher does
// with it on simulated machines, so a rule changed on one side only fails.
#include <gtest/gtest.h>

#include <optional>

#include "base/text.h"
#include "authoring/checker_report.h"
#include "authoring/package_checker.h"
#include "tests/support/scenario.h"

namespace zq {
namespace {

using nlohmann::json;
using sim::Finding;
using test::SettingsFile;

struct Windows {
    unsigned major, minor;
    int bits;
};
const Windows kMachines[] = {{5, 1, 32}, {5, 2, 64}, {6, 0, 32}, {6, 0, 64}, {6, 1, 64}, {6, 2, 32}, {6, 2, 64}};

// What the launcher did on one machine whose package holds setup\zqprep.exe,
// setup\zqstage.exe and the folder driver, and what the checker finds in
// the same package.
struct Outcome {
    std::vector<std::string> log;
    std::vector<json> starts;
    bool copyDialog = false;
    std::vector<Finding> findings;

    bool Has(const std::string& code) const { return Problem(code).has_value(); }
    std::optional<std::string> Problem(const std::string& code) const {
        for (const Finding& finding : findings)
            if (finding.code == code) return finding.problem;
        return std::nullopt;
    }
};

Outcome RunOn(const SettingsFile& settings, const Windows& windows = kMachines[0]) {
    test::StandardMachine machine(settings);
    machine.config()["os"] = {{"major", windows.major}, {"minor", windows.minor}, {"bits", windows.bits}};
    machine.WriteFile("C:\\Package\\setup\\zqprep.exe", "MZ");
    machine.WriteFile("C:\\Package\\setup\\zqstage.exe", "MZ");
    machine.MakeFolder("C:\\Package\\driver");
    const auto findings =
        sim::CheckSettingsFile(settings.Text(), sim::HostPackageFolder(machine.HostPath("C:\\Package")));
    machine.Run();
    return {machine.LogMessages(), machine.Events("processStart"), !machine.Events("copyDialogShown").empty(),
            findings};
}

// The text between `before` and the next `after`.
std::optional<std::string> Between(const std::string& text, const std::string& before, const std::string& after) {
    const std::size_t start = text.find(before);
    const std::size_t end = start == std::string::npos ? start : text.find(after, start + before.size());
    if (end == std::string::npos) return std::nullopt;
    return text.substr(start + before.size(), end - start - before.size());
}

// One entry alone in os_list (a blank before it comes with a list, below),
// and neither Run section. The checker says that it never matches, or which
// Run section its systems need and (os-entry-suffix) which version and word
// size it is read as; the launcher accepts it on one machine or on none.
TEST(CheckerAgreement, OneOsEntryMeansTheSameToTheCheckerAndTheLauncher) {
    for (const char* entry : {"501", "501_64", "600_64", "6001", "601x_64", "600 _64", "60a", "-502", "602", "501_6",
                              "_64", "6010_64", "602\t_64"}) {
        SCOPED_TRACE(std::string("os_list=") + entry);
        const SettingsFile settings = SettingsFile::Basic().Set("OS_Support", "os_list", entry);
        const Outcome checked = RunOn(settings);
        const bool neverMatches =
            checked.Has("os-entry-blank") || checked.Has("os-entry-not-digits") || checked.Has("os-list-missing");
        const bool needsRunX64 = checked.Has("run-x64-missing");
        EXPECT_EQ(checked.Has("run-missing") + needsRunX64, neverMatches ? 0 : 1) << "Run sections asked for";
        const std::optional<std::string> readAs =
            Between(checked.Problem("os-entry-suffix").value_or(""), "read as version ", "-bit systems");

        int acceptedOn = 0;
        for (const Windows& windows : kMachines) {
            const std::string version = std::to_string(windows.major) + "." + std::to_string(windows.minor);
            SCOPED_TRACE(version + " " + std::to_string(windows.bits) + "-bit");
            const std::vector<std::string> log = RunOn(settings, windows).log;
            if (test::LinesStartingWith(log, "Valid OS found. OS: ").empty()) continue;
            ++acceptedOn;
            const bool ranX64 = test::Contains(log, "Calling RunSectionExe() with Parameter .x64 for 64 bit OS");
            EXPECT_EQ(ranX64, windows.bits == 64);
            EXPECT_EQ(needsRunX64, ranX64) << "the checker asks for the other Run section";
            const std::string expected = version + " for " + std::to_string(windows.bits);
            EXPECT_EQ(readAs.value_or(expected), expected) << "the version and word size the entry is read as";
        }
        // Every version of the rows has a machine above.
        EXPECT_EQ(acceptedOn, neverMatches ? 0 : 1) << "whether the entry matches some Windows";
    }
}

// The launcher reads the service pack of each os_list entry, in order, from
// "OS_Support.<entry>"; the checker quotes each entry (all faulty here).
TEST(CheckerAgreement, TheCheckerSplitsOsListAsTheLauncherDoes) {
    for (const char* list : {"abc, 600,, 501_64,x", ",,-502,", "60a, 70,6001x,,,", "601x\t_64,602 _64, ,", ","}) {
        SCOPED_TRACE(std::string("os_list=") + list);
        const Outcome outcome =
            RunOn(SettingsFile::Basic().Set("OS_Support", "os_list", list).Set("Run", "1", "setup\\zqprep.exe"));
        std::vector<std::string> tried, quoted;
        for (const std::string& line : test::LinesStartingWith(outcome.log, "Read Section:[OS_Support.")) {
            const auto entry = Between(line, "[OS_Support.", "] Key=ServicePack_MajorVersion ");
            if (entry && !entry->empty()) tried.push_back(*entry);
        }
        for (const Finding& finding : outcome.findings)
            if (finding.code.rfind("os-entry-", 0) == 0)
                quoted.push_back(Between(finding.problem, "Entry \"", "\" ").value_or("?"));
        EXPECT_EQ(quoted, tried);
        EXPECT_EQ(outcome.Has("os-list-missing"), tried.empty());
    }
}

// An override section replaces [Run] 1 with setup\zqstage.exe on the system
// of one entry: the launcher starts it on one machine unless the checker says
// that the section is never read.
TEST(CheckerAgreement, TheCheckerKnowsWhichOverrideSectionTheLauncherReads) {
    const std::pair<const char*, const char*> rows[] = {
        {"501", "Run.501"},           {"501", "run.501"},       {"501", "Run.502"},        {"501", "Run.x64.501"},
        {"600_64", "Run.x64.600_64"}, {"600_64", "Run.600_64"}, {"600_64", "Run.x64.600"}, {"600", "Run.x64.600"},
        {"abc,501", "Run.abc"},       {"501", "Run."},          {"6001", "Run.6001"},      {"6001", "Run.600"},
    };
    for (const auto& [osList, section] : rows) {
        SCOPED_TRACE(std::string("os_list=") + osList + " [" + section + "]");
        const SettingsFile settings = SettingsFile::Basic()
                                          .Set("OS_Support", "os_list", osList)
                                          .Set("Run", "1", "setup\\zqprep.exe")
                                          .Set("Run.x64", "1", "setup\\zqprep.exe")
                                          .Set(section, "1", "setup\\zqstage.exe");
        bool neverRead = false;
        int readOn = 0;
        for (const Windows& windows : kMachines) {
            const Outcome outcome = RunOn(settings, windows);
            neverRead = outcome.Has("override-unknown-entry") || outcome.Has("override-wrong-word-size");
            for (const json& start : outcome.starts) readOn += start["commandLine"] == "setup\\zqstage.exe";
        }
        EXPECT_EQ(readOn, neverRead ? 0 : 1) << "machines on which the launcher read the section";
    }
}

// [Run] 1 on Windows 5.1. The checker asks for [UpdateDrivers] exactly for a
// printer update, and names the INF path that the launcher's printer update
// logs as not found. A "zqstage" that the checker calls mis-spelt shows no
// copy dialog, and one it leaves alone does.
TEST(CheckerAgreement, TheCheckerTellsProgramsAndPrinterUpdatesApartAsTheLauncherDoes) {
    for (const char* commandLine :
         {"setup\\zqprep.exe", "setup\\zqstage.exe", "setup\\ZQSTAGE.exe", "setup\\ZqStage.exe /q",
          "%sourcepath%setup\\zqstage.exe", "lanpatch.exe driver\\missing.inf", "setup\\zqprep.exe lanpatch.exe",
          "lanpatch.exe", "setup\\lanpatch.exe", "lanpatch.exe  \"driver\\missing.inf\"  ",
          "lanpatch.exe %sourcepath%driver\\missing.inf", "lanpatch.exe driver\\lanpatch.exe\\missing.inf",
          "lanpatch.exe driver\"\\missing.inf", "LANPATCH.EXE.bak driver\\missing.inf"}) {
        SCOPED_TRACE(std::string("Run 1=") + commandLine);
        const Outcome outcome = RunOn(SettingsFile::Basic().Set("Run", "1", commandLine));
        const bool plugin = test::Contains(outcome.log, ">> Stating UpdateDriver Plug-in");
        EXPECT_EQ(outcome.Has("update-drivers-missing"), plugin) << "printer update or program";

        // The INF file that the checker says the printer update will not find.
        std::optional<std::string> checkerInf, launcherInf;
        if (const auto missing = outcome.Problem("lanpatch-inf-missing"))
            checkerInf = Between(*missing, "INF path \"", "\" names no file").value_or("");
        if (const auto quoted = outcome.Problem("lanpatch-inf-quoted"))
            checkerInf = Between(*quoted, "The INF path ", " holds a double quote");
        for (std::string line : test::LinesStartingWith(outcome.log, "## INF file not found : ")) {
            line.erase(0, std::string("## INF file not found : ").size());
            if (line.rfind("c:\\package", 0) == 0) line.replace(0, 10, "<package folder>");
            launcherInf = line;
        }
        EXPECT_EQ(checkerInf, launcherInf) << "the INF file looked for";

        bool started = false;
        for (const json& start : outcome.starts) started = started || start["started"] == true;
        if (plugin) {
            EXPECT_FALSE(started);
        } else if (Contains(ToLowerAscii(Utf8ToUtf16(commandLine)), L"zqstage")) {
            EXPECT_NE(outcome.Has("zqstage-case"), outcome.copyDialog) << "copy dialog";
        } else {
            EXPECT_FALSE(outcome.copyDialog || outcome.Has("zqstage-case"));
        }
    }
}

}  // namespace
}  // namespace zq
