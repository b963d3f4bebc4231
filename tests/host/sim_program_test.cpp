// zqmerlesetup-sim as a program: machine folders that cannot be simulated,
// the state written after a run, and whole runs on machine folders.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/sim/default_machine.h"
#include "platform/sim/machine_config.h"
#include "tests/support/sim_program.h"
#include "tests/support/temporary_folder.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

namespace fs = std::filesystem;

using test::ProgramResult;
using test::Quoted;
using test::ReadText;
using test::RunSim;

std::vector<std::string> FolderContent(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        names.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class SimProgram : public testing::Test {
protected:
    fs::path Scratch() {
        fs::path scratch = folder_.Dir() / "scratch";
        fs::create_directories(scratch);
        return scratch;
    }
    test::TemporaryFolder folder_;
};

struct BadFolderRow {
    const char* name;
    const char* machineJson;  // nullptr: no machine.json
    const char* mentions;     // a text the message must contain
    // Puts something else than a file at machine.json (a FIFO, a device).
    void (*plant)(const fs::path& machineJson) = nullptr;
};

void PlantFifo(const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }
void PlantFolder(const fs::path& file) { fs::create_directory(file); }
void PlantDevZero(const fs::path& file) { fs::create_symlink("/dev/zero", file); }
void PlantDevNull(const fs::path& file) { fs::create_symlink("/dev/null", file); }
// A file one byte over 64 MiB, sparse: it costs no disk.
void PlantHugeFile(const fs::path& file) {
    std::ofstream(file) << "{}";
    fs::resize_file(file, (std::uintmax_t{64} << 20) + 1);
}

TEST_F(SimProgram, BadMachineFoldersExitWithTwoAndWriteNothing) {
    const BadFolderRow rows[] = {
        {"no machine.json", nullptr, "machine.json"},
        {"invalid JSON", "{\"os\": {", "not valid JSON"},
        {"not an object", "[1, 2]", "must be an object"},
        {"wrong key type", "{\"os\": {\"major\": \"5\"}}", "\"os.major\" must be a whole number, not a string"},
        {"wrong type of a list", "{\"printers\": {}}", "\"printers\" must be an array"},
        {"unknown key", "{\"printer\": []}", "unknown key \"printer\""},
        {"unknown registry value type",
         "{\"registry\": {\"HKLM\\\\SOFTWARE\\\\X\": {\"V\": {\"type\": \"REG_BINARY\", \"data\": \"00\"}}}}",
         "unknown value type \"REG_BINARY\""},
        {"bad local time", "{\"localTime\": \"2009-02-30T09:05:02\"}", "\"localTime\""},
        {"bad finish action", "{\"user\": {\"finishAction\": \"click\"}}", "\"user.finishAction\""},
        {"relative program path", "{\"program\": \"zqmerlesetup.exe\"}", "\"program\" must be a full Windows path"},
        {"fractional allocation limit", "{\"largestAllocationBytes\": 1.5}",
         "\"largestAllocationBytes\" must be a whole number"},
        {"negative allocation limit", "{\"largestAllocationBytes\": -1}",
         "\"largestAllocationBytes\" must lie between"},
        // Hostile input: a clear message, never a hang, an abort or all memory.
        {"a number beyond a double", "{\"os\": {\"major\": 1e999}}", "\"os.major\" is a number out of range: 1e999"},
        {"a number beyond a double in a list", "{\"printers\": [{\"name\": \"P\"}, {\"port\": -1E+400}]}",
         "\"printers[1].port\" is a number out of range: -1E+400"},
        {"a JSON error in a key's value", "{\"os\": {\"major\": 5, \"minor\": tru}}", "not valid JSON at \"os.minor\""},
        {"a FIFO", nullptr, "machine.json: cannot be read: a FIFO, not a regular file", PlantFifo},
        {"a folder", nullptr, "machine.json: cannot be read: a folder, not a regular file", PlantFolder},
        {"/dev/zero", nullptr, "machine.json: cannot be read: a device, not a regular file", PlantDevZero},
        {"/dev/null", nullptr, "machine.json: cannot be read: a device, not a regular file", PlantDevNull},
        {"over 64 MiB", nullptr, "machine.json: cannot be read: larger than 64 MiB", PlantHugeFile},
    };
    const fs::path scratch = Scratch();
    int index = 0;
    for (const BadFolderRow& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path folder = folder_.Dir() / ("bad" + std::to_string(index++));
        fs::create_directories(folder / "drives" / "C");
        if (row.machineJson) std::ofstream(folder / "machine.json") << row.machineJson;
        if (row.plant) row.plant(folder / "machine.json");
        const std::vector<std::string> before = FolderContent(folder);

        ProgramResult result = RunSim({folder.string()}, scratch);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find((folder / "machine.json").string()), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(row.mentions), std::string::npos) << result.err;
        EXPECT_EQ(FolderContent(folder), before);
    }
}

