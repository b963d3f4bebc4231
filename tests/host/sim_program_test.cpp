// zqmerlesetup-sim as a program: what it refuses, the state it writes, whole
// runs; and the records of a launcher log file, as previews and tests read them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "authoring/log_records.h"
#include "platform/sim/default_machine.h"
#include "platform/sim/machine_config.h"
#include "tests/support/event_fields.h"
#include "tests/support/sim_program.h"
#include "tests/support/temporary_folder.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::ProgramResult;
using test::ReadText;
using test::RunSim;

std::vector<std::string> FolderContent(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

class SimProgram : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(scratch_); }
    ProgramResult Run(const std::vector<std::string>& arguments) { return RunSim(arguments, scratch_); }
    // The program refuses with 2 and a message that holds every text of
    // `mentions`, and leaves `folder` as it was.
    void ExpectRefused(const std::vector<std::string>& arguments, const fs::path& folder,
                       const std::vector<std::string>& mentions) {
        const std::vector<std::string> before = FolderContent(folder);
        const ProgramResult result = Run(arguments);
        EXPECT_EQ(result.status, 2);
        for (const std::string& text : mentions) EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
        EXPECT_EQ(FolderContent(folder), before) << "nothing written";
    }
    test::TemporaryFolder folder_;
    const fs::path scratch_ = folder_.Dir() / "scratch";
    const fs::path machine_ = folder_.Dir() / "machine";
};

void PlantFifo(const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }
void PlantFolder(const fs::path& file) { fs::create_directory(file); }
void PlantDevZero(const fs::path& file) { fs::create_symlink("/dev/zero", file); }
void PlantHugeFile(const fs::path& file) {  // one byte over 64 MiB, sparse: it costs no disk
    std::ofstream(file) << "{}";
    fs::resize_file(file, (std::uintmax_t{64} << 20) + 1);
}

TEST_F(SimProgram, BadMachineFoldersExitWithTwoAndWriteNothing) {
    const struct {
        const char* machineJson;  // nullptr: no machine.json, or `plant` puts something else there
        const char* mentions;     // besides the path of machine.json
        void (*plant)(const fs::path& machineJson) = nullptr;
    } rows[] = {
        {nullptr, "machine.json"},
        {R"({"os": {)", "not valid JSON"},
        {R"({"os": {"major": "5"}})", "\"os.major\" must be a whole number, not a string"},
        {R"({"printer": []})", "unknown key \"printer\""},
        {R"({"registry": {"HKLM\\X": {"V": {"type": "REG_BINARY", "data": "00"}}}})", "value type \"REG_BINARY\""},
        // Hostile input: a clear message, never a hang, an abort or all memory.
        {R"({"os": {"major": 1e999}})", "\"os.major\" is a number out of range: 1e999"},
        {R"({"os": {"major": 5, "minor": tru}})", "not valid JSON at \"os.minor\""},
        {nullptr, "machine.json: cannot be read: a FIFO, not a regular file", PlantFifo},
        {nullptr, "machine.json: cannot be read: a folder, not a regular file", PlantFolder},
        {nullptr, "machine.json: cannot be read: a device, not a regular file", PlantDevZero},
        {nullptr, "machine.json: cannot be read: larger than 64 MiB", PlantHugeFile},
    };
    int index = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mentions);
        const fs::path folder = folder_.Dir() / ("bad" + std::to_string(index++));
        fs::create_directories(folder / "drives" / "C");
        if (row.machineJson) std::ofstream(folder / "machine.json") << row.machineJson;
        if (row.plant) row.plant(folder / "machine.json");
        ExpectRefused({folder.string()}, folder, {(folder / "machine.json").string(), row.mentions});
    }
    const fs::path missing = folder_.Dir() / "no-such-machine";
    EXPECT_EQ(Run({missing.string()}).status, 2);
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(Run({"--journal"}).status, 2);
    EXPECT_EQ(Run({"--frobnicate", folder_.Dir().string()}).status, 2);
}

// The journal and the state file are looked at before the run: a run that
// could not write them, or would write over its own machine.json, does not start.
TEST_F(SimProgram, OutputFilesThatCannotBeWrittenAreRefusedBeforeTheRun) {
    MakeDefaultMachine(machine_);
    ASSERT_EQ(::mkfifo((scratch_ / "fifo").c_str(), 0600), 0);
    const std::string m = machine_.string(), s = scratch_.string();
    // The options, and what the message says.
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--journal", m + "/drives/../machine.json"},
         "machine.json: the journal cannot be written: it is the machine's machine.json"},
        {{"--journal", s}, "the journal cannot be written: a folder, not a regular file"},
        {{"--journal", s + "/fifo"}, "fifo: the journal cannot be written: a FIFO that nothing reads"},
        {{"--journal", s + "/none/j.jsonl"}, "j.jsonl: the journal cannot be written: no folder "},
        {{"--state-out", m + "/machine.json"}, "the state cannot be written: it is the machine's machine.json"},
        {{"--journal", s + "/j.jsonl", "--state-out", s + "/j.jsonl"}, "j.jsonl: the state cannot be written: it is"},
        {{"--state-out", m + "/journal.jsonl"}, "the state cannot be written: it is the journal too"},
        {{"--state-out", s}, "the state cannot be written: a folder, not a regular file"},
    };
    const std::string machineJson = ReadText(machine_ / "machine.json");
    for (const auto& [options, mentions] : rows) {
        SCOPED_TRACE(mentions);
        std::vector<std::string> arguments = options;
        arguments.push_back(m);
        ExpectRefused(arguments, machine_, {mentions});
        EXPECT_EQ(ReadText(machine_ / "machine.json"), machineJson);
    }
}

