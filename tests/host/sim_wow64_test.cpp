// What the launcher, a 32-bit program, sees on a 64-bit machine: WOW64's
// registry views and the redirected system folder. On a 32-bit machine the
// same package sees the keys and the folder where they are.
#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/sim/sim_services.h"
#include "tests/support/scenario.h"

namespace zq {
namespace {

using nlohmann::json;
using test::SettingsFile;
using test::StandardMachine;

const std::string kPictavo = "HKLM\\SOFTWARE\\Zelt\\Pictavo";
const std::string kPictavo32 = "HKLM\\SOFTWARE\\Wow6432Node\\Zelt\\Pictavo";
const std::string kUninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kUninstall32 = "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kOfficeData = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office\\PrinterDriverData";

// The printer update (it runs on Windows 5.x only) in both Run sections.
SettingsFile PrinterUpdatePackage() {
    return SettingsFile::Basic()
        .Set("OS_Support", "os_list", "501,502_64")
        .Set("Run", "1", "lanpatch.exe driver\\zqmerle.inf")
        .Set("Run.x64", "1", "lanpatch.exe driver\\zqmerle.inf")
        .Set("UpdateDrivers", "1", "ZQ Merle 5400 Series");
}

// The imaging software and a 32-bit uninstaller registered in both views,
// each view naming its own folder, and one network printer whose
// identifier lives in the shared SYSTEM key.
void RegisterInBothViews(StandardMachine& machine) {
    machine.WriteFile("C:\\Package\\driver\\zqmerle.inf", "[Version]");
    machine.WriteFile("C:\\Package\\setup\\pkg.dat", "fresh data");
    machine.MakeFolder("C:\\Clean64");
    machine.MakeFolder("C:\\Clean32");
    json& registry = machine.config()["registry"];
    registry[kPictavo] = {{"InstallFolder", "C:\\Tools64\\"}};
    registry[kPictavo32] = {{"InstallFolder", "C:\\Tools32\\"}};
    registry[kUninstall] = {{"UninstallString", "C:\\Clean64\\zqclean.exe -datfile pkg.dat"}};
    registry[kUninstall32] = {{"UninstallString", "C:\\Clean32\\zqclean.exe -datfile pkg.dat"}};
    registry[kOfficeData] = {{"SoftwareCUEContextID", "id-office"}};
    machine.config()["printers"] =
        json::array({{{"name", "Office"}, {"port", "IP_10.0.0.5"}, {"driver", "ZQ Merle 5400 Series"}}});
    machine.config()["services"] = {{"zqdevsvc", {{"state", "running"}}}};
}

std::vector<json> ReadsOf(const test::TestMachine& machine, const std::string& key) {
    std::vector<json> reads;
    for (const json& read : machine.Events("registryRead"))
        if (read["key"] == key) reads.push_back(read);
    return reads;
}

struct MachineRow {
    const char* machine;
    json os;
    std::string installFolder;   // as read
    std::string dataFileTarget;  // from the uninstall string that was read
    std::string pictavoKey;      // where the install folder was read
    json softwareView;           // the view of that read (null: one view only)
    json printerView;            // the view of the PrinterDriverData read
    std::string rundll32;        // the printer set-up tool's program
};

TEST(Wow64, TheLauncherReadsAndStartsWhereA32BitProgramDoes) {
    const MachineRow rows[] = {
        {"32-bit Windows XP",
         {{"major", 5}, {"minor", 1}, {"servicePackMajor", 3}, {"bits", 32}},
         "C:\\Tools64\\",
         "C:\\Clean64\\pkg.dat",
         kPictavo,
         nullptr,
         nullptr,
         "C:\\Windows\\system32\\rundll32.exe"},
        {"Windows XP x64",
         {{"major", 5}, {"minor", 2}, {"servicePackMajor", 2}, {"bits", 64}},
         "C:\\Tools32\\",
         "C:\\Clean32\\pkg.dat",
         kPictavo32,
         "32-bit",
         "64-bit",
         "C:\\Windows\\SysWOW64\\rundll32.exe"},
    };
    for (const MachineRow& row : rows) {
        SCOPED_TRACE(row.machine);
        StandardMachine machine(PrinterUpdatePackage());
        RegisterInBothViews(machine);
        machine.config()["os"] = row.os;
        machine.Run();

        const std::vector<std::string> log = machine.LogMessages();
        EXPECT_TRUE(test::Contains(log, "** InstallFolder : " + row.installFolder));
        auto copies = machine.Events("fileCopied");
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0]["to"], row.dataFileTarget);

        auto pictavo = ReadsOf(machine, row.pictavoKey);
        ASSERT_EQ(pictavo.size(), 1u);
        EXPECT_EQ(pictavo[0]["view"], row.softwareView);
        EXPECT_EQ(pictavo[0]["found"], true);

        // The printer's identifier: the shared SYSTEM key, through the 64-bit flag.
        EXPECT_TRUE(test::Contains(log, "DeviceInstanceID : id-office"));
        auto printerData = ReadsOf(machine, kOfficeData);
        ASSERT_FALSE(printerData.empty());
        EXPECT_EQ(printerData[0]["view"], row.printerView);

        // GetSystemDirectoryW still answers system32; the file reached is the 32-bit one.
        auto starts = machine.Events("processStart");
        ASSERT_FALSE(starts.empty());
        EXPECT_EQ(starts[0]["commandLine"].get<std::string>().rfind("rundll32 printui.dll,PrintUIEntry /if", 0), 0u);
        EXPECT_EQ(starts[0]["program"], row.rundll32);
        EXPECT_EQ(machine.Events("printerAdded").at(0)["ok"], true);
    }
}

