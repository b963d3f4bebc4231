// Starting programs on the simulated machine (CreateProcessW without an
// application name), the built-in printer set-up tool and the spooler. Run
// times and exit codes are checked by the launcher's CopyDialog and ManagedRun.
#include <gtest/gtest.h>

#include "base/text.h"
#include "tests/support/event_fields.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

// A launcher in C:\Package, programs in the places of the search order, and
// decoys for the unquoted path with blanks.
class SimStart : public testing::Test {
protected:
    void SetUp() override {
        for (const char* file :
             {"C:\\Package\\setup\\zqprep.exe", "C:\\Package\\inpackage.exe", "C:\\Work\\incurrent.exe",
              "C:\\Windows\\system32\\insystem.exe", "C:\\Windows\\System\\insystem16.exe",
              "C:\\Windows\\inwindows.exe", "C:\\Windows\\system32\\both.exe", "C:\\Windows\\both.exe",
              "C:\\Program Files\\My App\\tool.exe", "C:\\Tools\\tool.exe", "C:\\Tools\\plain"})
            machine_.WriteFile(file, "x");
        machine_.MakeFolder("C:\\Package\\adir.exe");
        machine_.config()["currentDirectory"] = "C:\\Work";
    }
    // Starts the command line; the journal's resolved program, or "" when none started.
    std::string Started(const WString& commandLine, ErrorCode error = 0) {
        const ProcessStart start = machine_.Machine().platform().processes.Start(commandLine);
        const nlohmann::json event = machine_.Events("processStart").back();
        EXPECT_TRUE(test::HasFields(
            event,
            {{"commandLine", Utf16ToUtf8(commandLine)}, {"started", start.process != nullptr}, {"error", error}}));
        EXPECT_EQ(start.error, error);
        return event["program"].is_null() ? "" : event["program"].get<std::string>();
    }
    test::TestMachine machine_;
};

TEST_F(SimStart, ResolvesCommandLinesAsWindowsDoes) {
    const struct {
        const char* name;
        const wchar_t* commandLine;
        const char* program;  // the journal's resolved path; "" when not started
        ErrorCode error;
    } rows[] = {
        {"quoted", L"\"C:\\Package\\setup\\zqprep.exe\" /quiet", "C:\\Package\\setup\\zqprep.exe", 0},
        {"quoted without .exe", L"\"C:\\Package\\setup\\zqprep\" /quiet", "C:\\Package\\setup\\zqprep.exe", 0},
        {"a trailing dot: nothing added", L"C:\\Tools\\plain. /x", "C:\\Tools\\plain", 0},
        {"blanks in the path", L"C:\\Program Files\\My App\\tool.exe arg", "C:\\Program Files\\My App\\tool.exe", 0},
        {"launcher's folder", L"inpackage", "C:\\Package\\inpackage.exe", 0},
        {"current directory", L"incurrent.exe a b", "C:\\Work\\incurrent.exe", 0},
        {"system folder", L"insystem", "C:\\Windows\\system32\\insystem.exe", 0},
        {"Windows\\System", L"insystem16", "C:\\Windows\\System\\insystem16.exe", 0},
        {"Windows folder", L"inwindows", "C:\\Windows\\inwindows.exe", 0},
        {"system folder before Windows", L"both", "C:\\Windows\\system32\\both.exe", 0},
        {"relative from the current directory", L"..\\Tools\\tool", "C:\\Tools\\tool.exe", 0},
        {"rundll32 always exists", L"rundll32 shell32.dll,Control_RunDLL", "C:\\Windows\\system32\\rundll32.exe", 0},
        {"missing", L"nosuch.exe", "", 2},
        {"missing full path", L"C:\\nodir\\x.exe", "", 2},
        {"a folder", L"C:\\Package\\adir.exe", "", 2},
        {"empty", L"", "", 87},
        {"settings read failure", L"<READ_FAILED>", "", 2},
    };
    machine_.Load();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Started(row.commandLine, row.error), row.program);
    }
}

