// Starting programs on the simulated machine: how a command line names its
// program (CreateProcessW without an application name), the search order,
// the errors, virtual run time and the built-in printer set-up tool.
#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/sim/command_line.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

TEST(SimCommandLine, CandidatesAtEachBlankLeftToRight) {
    std::vector<ModuleCandidate> candidates = ModuleCandidates(L"C:\\Program Files\\My App\\tool.exe arg");
    std::vector<WString> names;
    for (const ModuleCandidate& candidate : candidates) names.push_back(candidate.name);
    EXPECT_EQ(names,
              (std::vector<WString>{L"C:\\Program", L"C:\\Program Files\\My", L"C:\\Program Files\\My App\\tool.exe",
                                    L"C:\\Program Files\\My App\\tool.exe arg"}));
    EXPECT_EQ(candidates[2].argumentsAt, 32u);
}

TEST(SimCommandLine, AQuotedFirstTokenIsTheOnlyCandidate) {
    std::vector<ModuleCandidate> candidates = ModuleCandidates(L"\"C:\\My App\\tool\" /x");
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].name, L"C:\\My App\\tool");
    EXPECT_EQ(candidates[0].argumentsAt, 16u);
    EXPECT_TRUE(ModuleCandidates(L"").empty());
    EXPECT_TRUE(ModuleCandidates(L"   ").empty());
}

TEST(SimCommandLine, ExeIsAddedToNamesWithoutExtension) {
    EXPECT_EQ(WithDefaultExtension(L"C:\\x\\tool"), L"C:\\x\\tool.exe");
    EXPECT_EQ(WithDefaultExtension(L"tool.com"), L"tool.com");
    EXPECT_EQ(WithDefaultExtension(L"tool."), L"tool.");  // trailing dot: nothing added
    EXPECT_EQ(WithDefaultExtension(L"C:\\dir.d\\tool"), L"C:\\dir.d\\tool.exe");
}

struct StartRow {
    const char* name;
    const wchar_t* commandLine;
    const char* program;  // the journal's resolved path; nullptr when not started
    ErrorCode error;
};

// The machine of the start table: a launcher in C:\Package, programs in the
// places of the search order, and decoys for the unquoted path with blanks.
class SimStart : public testing::Test {
protected:
    void SetUp() override {
        for (const char* file :
             {"C:\\Package\\setup\\zqprep.exe", "C:\\Package\\inpackage.exe", "C:\\Work\\incurrent.exe",
              "C:\\Windows\\system32\\insystem.exe", "C:\\Windows\\System\\insystem16.exe",
              "C:\\Windows\\inwindows.exe", "C:\\Windows\\system32\\both.exe", "C:\\Windows\\both.exe",
              "C:\\Program Files\\My App\\tool.exe", "C:\\Tools\\tool.exe"}) {
            machine_.WriteFile(file, "x");
        }
        machine_.MakeFolder("C:\\Package\\adir.exe");
        machine_.config()["currentDirectory"] = "C:\\Work";
    }
    test::TestMachine machine_;
};

TEST_F(SimStart, ResolvesCommandLinesAsWindowsDoes) {
    const StartRow rows[] = {
        {"quoted", L"\"C:\\Package\\setup\\zqprep.exe\" /quiet", "C:\\Package\\setup\\zqprep.exe", 0},
        {"quoted without .exe", L"\"C:\\Package\\setup\\zqprep\" /quiet", "C:\\Package\\setup\\zqprep.exe", 0},
        {"any case", L"c:\\package\\SETUP\\ZQPREP.EXE", "C:\\Package\\setup\\zqprep.exe", 0},
        {"blanks in the path", L"C:\\Program Files\\My App\\tool.exe arg", "C:\\Program Files\\My App\\tool.exe", 0},
        {"launcher's folder", L"inpackage", "C:\\Package\\inpackage.exe", 0},
        {"current directory", L"incurrent.exe a b", "C:\\Work\\incurrent.exe", 0},
        {"system folder", L"insystem", "C:\\Windows\\system32\\insystem.exe", 0},
        {"Windows\\System", L"insystem16", "C:\\Windows\\System\\insystem16.exe", 0},
        {"Windows folder", L"inwindows", "C:\\Windows\\inwindows.exe", 0},
        {"system folder before Windows", L"both", "C:\\Windows\\system32\\both.exe", 0},
        {"relative from the current directory", L"..\\Tools\\tool", "C:\\Tools\\tool.exe", 0},
        {"rundll32 always exists", L"rundll32 shell32.dll,Control_RunDLL", "C:\\Windows\\system32\\rundll32.exe", 0},
        {"missing", L"nosuch.exe", nullptr, 2},
        {"missing full path", L"C:\\nodir\\x.exe", nullptr, 2},
        {"quoted missing", L"\"C:\\Program Files\\My App\\none.exe\"", nullptr, 2},
        {"a folder", L"C:\\Package\\adir.exe", nullptr, 2},
        {"empty", L"", nullptr, 87},
        {"settings read failure", L"<READ_FAILED>", nullptr, 2},
    };
    Platform& platform = machine_.Load().platform();
    for (const StartRow& row : rows) {
        SCOPED_TRACE(row.name);
        ProcessStart start = platform.processes.Start(row.commandLine);
        EXPECT_EQ(start.process != nullptr, row.program != nullptr);
        EXPECT_EQ(start.error, row.error);
        nlohmann::json event = machine_.Events("processStart").back();
        EXPECT_EQ(event["commandLine"], Utf16ToUtf8(row.commandLine));
        EXPECT_EQ(event["started"], row.program != nullptr);
        EXPECT_EQ(event["error"], row.error);
        if (row.program) {
            EXPECT_EQ(event["program"], row.program);
        } else {
            EXPECT_TRUE(event["program"].is_null());
        }
    }
}