TEST_F(SimProgram, AMissingFolderExitsWithTwo) {
    const fs::path missing = folder_.Dir() / "no-such-machine";
    ProgramResult result = RunSim({missing.string()}, Scratch());
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(missing.string()), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(SimProgram, BadOptionsExitWithTwo) {
    EXPECT_EQ(RunSim({"--journal"}, Scratch()).status, 2);
    EXPECT_EQ(RunSim({"--frobnicate", folder_.Dir().string()}, Scratch()).status, 2);
}

// The journal and the state file are looked at before the run: a run
// that could not write them, or would write over its own machine.json,
// does not start.
TEST_F(SimProgram, OutputFilesThatCannotBeWrittenAreRefusedBeforeTheRun) {
    struct Row {
        const char* name;
        std::vector<std::string> options;  // MACHINE stands for the machine folder, SCRATCH for a scratch folder
        std::string mentions;
    };
    const Row rows[] = {
        {"journal is machine.json",
         {"--journal", "MACHINE/machine.json"},
         "machine.json: the journal cannot be written: it is the machine's machine.json"},
        {"journal is machine.json by another spelling",
         {"--journal", "MACHINE/drives/../machine.json"},
         "the journal cannot be written: it is the machine's machine.json"},
        {"journal is a folder",
         {"--journal", "SCRATCH"},
         "the journal cannot be written: a folder, not a regular file"},
        {"journal is a FIFO nothing reads",
         {"--journal", "SCRATCH/fifo"},
         "fifo: the journal cannot be written: a FIFO that nothing reads"},
        {"journal in a missing folder",
         {"--journal", "SCRATCH/none/j.jsonl"},
         "j.jsonl: the journal cannot be written: no folder "},
        {"state is machine.json",
         {"--state-out", "MACHINE/machine.json"},
         "machine.json: the state cannot be written: it is the machine's machine.json"},
        {"state is the journal",
         {"--journal", "SCRATCH/j.jsonl", "--state-out", "SCRATCH/j.jsonl"},
         "j.jsonl: the state cannot be written: it is the journal too"},
        {"state is the default journal",
         {"--state-out", "MACHINE/journal.jsonl"},
         "the state cannot be written: it is the journal too"},
        {"state is a folder", {"--state-out", "SCRATCH"}, "the state cannot be written: a folder, not a regular file"},
    };
    const fs::path folder = folder_.Dir() / "machine";
    MakeDefaultMachine(folder);
    const fs::path scratch = Scratch();
    ASSERT_EQ(::mkfifo((scratch / "fifo").c_str(), 0600), 0);
    const std::string machineJson = ReadText(folder / "machine.json");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<std::string> before = FolderContent(folder);
        std::vector<std::string> arguments;
        for (std::string option : row.options) {
            for (const auto& [name, path] : {std::pair{std::string("MACHINE"), folder}, {"SCRATCH", scratch}}) {
                if (option.rfind(name, 0) == 0) option = path.string() + option.substr(name.size());
            }
            arguments.push_back(option);
        }
        arguments.push_back(folder.string());
        const ProgramResult result = RunSim(arguments, scratch);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find(row.mentions), std::string::npos) << result.err;
        EXPECT_EQ(ReadText(folder / "machine.json"), machineJson);
        EXPECT_EQ(FolderContent(folder), before) << "nothing ran";
    }
}

