// The example package previewed on every example machine: what each run
// does, and that the machine folders stay as they were.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "authoring/package_preview.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ZQ_SOURCE_DIR) / "examples";

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every file below a folder with its content.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files[fs::relative(entry.path(), folder).string()] = entry.is_regular_file() ? ReadText(entry.path()) : "<dir>";
    }
    return files;
}

struct MachineRow {
    const char* machine;
    PreviewVerdict verdict;
    std::string osEntry;
    std::optional<std::string> message;
    std::vector<std::string> programs;
    std::vector<std::string> printers;
    std::optional<std::string> headline;
    bool restart;
    std::vector<std::string> registry = {};  // 64-bit machines: the keys read, with their view
};

const std::string kPrep = "\"c:\\package\\setup\\zqprep.exe\"";
const std::string kStage = "\"c:\\package\\setup\\zqstage.exe\"";
const std::string kDrv = "\"c:\\package\\setup\\zqdrv.exe\"";
const std::string kDrv64 = "\"c:\\package\\setup\\zqdrv64.exe\"";
const std::string kEnglishHeadline = "The ZQ Merle printer driver has been refreshed";
// The product's uninstall key, read in the default view: a 32-bit program's.
const std::string kUninstall32 =
    "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ (32-bit view, not found)";
const std::string kPrinters = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