TEST(SimState, RoundTripsThroughMachineJson) {
    test::TestMachine machine;
    machine.config() = json::parse(R"({
        "program": "D:\\Pkg\\zqmerlesetup.exe", "currentDirectory": null, "userLanguage": 1031, "ansiCodePage": 1251,
        "environment": {"TEMP": "D:\\Tmp", "PATH": "C:\\Windows"}, "largestAllocationBytes": 1048576,
        "os": {"major": 6, "minor": 0, "servicePackMajor": 1, "bits": 64}, "lockedFiles": ["C:\\Win\\oem2.inf"],
        "programs": {"D:\\Pkg\\setup\\a.exe": {"runSeconds": 1.5, "exitCode": 3}},
        "processes": [{"name": "zqnotify.exe", "pid": 100, "terminateFails": true, "pidReusedBy": "a.exe"}],
        "services": {"zqdevsvc": {"state": "running", "stopSeconds": 2}, "other": {"state": "stopped"},
                     "spooler": {"state": "stopping", "stopSeconds": 1.5}},
        "printers": [{"name": "P", "port": "USB001", "driver": "D", "openFails": true, "deleteFails": false}],
        "printui": {"fails": true, "runSeconds": 4},
        "registry": {"HKLM\\SOFTWARE\\Zelt\\Pictavo":
                     {"InstallFolder": "C:\\P\\", "N": 7, "E": {"type": "REG_EXPAND_SZ", "data": "%T%"}}},
        "user": {"finishCheckBox": true, "finishAction": "escape", "copyDialogEscapeAfterSeconds": 3}})");
    const fs::path stateFile = machine.Dir() / "state.json";
    SimMachine& sim = machine.Load();
    sim.AdvanceClock(1000);
    sim.WriteState(stateFile);
    const json written = json::parse(ReadText(stateFile));
    // The state holds every value as configured, and the defaults besides; the
    // stopping service, the time it has left.
    EXPECT_EQ(written["services"]["spooler"]["stopSeconds"], 0.5);
    for (const json& change : json::diff(machine.config(), written))
        EXPECT_TRUE(change["op"] == "add" || change["path"] == "/services/spooler/stopSeconds") << change;
}

TEST_F(SimProgram, RunsTheLauncherOnAMachineFolder) {
    test::TestMachine machine;  // only its folder and the journal there
    MakeDefaultMachine(machine.Dir());
    const fs::path elsewhere = scratch_ / "run.jsonl", state = scratch_ / "state.json";
    ASSERT_EQ(Run({"--journal", elsewhere.string(), machine.Dir().string()}).status, 0);
    EXPECT_TRUE(machine.Journal().empty());
    EXPECT_NE(ReadText(elsewhere).find("\"event\":\"exit\""), std::string::npos);

    ProgramResult result = Run({"--state-out", state.string(), "--args", "-log 127", machine.Dir().string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(machine.FileExists("C:\\Temp\\zqmerlesetup001.log")) << "the second run's";
    const std::vector<json> journal = machine.Journal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_TRUE(test::HasFields(
        journal.front(),
        {{"t", 0}, {"event", "start"}, {"argumentText", "-log 127"}, {"program", "C:\\Package\\zqmerlesetup.exe"}}));
    EXPECT_TRUE(test::HasFields(journal.back(), {{"event", "exit"}, {"status", 0}}));
    for (std::size_t i = 1; i < journal.size(); ++i) EXPECT_GE(journal[i]["t"], journal[i - 1]["t"]);
    const json after = json::parse(ReadText(state));
    EXPECT_EQ(after["argumentText"], "-log 127");
    EXPECT_NO_THROW(ParseMachineConfig(after, state.string()));
}

TEST_F(SimProgram, WithoutAFolderTheDemoRunsOnTheDefaultMachine) {
    ProgramResult result = RunSim({}, scratch_, "TMPDIR=" + test::Quoted(scratch_.string()));
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string prefix = "Simulated machine: ";
    ASSERT_EQ(result.out.rfind(prefix, 0), 0u) << result.out;
    const fs::path folder = result.out.substr(prefix.size(), result.out.find('\n') - prefix.size());
    EXPECT_TRUE(fs::is_regular_file(folder / "drives" / "C" / "Package" / "autorun.inf"));
    EXPECT_TRUE(fs::is_regular_file(folder / "drives" / "C" / "Temp" / "zqmerlesetup000.log"));
    for (const char* shown : {"+++       Starting : zqmerlesetup.exe", "\"event\":\"start\"", "\"event\":\"exit\""})
        EXPECT_NE(result.out.find(shown), std::string::npos) << shown;
}

// Each record as "stamp|message".
TEST(SimLogRecords, SplitsStampsFromMessages) {
    const std::string stamp = "[03/07/2009 09:05:02]";
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {stamp + "+++ Starting\r\n", {stamp + "|+++ Starting"}},
        // The rest of a message that held a line end keeps its bracket.
        {stamp + "Read Section:\r\n[Run] Key=1\r\n", {stamp + "|Read Section:", "|[Run] Key=1"}},
        {"[03/07/2009]x\r\n[ab/07/2009 09:05:02]y\r\n", {"|[03/07/2009]x", "|[ab/07/2009 09:05:02]y"}},
        {stamp + "a\n[03/07/2009 09:05:03]b", {stamp + "|a", "[03/07/2009 09:05:03]|b"}},
        {"", {}},
    };
    for (const auto& [bytes, expected] : rows) {
        SCOPED_TRACE(bytes);
        std::vector<std::string> records, messages;
        for (const LogRecord& record : LogRecords(bytes)) {
            records.push_back(record.stamp + "|" + record.message);
            messages.push_back(record.message);
        }
        EXPECT_EQ(records, expected);
        EXPECT_EQ(LogMessages(bytes), messages);
    }
}

}  // namespace
}  // namespace zq::sim