TEST(SimState, RoundTripsThroughMachineJson) {
    test::TestMachine machine;
    machine.config() = {
        {"program", "D:\\Pkg\\zqmerlesetup.exe"},
        {"currentDirectory", nullptr},
        {"environment", {{"TEMP", "D:\\Tmp"}, {"PATH", "C:\\Windows"}}},
        {"userLanguage", 1031},
        {"os", {{"major", 6}, {"minor", 0}, {"servicePackMajor", 1}, {"bits", 64}}},
        {"lockedFiles", {"C:\\Windows\\inf\\oem2.inf"}},
        {"largestAllocationBytes", 1048576},
        {"programs", {{"D:\\Pkg\\setup\\a.exe", {{"runSeconds", 1.5}, {"exitCode", 3}}}}},
        {"processes", {{{"name", "zqnotify.exe"}, {"pid", 100}, {"terminateFails", true}, {"pidReusedBy", "a.exe"}}}},
        {"services",
         {{"zqdevsvc", {{"state", "running"}, {"stopSeconds", 2}}},
          {"spooler", {{"state", "stopping"}, {"stopSeconds", 1.5}}},
          {"other", {{"state", "stopped"}}}}},
        {"printers",
         {{{"name", "P"}, {"port", "USB001"}, {"driver", "D"}, {"openFails", true}, {"deleteFails", false}}}},
        {"printui", {{"fails", true}, {"runSeconds", 4}}},
        {"registry",
         {{"HKLM\\SOFTWARE\\Zelt\\Pictavo",
           {{"InstallFolder", "C:\\P\\"}, {"N", 7}, {"E", {{"type", "REG_EXPAND_SZ"}, {"data", "%T%"}}}}}}},
        {"user", {{"finishCheckBox", true}, {"finishAction", "escape"}, {"copyDialogEscapeAfterSeconds", 3}}},
    };
    sim::SimMachine& sim = machine.Load();
    const fs::path stateFile = machine.Dir() / "state.json";
    sim.WriteState(stateFile);
    const nlohmann::json written = nlohmann::json::parse(ReadText(stateFile));
    for (const auto& item : machine.config().items()) {
        SCOPED_TRACE(item.key());
        if (item.value().is_object() && item.key() != "registry") {
            for (const auto& inner : item.value().items()) EXPECT_EQ(written[item.key()][inner.key()], inner.value());
        } else {
            EXPECT_EQ(written[item.key()], item.value());
        }
    }
    // Read back, the state is the same machine.
    EXPECT_EQ(nlohmann::json(MachineConfigToJson(ParseMachineConfig(written, "state.json"))), written);
}

TEST_F(SimProgram, RunsTheLauncherOnAMachineFolder) {
    const fs::path folder = folder_.Dir() / "machine";
    MakeDefaultMachine(folder);
    const fs::path scratch = Scratch();
    const fs::path state = scratch / "state.json";
    ProgramResult result = RunSim({"--state-out", state.string(), "--args", "-log 127", folder.string()}, scratch);
    ASSERT_EQ(result.status, 0) << result.err;

    // The log file the run leaves in C:\Temp, in the machine folder.
    std::ifstream log(folder / "drives" / "C" / "Temp" / "zqmerlesetup000.log", std::ios::binary);
    std::string first;
    ASSERT_TRUE(std::getline(log, first));
    EXPECT_EQ(first, "[03/07/2009 09:05:02]+++       Starting : zqmerlesetup.exe\r");

    std::vector<nlohmann::json> journal;
    std::ifstream lines(folder / "journal.jsonl");
    for (std::string line; std::getline(lines, line);) journal.push_back(nlohmann::json::parse(line));
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ(journal.front()["event"], "start");
    EXPECT_EQ(journal.front()["t"], 0);
    EXPECT_EQ(journal.front()["program"], "C:\\Package\\zqmerlesetup.exe");
    EXPECT_EQ(journal.front()["argumentText"], "-log 127");
    EXPECT_EQ(journal.back()["event"], "exit");
    EXPECT_EQ(journal.back()["status"], 0);
    for (std::size_t i = 1; i < journal.size(); ++i) EXPECT_GE(journal[i]["t"], journal[i - 1]["t"]);

    const nlohmann::json after = nlohmann::json::parse(ReadText(state));
    EXPECT_EQ(after["argumentText"], "-log 127");
    EXPECT_NO_THROW(ParseMachineConfig(after, state.string()));
}

TEST_F(SimProgram, TheJournalCanGoElsewhere) {
    const fs::path folder = folder_.Dir() / "machine";
    MakeDefaultMachine(folder);
    const fs::path journal = Scratch() / "run.jsonl";
    ProgramResult result = RunSim({"--journal", journal.string(), folder.string()}, Scratch());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(fs::exists(folder / "journal.jsonl"));
    EXPECT_NE(ReadText(journal).find("\"event\":\"exit\""), std::string::npos);
}

TEST_F(SimProgram, WithoutAFolderTheDemoRunsOnTheDefaultMachine) {
    const fs::path scratch = Scratch();
    ProgramResult result = RunSim({}, scratch, "TMPDIR=" + Quoted(scratch.string()));
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string prefix = "Simulated machine: ";
    ASSERT_EQ(result.out.rfind(prefix, 0), 0u) << result.out;
    const fs::path folder = result.out.substr(prefix.size(), result.out.find('\n') - prefix.size());
    EXPECT_TRUE(fs::is_regular_file(folder / "drives" / "C" / "Package" / "autorun.inf"));
    EXPECT_TRUE(fs::is_regular_file(folder / "drives" / "C" / "Temp" / "zqmerlesetup000.log"));
    EXPECT_NE(result.out.find("+++       Starting : zqmerlesetup.exe"), std::string::npos);
    EXPECT_NE(result.out.find("\"event\":\"start\""), std::string::npos);
    EXPECT_NE(result.out.find("\"event\":\"exit\""), std::string::npos);
}

}  // namespace
}  // namespace zq::sim