TEST(PreviewExamples, TheExamplePackageOnEveryExampleMachine) {
    const MachineRow rows[] = {
        {"default",
         PreviewVerdict::Ran,
         "501",
         std::nullopt,
         {kPrep, kStage, "C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe", kDrv},
         {"deleted ZQ Merle 5400 Office", "added ZQ Merle 5400 Office on IP_10.0.0.5 (ZQ Merle 5400 Series)"},
         kEnglishHeadline,
         true},
        // The printer update refuses any Windows but 5.x: Vista's printers stay.
        {"vista64-sp2",
         PreviewVerdict::Ran,
         "600_64",
         std::nullopt,
         {kPrep, kStage, kDrv64},
         {},
         kEnglishHeadline,
         true,
         {kUninstall32}},
        // Windows 10 reports 6.2, which the example's os_list does not name.
        {"win10-64",
         PreviewVerdict::UnsupportedWindows,
         "",
         "This package cannot be installed on this version of Windows.",
         {},
         {},
         std::nullopt,
         false},
        {"xp-german",
         PreviewVerdict::Ran,
         "501",
         std::nullopt,
         {kPrep, kStage, "C:\\Programme\\Zelt\\Pictavo\\Bin\\zqnotify.exe", kDrv},
         {"deleted ZQ Merle 5400 Buero", "added ZQ Merle 5400 Buero on IP_192.168.1.20 (ZQ Merle 5400 Series)"},
         "Der ZQ Merle Druckertreiber wurde aktualisiert",
         true},
        {"xp-no-driver",
         PreviewVerdict::DriverNotInstalled,
         "501",
         "No ZQ Merle printer driver is installed on this computer.\nInstall the driver first, then run this package "
         "again.",
         {},
         {},
         std::nullopt,
         false},
        {"xp64-sp2",
         PreviewVerdict::Ran,
         "502_64",
         std::nullopt,
         {kPrep, kStage, "C:\\Program Files (x86)\\Zelt\\Pictavo\\Bin\\zqnotify.exe", kDrv64},
         {"deleted ZQ Merle 5400 Office", "added ZQ Merle 5400 Office on IP_10.0.0.5 (ZQ Merle 5400 Series)",
          "deleted ZQ Merle 5400 Lab", "added ZQ Merle 5400 Lab on IP_10.0.0.17 (ZQ Merle 5400 Series)"},
         kEnglishHeadline,
         true,
         // The imaging software where a 32-bit program finds it; the printers'
         // identifiers in the shared SYSTEM key, opened with the 64-bit flag.
         {"HKLM\\SOFTWARE\\Wow6432Node\\Zelt\\Pictavo (32-bit view)",
          kPrinters + "ZQ Merle 5400 Office\\PrinterDriverData (64-bit view)",
          kPrinters + "ZQ Merle 5400 Lab\\PrinterDriverData (64-bit view)", kUninstall32}},
    };
    const std::map<std::string, std::string> before = Snapshot(kExamples);

    std::vector<std::string> machines;
    for (const fs::path& folder : MachineFolders(kExamples / "machines"))
        machines.push_back(folder.filename().string());
    std::vector<std::string> covered;
    for (const MachineRow& row : rows) covered.push_back(row.machine);
    EXPECT_EQ(machines, covered) << "every example machine has a row";

    for (const MachineRow& row : rows) {
        SCOPED_TRACE(row.machine);
        const MachinePreview preview = PreviewOnMachine(kExamples / "package", kExamples / "machines" / row.machine);
        ASSERT_TRUE(preview.summary) << preview.error;
        const PreviewSummary& summary = *preview.summary;
        EXPECT_EQ(summary.verdict, row.verdict);
        EXPECT_EQ(summary.osEntry, row.osEntry);
        EXPECT_EQ(summary.message, row.message);
        EXPECT_EQ(summary.programs, row.programs);
        EXPECT_EQ(summary.printers, row.printers);
        EXPECT_EQ(summary.finishHeadline, row.headline);
        EXPECT_EQ(summary.restartRequested, row.restart);
        EXPECT_EQ(summary.registry, row.registry);
    }
    EXPECT_EQ(Snapshot(kExamples), before) << "the previews changed the example folders";
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunSim(const std::vector<std::string>& arguments, const fs::path& out) {
    std::string command = Quoted(ZQ_SIM_EXECUTABLE);
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    command += " >" + Quoted(out.string()) + " 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(PreviewExamples, ThePreviewCommand) {
    test::TestMachine scratch;  // a temporary folder
    const fs::path out = scratch.Dir() / "out.txt";

    ASSERT_EQ(RunSim({"--preview", (kExamples / "package").string()}, out), 0) << ReadText(out);
    const std::string text = ReadText(out);
    for (const fs::path& folder : MachineFolders(kExamples / "machines")) {
        EXPECT_NE(text.find("== " + folder.filename().string() + ": Windows "), std::string::npos) << text;
    }
    EXPECT_NE(text.find("verdict:   refused: unsupported Windows"), std::string::npos);

    // One machine folder alone.
    ASSERT_EQ(
        RunSim({"--preview", (kExamples / "package").string(), (kExamples / "machines" / "xp-no-driver").string()},
               out),
        0);
    EXPECT_NE(ReadText(out).find("== xp-no-driver: Windows 5.1 SP 3.0, 32-bit, user language 1033\n"
                                 "  verdict:   refused: driver not installed (os_list entry 501)\n"),
              std::string::npos)
        << ReadText(out);

    // A 64-bit machine: the keys read and the view of each.
    ASSERT_EQ(
        RunSim({"--preview", (kExamples / "package").string(), (kExamples / "machines" / "xp64-sp2").string()}, out),
        0);
    EXPECT_NE(ReadText(out).find("  registry:  HKLM\\SOFTWARE\\Wow6432Node\\Zelt\\Pictavo (32-bit view)\n"),
              std::string::npos)
        << ReadText(out);

    EXPECT_EQ(RunSim({"--preview", (scratch.Dir() / "no-package").string()}, out), 2);
    EXPECT_EQ(RunSim({"--preview", (kExamples / "package").string(), scratch.Dir().string()}, out), 2);
}

// Each machine's exit code and outcome: an interactive run's 0 with what a
// managed run would return, and a managed run's own code when the machine's
// argumentText asks for one.
TEST(PreviewExamples, ExitCodeAndOutcome) {
    struct Case {
        const char* machine;
        const char* argumentText;
        const char* line;
    } cases[] = {
        {"default", "", "  exit:      0 (interactive run; as a managed run: 1641, restarting)\n"},
        {"default", "-quiet -norestart", "  exit:      3010 (pending)\n"},
        {"default", "-quiet", "  exit:      1641 (restarting)\n"},
        {"xp-no-driver", "-quiet -norestart", "  exit:      1605 (nodriver)\n"},
        {"xp-no-driver", "", "  exit:      0 (interactive run; as a managed run: 1605, nodriver)\n"},
        {"win10-64", "-quiet -norestart", "  exit:      1633 (unsupported)\n"},
        {"vista64-sp2", "-norestart", "  exit:      3010 (pending)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.machine) + " " + c.argumentText);
        test::TestMachine scratch;  // a temporary folder
        const fs::path machine = scratch.Dir() / c.machine;
        fs::copy(kExamples / "machines" / c.machine, machine, fs::copy_options::recursive);
        nlohmann::json config = nlohmann::json::parse(ReadText(machine / "machine.json"));
        config["argumentText"] = c.argumentText;
        std::ofstream(machine / "machine.json", std::ios::binary | std::ios::trunc) << config.dump(2);
        const MachinePreview preview = PreviewOnMachine(kExamples / "package", machine);
        ASSERT_TRUE(preview.summary) << preview.error;
        const std::string text = FormatSummary("== " + preview.machine, *preview.summary);
        EXPECT_NE(text.find(c.line), std::string::npos) << text;
        EXPECT_EQ(preview.summary->verdict == PreviewVerdict::Ran, text.find("programs:") != std::string::npos);
        if (std::string(c.argumentText).find("-quiet") != std::string::npos &&
            preview.summary->verdict == PreviewVerdict::Ran) {
            EXPECT_NE(text.find("  screens:   none\n"), std::string::npos) << text;
        }
    }
}

}  // namespace
}  // namespace zq::sim
