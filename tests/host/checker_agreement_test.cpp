// The package checker and the launcher read one settings file alike. Each
// row is a settings file; what the checker reports about it (its findings,
// the only thing an author sees) is set against what the launcher does with
// the same file on simulated machines (its log and journal). A rule that
// changes on one side and not on the other fails a row here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "base/text.h"
#include "authoring/package_checker.h"
#include "tests/support/scenario.h"

namespace zq {
namespace {

using nlohmann::json;
using sim::Finding;
using test::SettingsFile;
using test::StandardMachine;

// How the checker shows the package folder, and the launcher's current
// folder there (as a lowered command line holds it).
const std::string kShownPackage = "<package folder>";
const std::string kLoweredPackage = "c:\\package";

// The checker's view of the package folder: the machine's C:\Package.
sim::PackageEntryExists PackageOf(const test::TestMachine& machine) {
    return [&machine](const std::vector<WString>& components, bool folder) {
        std::string path = "C:\\Package";
        for (const WString& component : components) path += "\\" + Utf16ToUtf8(component);
        const std::filesystem::path host = machine.HostPath(path);
        return folder ? std::filesystem::is_directory(host) : std::filesystem::is_regular_file(host);
    };
}

std::vector<Finding> Check(const test::TestMachine& machine, const SettingsFile& settings) {
    const std::string text = settings.Text();
    return sim::CheckSettingsFile(text, PackageOf(machine));
}

std::vector<const Finding*> WithCode(const std::vector<Finding>& findings, const std::string& code) {
    std::vector<const Finding*> found;
    for (const Finding& finding : findings)
        if (finding.code == code) found.push_back(&finding);
    return found;
}

bool Has(const std::vector<Finding>& findings, const std::string& code) { return !WithCode(findings, code).empty(); }

// The text between `before` and the next `after` in a finding's problem.
std::optional<std::string> Between(const std::string& text, const std::string& before, const std::string& after) {
    const std::size_t start = text.find(before);
    if (start == std::string::npos) return std::nullopt;
    const std::size_t end = text.find(after, start + before.size());
    if (end == std::string::npos) return std::nullopt;
    return text.substr(start + before.size(), end - start - before.size());
}

std::string WithShownPackage(std::string text) {
    if (text.rfind(kLoweredPackage, 0) == 0) text.replace(0, kLoweredPackage.size(), kShownPackage);
    return text;
}

// ---- the supported systems ---------------------------------------------------

struct Windows {
    const char* name;
    unsigned major, minor;
    int bits;
};

const Windows kMachines[] = {
    {"5.1 32-bit", 5, 1, 32}, {"5.2 64-bit", 5, 2, 64}, {"6.0 32-bit", 6, 0, 32}, {"6.0 64-bit", 6, 0, 64},
    {"6.1 64-bit", 6, 1, 64}, {"6.2 32-bit", 6, 2, 32}, {"6.2 64-bit", 6, 2, 64},
};

std::string VersionText(const Windows& windows) {
    return std::to_string(windows.major) + "." + std::to_string(windows.minor);
}

struct LauncherVerdict {
    bool accepted = false;
    bool ranX64 = false;  // the programs of Run.x64 rather than Run
};

LauncherVerdict RunOn(const Windows& windows, const SettingsFile& settings) {
    StandardMachine machine(settings);
    machine.config()["os"] = {{"major", windows.major}, {"minor", windows.minor}, {"bits", windows.bits}};
    machine.Run();
    const std::vector<std::string> log = machine.LogMessages();
    LauncherVerdict verdict;
    verdict.accepted = !test::LinesStartingWith(log, "Valid OS found. OS: ").empty();
    verdict.ranX64 = test::Contains(log, "Calling RunSectionExe() with Parameter .x64 for 64 bit OS");
    return verdict;
}

// One entry alone in os_list. The checker says that an entry never
// matches, or which Run section its systems need, and (for an entry with
// more than "_64" after its three digits) which version and word size it
// is read as; the launcher accepts it on one machine or on none, and runs
// one of the sections there.
TEST(CheckerAgreement, OneOsEntryMeansTheSameToTheCheckerAndTheLauncher) {
    // (The profile read trims the value: a blank before the first entry
    // comes with a list, below.)
    const char* entries[] = {
        "501", "501_64", "502_64", "600",   "600_64", "6001", "601x_64", "600 _64",  "60a",
        "abc", "-502",   "602",    "501_6", "5_64",   "_64",  "6010_64", "602\t_64", "501x_64",
    };
    for (const char* entry : entries) {
        SCOPED_TRACE(std::string("os_list=") + entry);
        // Neither Run section: the checker names the one each system needs.
        const SettingsFile settings = SettingsFile::Basic().Set("OS_Support", "os_list", entry);
        test::TestMachine package;
        package.MakeFolder("C:\\Package");
        const std::vector<Finding> findings = Check(package, settings);

        const bool neverMatches =
            Has(findings, "os-entry-blank") || Has(findings, "os-entry-not-digits") || Has(findings, "os-list-missing");
        const bool needsRun = Has(findings, "run-missing");
        const bool needsRunX64 = Has(findings, "run-x64-missing");
        std::optional<std::string> readAs;
        for (const Finding* suffix : WithCode(findings, "os-entry-suffix"))
            readAs = Between(suffix->problem, "read as version ", "-bit systems");

        if (neverMatches) {
            EXPECT_FALSE(needsRun || needsRunX64) << "an entry that never matches needs no programs";
        } else {
            EXPECT_NE(needsRun, needsRunX64) << "an entry is for one word size";
        }

        int acceptedOn = 0;
        for (const Windows& windows : kMachines) {
            SCOPED_TRACE(windows.name);
            const LauncherVerdict verdict = RunOn(windows, settings);
            if (!verdict.accepted) continue;
            ++acceptedOn;
            EXPECT_FALSE(neverMatches) << "the launcher accepts an entry that the checker says never matches";
            EXPECT_EQ(verdict.ranX64, windows.bits == 64);
            EXPECT_EQ(needsRunX64, verdict.ranX64) << "the checker asks for the other Run section";
            if (readAs) {
                EXPECT_EQ(*readAs, VersionText(windows) + " for " + std::to_string(windows.bits));
            }
        }
        // Every version of the rows has a machine above.
        EXPECT_EQ(acceptedOn, neverMatches ? 0 : 1) << "whether the entry matches some Windows";
    }
}

// The launcher's os_list entries are the sections "OS_Support.<entry>" that
// it reads the service pack from, in order; the checker quotes each entry
// it finds fault with. In these lists every entry has a fault.
TEST(CheckerAgreement, TheCheckerSplitsOsListAsTheLauncherDoes) {
    const char* lists[] = {
        "abc, 600,, 501_64,x", ",,-502,", "60a, 70,6001x,,,", "601x\t_64,602 _64, ,", ",",
    };
    for (const char* list : lists) {
        SCOPED_TRACE(std::string("os_list=") + list);
        const SettingsFile settings =
            SettingsFile::Basic().Set("OS_Support", "os_list", list).Set("Run", "1", "setup\\zqprep.exe");

        StandardMachine machine(settings);
        machine.Run();
        std::vector<std::string> tried;
        for (const std::string& line : test::LinesStartingWith(machine.LogMessages(), "Read Section:[OS_Support.")) {
            std::optional<std::string> entry = Between(line, "[OS_Support.", "] Key=ServicePack_MajorVersion ");
            if (entry && !entry->empty()) tried.push_back(*entry);
        }

        std::vector<std::string> quoted;
        for (const Finding& finding : Check(machine, settings)) {
            if (finding.code.rfind("os-entry-", 0) != 0) continue;
            quoted.push_back(Between(finding.problem, "Entry \"", "\" ").value_or("?"));
        }
        EXPECT_EQ(quoted, tried);
        if (tried.empty()) {
            EXPECT_TRUE(Has(Check(machine, settings), "os-list-missing"));
        }
    }
}

// An override section replaces [Run] 1 (setup\zqprep.exe) with
// setup\zqstage.exe on the system of one entry. The checker says when such
// a section is never read; the launcher starts setup\zqstage.exe on a
// machine where the entry matched exactly when it read the section.
TEST(CheckerAgreement, TheCheckerKnowsWhichOverrideSectionTheLauncherReads) {
    struct OverrideRow {
        const char* osList;
        const char* section;
    };
    const OverrideRow rows[] = {
        {"501", "Run.501"},           {"501", "run.501"},           {"501", "Run.502"},        {"501", "Run.x64.501"},
        {"600_64", "Run.x64.600_64"}, {"600_64", "Run.600_64"},     {"600_64", "Run.x64.600"}, {"600", "Run.x64.600"},
        {"501_64", "Run.x64.501_64"}, {"501_64", "Run.x64.502_64"}, {"abc,501", "Run.abc"},    {"501", "Run."},
        {"501", "Run..501"},          {"6001", "Run.6001"},         {"6001", "Run.600"},
    };
    for (const OverrideRow& row : rows) {
        SCOPED_TRACE(std::string("os_list=") + row.osList + " [" + row.section + "]");
        const SettingsFile settings = SettingsFile::Basic()
                                          .Set("OS_Support", "os_list", row.osList)
                                          .Set("Run", "1", "setup\\zqprep.exe")
                                          .Set("Run.x64", "1", "setup\\zqprep.exe")
                                          .Set(row.section, "1", "setup\\zqstage.exe");
        test::TestMachine package;
        package.WriteFile("C:\\Package\\setup\\zqprep.exe", "MZ");
        package.WriteFile("C:\\Package\\setup\\zqstage.exe", "MZ");
        const std::vector<Finding> findings = Check(package, settings);
        const bool neverRead = Has(findings, "override-unknown-entry") || Has(findings, "override-wrong-word-size");

        int readOn = 0;
        for (const Windows& windows : kMachines) {
            StandardMachine machine(settings);
            machine.config()["os"] = {{"major", windows.major}, {"minor", windows.minor}, {"bits", windows.bits}};
            machine.WriteFile("C:\\Package\\setup\\zqprep.exe", "MZ");
            machine.WriteFile("C:\\Package\\setup\\zqstage.exe", "MZ");
            machine.Run();
            for (const json& start : machine.Events("processStart"))
                if (start["commandLine"] == "setup\\zqstage.exe") ++readOn;
        }
        EXPECT_EQ(readOn, neverRead ? 0 : 1) << "machines on which the launcher read the section";
    }
}

// ---- the programs ----------------------------------------------------------------

struct ProgramRow {
    const char* commandLine;  // [Run] 1, on a package that has setup\zqprep.exe and setup\zqstage.exe
};

// What the launcher did with [Run] 1 on Windows 5.1 (where the printer
// update does its work): the printer update ran, with the INF file it
// looked for; or a program started, under the copy dialog or not.
struct LauncherProgram {
    bool plugin = false;
    std::optional<std::string> infFileMissing;
    bool started = false;
    bool copyDialog = false;
};

LauncherProgram RunProgram(StandardMachine& machine) {
    machine.Run();
    const std::vector<std::string> log = machine.LogMessages();
    LauncherProgram program;
    program.plugin = test::Contains(log, ">> Stating UpdateDriver Plug-in");
    for (const std::string& line : test::LinesStartingWith(log, "## INF file not found : "))
        program.infFileMissing = WithShownPackage(line.substr(std::string("## INF file not found : ").size()));
    for (const json& start : machine.Events("processStart"))
        if (start["started"] == true) program.started = true;
    program.copyDialog = !machine.Events("copyDialogShown").empty();
    return program;
}

// The INF file that the checker says the printer update will not find.
std::optional<std::string> CheckerInfFile(const std::vector<Finding>& findings) {
    for (const Finding* missing : WithCode(findings, "lanpatch-inf-missing"))
        return Between(missing->problem, "INF path \"", "\" names no file").value_or("");
    for (const Finding* quoted : WithCode(findings, "lanpatch-inf-quoted"))
        return Between(quoted->problem, "The INF path ", " holds a double quote");
    return std::nullopt;
}

// The checker knows an entry for the printer update by the missing
// [UpdateDrivers] it then asks for, and tells the INF path it found
// missing; the launcher runs the printer update and logs the INF file it
// did not find. A "zqstage" that the checker calls mis-spelt shows no copy
// dialog, and one it leaves alone does.
TEST(CheckerAgreement, TheCheckerTellsProgramsAndPrinterUpdatesApartAsTheLauncherDoes) {
    const ProgramRow rows[] = {
        {"setup\\zqprep.exe"},
        {"setup\\zqstage.exe"},
        {"setup\\ZQSTAGE.exe"},
        {"setup\\ZqStage.exe /q"},
        {"%sourcepath%setup\\zqstage.exe"},
        {"lanpatch.exe driver\\missing.inf"},
        {"LanPatch.EXE Driver\\Missing.INF"},
        {"setup\\zqprep.exe lanpatch.exe"},
        {"lanpatch.exe"},
        {"setup\\lanpatch.exe"},
        {"lanpatch.exe  \"driver\\missing.inf\"  "},
        {"lanpatch.exe %sourcepath%driver\\missing.inf"},
        {"lanpatch.exe driver\\lanpatch.exe\\missing.inf"},
        {"lanpatch.exe driver\"\\missing.inf"},
        {"LANPATCH.EXE.bak driver\\missing.inf"},
        {"lanpatch.ex driver\\missing.inf"},
    };
    for (const ProgramRow& row : rows) {
        SCOPED_TRACE(std::string("Run 1=") + row.commandLine);
        const SettingsFile settings = SettingsFile::Basic().Set("Run", "1", row.commandLine);
        StandardMachine machine(settings);
        machine.WriteFile("C:\\Package\\setup\\zqprep.exe", "MZ");
        machine.WriteFile("C:\\Package\\setup\\zqstage.exe", "MZ");
        machine.MakeFolder("C:\\Package\\driver");
        const std::vector<Finding> findings = Check(machine, settings);
        const LauncherProgram launcher = RunProgram(machine);

        EXPECT_EQ(Has(findings, "update-drivers-missing"), launcher.plugin) << "printer update or program";
        if (launcher.plugin) {
            EXPECT_FALSE(launcher.started);
        }
        if (launcher.plugin) {
            EXPECT_EQ(CheckerInfFile(findings), launcher.infFileMissing) << "the INF file looked for";
        } else {
            EXPECT_EQ(CheckerInfFile(findings), std::nullopt);
            const bool namesZqstage = Contains(ToLowerAscii(Utf8ToUtf16(row.commandLine)), L"zqstage");
            if (namesZqstage) {
                EXPECT_NE(Has(findings, "zqstage-case"), launcher.copyDialog) << "copy dialog";
            } else {
                EXPECT_FALSE(launcher.copyDialog || Has(findings, "zqstage-case"));
            }
        }
    }
}

}  // namespace
}  // namespace zq