TEST(Wow64, AKeyOnlyA64BitProgramSeesIsNotFound) {
    // A machine file that registers the imaging software where a 64-bit
    // program would: the launcher does not find it, and says so in its log.
    StandardMachine machine(PrinterUpdatePackage());
    RegisterInBothViews(machine);
    machine.config()["registry"].erase(kPictavo32);
    machine.config()["os"] = {{"major", 5}, {"minor", 2}, {"servicePackMajor", 2}, {"bits", 64}};
    machine.Run();
    EXPECT_TRUE(test::Contains(machine.LogMessages(), "## I didn't get install folder"));
    auto reads = ReadsOf(machine, kPictavo32);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0]["found"], false);
    EXPECT_TRUE(ReadsOf(machine, kPictavo).empty());
}

TEST(Wow64, RegistryKeyInView) {
    const struct {
        const wchar_t* key;
        RegistryView view;
        bool is64Bit;
        const wchar_t* reached;
    } rows[] = {
        {L"SOFTWARE\\Zelt\\Pictavo", RegistryView::Default, true, L"SOFTWARE\\Wow6432Node\\Zelt\\Pictavo"},
        {L"software\\zelt", RegistryView::Default, true, L"software\\Wow6432Node\\zelt"},
        {L"SOFTWARE", RegistryView::Default, true, L"SOFTWARE\\Wow6432Node"},
        {L"SOFTWARE\\Zelt\\Pictavo", RegistryView::Force64, true, L"SOFTWARE\\Zelt\\Pictavo"},
        {L"SOFTWARE\\Wow6432Node\\Zelt", RegistryView::Default, true, L"SOFTWARE\\Wow6432Node\\Zelt"},
        {L"SOFTWAREX\\Zelt", RegistryView::Default, true, L"SOFTWAREX\\Zelt"},
        {L"SYSTEM\\CurrentControlSet", RegistryView::Default, true, L"SYSTEM\\CurrentControlSet"},
        {L"SYSTEM\\CurrentControlSet", RegistryView::Force64, true, L"SYSTEM\\CurrentControlSet"},
        {L"SOFTWARE\\Zelt\\Pictavo", RegistryView::Default, false, L"SOFTWARE\\Zelt\\Pictavo"},
        {L"SOFTWARE\\Zelt\\Pictavo", RegistryView::Force64, false, L"SOFTWARE\\Zelt\\Pictavo"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.key));
        EXPECT_EQ(sim::RegistryKeyInView(row.key, row.view, row.is64Bit), row.reached);
    }
}

TEST(Wow64, TheSystemFolderOfA32BitProcess) {
    const struct {
        const char* why;
        json os;
        const wchar_t* named;
        bool found;  // the file lies in SysWOW64 only; "exempt" files in system32 only
    } rows[] = {
        {"32-bit: system32 is system32",
         {{"major", 5}, {"minor", 1}, {"bits", 32}},
         L"C:\\Windows\\system32\\only32.dll",
         false},
        {"64-bit: system32 is SysWOW64",
         {{"major", 5}, {"minor", 2}, {"bits", 64}},
         L"C:\\Windows\\System32\\only32.dll",
         true},
        {"64-bit: through a relative path",
         {{"major", 5}, {"minor", 2}, {"bits", 64}},
         L"C:\\Windows\\inf\\..\\system32\\only32.dll",
         true},
        {"64-bit: SysWOW64 named itself",
         {{"major", 5}, {"minor", 2}, {"bits", 64}},
         L"C:\\Windows\\SysWOW64\\only32.dll",
         true},
        {"64-bit: drivers\\etc is exempt",
         {{"major", 5}, {"minor", 2}, {"bits", 64}},
         L"C:\\Windows\\system32\\drivers\\etc\\hosts",
         true},
        {"64-bit: spool is exempt",
         {{"major", 6}, {"minor", 0}, {"bits", 64}},
         L"C:\\Windows\\system32\\spool\\drivers\\x64\\3\\zq.dll",
         true},
        {"64-bit: other drivers are redirected",
         {{"major", 5}, {"minor", 2}, {"bits", 64}},
         L"C:\\Windows\\system32\\drivers\\zq.sys",
         false},
        {"Vista: driverstore is redirected",
         {{"major", 6}, {"minor", 0}, {"bits", 64}},
         L"C:\\Windows\\system32\\DriverStore\\x.inf",
         false},
        {"Windows 7: driverstore is exempt",
         {{"major", 6}, {"minor", 1}, {"bits", 64}},
         L"C:\\Windows\\system32\\DriverStore\\x.inf",
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        test::TestMachine machine;
        machine.config()["os"] = row.os;
        machine.WriteFile("C:\\Windows\\SysWOW64\\only32.dll", "x86");
        machine.WriteFile("C:\\Windows\\system32\\drivers\\etc\\hosts", "shared");
        machine.WriteFile("C:\\Windows\\system32\\spool\\drivers\\x64\\3\\zq.dll", "x64");
        machine.WriteFile("C:\\Windows\\system32\\drivers\\zq.sys", "x64");
        machine.WriteFile("C:\\Windows\\system32\\DriverStore\\x.inf", "x64");
        Platform& platform = machine.Load().platform();
        EXPECT_EQ(platform.files.IsExistingFile(row.named), row.found);
        EXPECT_EQ(platform.environment.SystemDirectory(), L"C:\\Windows\\system32");
    }
}

}  // namespace
}  // namespace zq