// A program started without waiting joins the process list, under a new id.
TEST_F(SimStart, UnquotedPathsTakeTheFirstDecoyAndAnApplicationPathIsTakenAsItIs) {
    machine_.WriteFile("C:\\Program Files\\My.exe", "decoy");
    machine_.WriteFile("C:\\Program.exe", "decoy");
    machine_.config()["processes"] = {{{"name", "explorer.exe"}, {"pid", 1204}}};
    Platform& platform = machine_.Load().platform();
    EXPECT_EQ(Started(L"C:\\Program Files\\My App\\tool.exe arg"), "C:\\Program.exe");
    std::filesystem::remove(machine_.HostPath("C:\\Program.exe"));
    EXPECT_EQ(Started(L"C:\\Program Files\\My App\\tool.exe arg"), "C:\\Program Files\\My.exe");
    const std::vector<ProcessEntry> running = *platform.processes.Snapshot();
    ASSERT_EQ(running.size(), 3u);
    EXPECT_EQ(running[2].exeName, L"My.exe");
    EXPECT_NE(running[2].pid, running[1].pid);
    // A process ends once; then no process holds its id.
    std::unique_ptr<IOpenedProcess> opened = platform.processes.OpenForTerminate(running[2].pid);
    EXPECT_TRUE(opened->Terminate());
    EXPECT_FALSE(opened->Terminate());
    EXPECT_EQ(platform.processes.OpenForTerminate(running[2].pid), nullptr);
    EXPECT_EQ(platform.environment.LastError(), 87u);

    EXPECT_NE(platform.processes.Start(L"tool arg", L"C:\\Tools\\tool.exe").process, nullptr);
    EXPECT_EQ(platform.processes.Start(L"tool arg", L"C:\\Tools\\tool").error, 2u);
}

// rundll32 printui.dll,PrintUIEntry /if adds the printer exactly when the INF
// names an existing file (a failing tool is the launcher's PrinterRecreation
// tests' case); and the spooler's own deletion.
TEST(SimPrintUi, AddsThePrinterExactlyWhenTheInfExists) {
    const std::pair<const char*, bool> rows[] = {
        {"C:\\Package\\driver\\zqmerle.inf", true},
        {"driver\\ZQMERLE.INF", true},  // relative to the current directory
        {"C:\\Package\\driver\\none.inf", false},
        {"C:\\Package\\driver", false},  // a folder
    };
    const std::string kPrinters = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
    test::TestMachine machine;
    machine.WriteFile("C:\\Package\\driver\\zqmerle.inf", "x");
    machine.config()["printui"] = {{"runSeconds", 7}};
    SimMachine& sim = machine.Load();
    int index = 0;
    for (const auto& [inf, added] : rows) {
        SCOPED_TRACE(inf);
        const std::string name = "P" + std::to_string(index++);
        ProcessStart start = sim.platform().processes.Start(Utf8ToUtf16(
            "rundll32 printui.dll,PrintUIEntry /if /b \"" + name + "\" /f \"" + inf + "\" /r \"IP_1\" /m \"ZQ 5400\""));
        ASSERT_NE(start.process, nullptr);
        EXPECT_EQ(start.process->WaitForEnd(), 0u);
        EXPECT_EQ(sim.ElapsedMs(), 7000 * index);
        EXPECT_TRUE(
            test::HasFields(machine.Events("printerAdded").back(),
                            {{"name", name}, {"port", "IP_1"}, {"driver", "ZQ 5400"}, {"inf", inf}, {"ok", added}}));
        EXPECT_EQ(machine.Events("processEnd").back()["exitCode"], added ? 0 : 1);
        EXPECT_EQ(sim.State()["registry"].contains(kPrinters + name + "\\PrinterDriverData"), added);
    }
    // The spooler finds a printer by its name in any case, and deletes it once.
    EXPECT_EQ(sim.platform().spooler.Open(L"Nowhere").error, 1801u);
    std::unique_ptr<IPrinter> printer = sim.platform().spooler.Open(L"p0").printer;
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->Delete(), 0u);
    EXPECT_EQ(printer->Delete(), 1801u);
    EXPECT_EQ(sim.platform().spooler.EnumLocalPrinters()->size(), 1u);
    std::vector<bool> deletedOk;
    for (const nlohmann::json& event : machine.Events("printerDeleted")) deletedOk.push_back(event["ok"]);
    EXPECT_EQ(deletedOk, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace zq::sim