TEST_F(SimStart, UnquotedPathsTakeTheFirstDecoy) {
    machine_.WriteFile("C:\\Program Files\\My.exe", "decoy");
    machine_.WriteFile("C:\\Program.exe", "decoy");
    Platform& platform = machine_.Load().platform();
    platform.processes.Start(L"C:\\Program Files\\My App\\tool.exe arg");
    EXPECT_EQ(machine_.Events("processStart").back()["program"], "C:\\Program.exe");
    std::filesystem::remove(machine_.HostPath("C:\\Program.exe"));
    platform.processes.Start(L"C:\\Program Files\\My App\\tool.exe arg");
    EXPECT_EQ(machine_.Events("processStart").back()["program"], "C:\\Program Files\\My.exe");
}

TEST_F(SimStart, AnApplicationPathIsTakenAsItIs) {
    Platform& platform = machine_.Load().platform();
    EXPECT_NE(platform.processes.Start(L"tool arg", L"C:\\Tools\\tool.exe").process, nullptr);
    EXPECT_EQ(platform.processes.Start(L"tool arg", L"C:\\Tools\\tool").error, 2u);
}

TEST(SimProcesses, ARunTakesVirtualTimeAndEndsWithItsExitCode) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Package\\setup\\zqstage.exe", "x");
    machine.config()["programs"] = {{"c:\\package\\setup\\ZQSTAGE.exe", {{"runSeconds", 45}, {"exitCode", 5}}}};
    sim::SimMachine& sim = machine.Load();
    ProcessStart start = sim.platform().processes.Start(L"\"C:\\Package\\setup\\zqstage.exe\"");
    ASSERT_NE(start.process, nullptr);
    EXPECT_EQ(sim.ElapsedMs(), 0);
    std::vector<ProcessEntry> running = *sim.platform().processes.Snapshot();
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].exeName, L"zqstage.exe");
    EXPECT_EQ(start.process->WaitForEnd(), 0u);
    EXPECT_EQ(sim.ElapsedMs(), 45000);
    EXPECT_TRUE(sim.platform().processes.Snapshot()->empty());
    nlohmann::json end = machine.Events("processEnd").at(0);
    EXPECT_EQ(end["t"], 45000);
    EXPECT_EQ(end["exitCode"], 5);
    LocalTime now = sim.platform().environment.Now();
    EXPECT_EQ(now.minute, 5);
    EXPECT_EQ(now.second, 47);
}

TEST(SimProcesses, AProgramNotWaitedForJoinsTheProcessList) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Pictavo\\Bin\\zqnotify.exe", "x");
    machine.config()["processes"] = {{{"name", "explorer.exe"}, {"pid", 1204}}};
    Platform& platform = machine.Load().platform();
    platform.processes.Start(L"C:\\pictavo\\bin\\zqnotify.exe");
    std::vector<ProcessEntry> running = *platform.processes.Snapshot();
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[1].exeName, L"zqnotify.exe");
    EXPECT_NE(running[1].pid, 1204u);
}

TEST(SimProcesses, SnapshotAndTerminate) {
    test::TestMachine machine;
    machine.config()["processes"] = {{{"name", "ZQNotify.exe"}, {"pid", 100}},
                                     {{"name", "zqnotify.exe"}, {"pid", 104}, {"terminateFails", true}}};
    Platform& platform = machine.Load().platform();
    std::unique_ptr<IOpenedProcess> refusing = platform.processes.OpenForTerminate(104);
    ASSERT_NE(refusing, nullptr);
    EXPECT_FALSE(refusing->Terminate());
    std::unique_ptr<IOpenedProcess> first = platform.processes.OpenForTerminate(100);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Terminate());
    EXPECT_FALSE(first->Terminate()) << "a process ends once";
    EXPECT_EQ(platform.processes.OpenForTerminate(100), nullptr) << "no process holds the id any more";
    EXPECT_EQ(platform.environment.LastError(), 87u);
    std::vector<ProcessEntry> running = *platform.processes.Snapshot();
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].pid, 104u);
    std::vector<nlohmann::json> events = machine.Events("processTerminated");
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0]["name"], "zqnotify.exe");
    EXPECT_EQ(events[0]["ok"], false);
    EXPECT_EQ(events[1]["name"], "ZQNotify.exe");
    EXPECT_EQ(events[1]["pid"], 100);
    EXPECT_EQ(events[1]["ok"], true);
    EXPECT_EQ(events[2]["ok"], false);

    test::TestMachine failing;
    failing.config()["snapshotFails"] = true;
    EXPECT_FALSE(failing.Load().platform().processes.Snapshot().has_value());
}

TEST(SimProcesses, AnIdPassesToAnotherProcessRightAfterTheFirstSnapshot) {
    test::TestMachine machine;
    machine.config()["processes"] = {{{"name", "explorer.exe"}, {"pid", 96}},
                                     {{"name", "zqnotify.exe"}, {"pid", 100}, {"pidReusedBy", "notepad.exe"}}};
    sim::SimMachine& sim = machine.Load();
    EXPECT_EQ(sim.State()["processes"][1]["pidReusedBy"], "notepad.exe") << "written back until it has happened";
    auto names = [&sim] {
        std::vector<std::pair<std::uint32_t, WString>> listed;
        const std::vector<ProcessEntry> snapshot = sim.platform().processes.Snapshot().value();
        for (const ProcessEntry& entry : snapshot) listed.emplace_back(entry.pid, entry.exeName);
        return listed;
    };
    using Listed = std::vector<std::pair<std::uint32_t, WString>>;
    EXPECT_EQ(names(), (Listed{{96, L"explorer.exe"}, {100, L"zqnotify.exe"}}));
    EXPECT_EQ(names(), (Listed{{96, L"explorer.exe"}, {100, L"notepad.exe"}}));
    EXPECT_EQ(names(), (Listed{{96, L"explorer.exe"}, {100, L"notepad.exe"}})) << "once only";
    const nlohmann::json state = sim.State()["processes"][1];
    EXPECT_EQ(state, (nlohmann::json{{"name", "notepad.exe"}, {"pid", 100}, {"terminateFails", false}}));
}

TEST(SimPrintUi, ParsesTheInstallCall) {
    std::optional<PrintUiCall> call = ParsePrintUiCall(
        L" printui.dll,PrintUIEntry /if /b \"Office 1\" /f \"C:\\drv\\x.inf\" /r \"IP_10.0.0.5\" /m \"ZQ Merle\"");
    ASSERT_TRUE(call);
    EXPECT_TRUE(call->installFromInf);
    EXPECT_EQ(call->name, L"Office 1");
    EXPECT_EQ(call->inf, L"C:\\drv\\x.inf");
    EXPECT_EQ(call->port, L"IP_10.0.0.5");
    EXPECT_EQ(call->driver, L"ZQ Merle");
    EXPECT_FALSE(ParsePrintUiCall(L"shell32.dll,Control_RunDLL"));
}

struct PrintUiRow {
    const char* name;
    const char* inf;
    bool fails;
    bool added;
};

TEST(SimPrintUi, AddsThePrinterExactlyWhenTheInfExistsAndItDoesNotFail) {
    const PrintUiRow rows[] = {
        {"existing INF", "C:\\Package\\driver\\zqmerle.inf", false, true},
        {"relative INF from the current directory", "driver\\ZQMERLE.INF", false, true},
        {"missing INF", "C:\\Package\\driver\\none.inf", false, false},
        {"INF is a folder", "C:\\Package\\driver", false, false},
        {"printui fails", "C:\\Package\\driver\\zqmerle.inf", true, false},
    };
    for (const PrintUiRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::TestMachine machine;
        machine.WriteFile("C:\\Package\\driver\\zqmerle.inf", "x");
        machine.config()["printui"] = {{"fails", row.fails}, {"runSeconds", 7}};
        sim::SimMachine& sim = machine.Load();
        const WString commandLine = L"rundll32 printui.dll,PrintUIEntry /if /b \"Office\" /f \"" +
                                    Utf8ToUtf16(row.inf) + L"\" /r \"IP_10.0.0.5\" /m \"ZQ Merle 5400 Series\"";
        ProcessStart start = sim.platform().processes.Start(commandLine);
        ASSERT_NE(start.process, nullptr);
        EXPECT_EQ(start.process->WaitForEnd(), 0u);
        EXPECT_EQ(sim.ElapsedMs(), 7000);

        std::vector<PrinterRecord> printers = *sim.platform().spooler.EnumLocalPrinters();
        EXPECT_EQ(printers.size(), row.added ? 1u : 0u);
        auto key = sim.platform().registry.OpenLocalMachineKey(
            L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office\\PrinterDriverData", RegistryAccess::Read);
        EXPECT_EQ(key != nullptr, row.added);
        if (row.added) {
            EXPECT_EQ(printers[0].name, L"Office");
            EXPECT_EQ(printers[0].port, L"IP_10.0.0.5");
            EXPECT_EQ(printers[0].driver, L"ZQ Merle 5400 Series");
        }
        nlohmann::json added = machine.Events("printerAdded").at(0);
        EXPECT_EQ(added["name"], "Office");
        EXPECT_EQ(added["inf"], row.inf);
        EXPECT_EQ(added["ok"], row.added);
        EXPECT_EQ(machine.Events("processEnd").at(0)["exitCode"], row.added ? 0 : 1);
    }
}

}  // namespace
}  // namespace zq::sim
