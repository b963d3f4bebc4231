#include "tests/support/test_machine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "base/text.h"
#include "log/log_file.h"
#include "authoring/log_records.h"
#include "platform/sim/machine_drives.h"
#include "app/sim/run_launcher.h"
#include "platform/sim/windows_path.h"
#include "tests/support/sim_program.h"

namespace zq::test {

namespace fs = std::filesystem;

namespace {

sim::WindowsPath AbsolutePath(const std::string& windowsPath) {
    std::optional<sim::WindowsPath> path = sim::ParseAbsoluteWindowsPath(Utf8ToUtf16(windowsPath));
    if (!path) throw std::invalid_argument(windowsPath + ": not an absolute Windows path");
    return *path;
}

}  // namespace

TestMachine::TestMachine() : folder_("zqmachine"), dir_(folder_.Dir()) {
    fs::create_directories(dir_ / "drives" / "C");
}

// The machines go before their folder does.
TestMachine::~TestMachine() { machines_.clear(); }

fs::path TestMachine::HostPath(const std::string& windowsPath) const {
    return sim::MachineDrives(dir_).HostPath(AbsolutePath(windowsPath));
}

void TestMachine::WriteFile(const std::string& windowsPath, const std::string& bytes) {
    const sim::WindowsPath path = AbsolutePath(windowsPath);
    sim::MachineDrives drives(dir_);
    drives.MakeFolders(path.Parent());
    std::ofstream file(drives.HostPath(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error(windowsPath + ": cannot be written");
}

void TestMachine::WriteUtf16LeFile(const std::string& windowsPath, const std::wstring& text, bool bom) {
    WriteFile(windowsPath, (bom ? std::string("\xFF\xFE") : std::string()) + StringToUtf16LeBytes(text));
}

void TestMachine::MakeFolder(const std::string& windowsPath) {
    if (!sim::MachineDrives(dir_).MakeFolders(AbsolutePath(windowsPath))) {
        throw std::runtime_error(windowsPath + ": cannot be made");
    }
}

bool TestMachine::FileExists(const std::string& windowsPath) const {
    return sim::MachineDrives(dir_).KindOf(AbsolutePath(windowsPath)) != sim::EntryKind::Missing;
}

void TestMachine::PlantHostLink(const std::string& windowsPath, const fs::path& target) {
    const sim::WindowsPath path = AbsolutePath(windowsPath);
    sim::MachineDrives drives(dir_);
    drives.MakeFolders(path.Parent());
    fs::create_symlink(target, drives.HostPath(path));
}

std::string TestMachine::ReadFile(const std::string& windowsPath) const { return ReadText(HostPath(windowsPath)); }

sim::SimMachine& TestMachine::Load() {
    std::ofstream file(dir_ / "machine.json", std::ios::binary | std::ios::trunc);
    file << config_.dump(2) << '\n';
    file.close();
    machines_.push_back(std::make_unique<sim::SimMachine>(dir_));
    return *machines_.back();
}

sim::SimMachine& TestMachine::Machine() {
    if (machines_.empty()) throw std::logic_error("TestMachine::Machine() before Load()");
    return *machines_.back();
}

void TestMachine::Run(const std::string& argumentText) {
    sim::SimMachine& machine = machines_.empty() ? Load() : *machines_.back();
    if (!argumentText.empty()) machine.SetArgumentText(Utf8ToUtf16(argumentText));
    sim::RunLauncherOn(machine);
}

std::string TestMachine::Log(int index) const {
    if (machines_.empty()) return {};
    // As the launcher names it: an unset TEMP gives "\zqmerlesetup000.log", the root of the current drive.
    const WString temp = machines_.back()->platform().environment.EnvironmentVariable(L"TEMP").value_or(L"");
    return ReadText(machines_.back()->HostPathOf(LogFileCandidate(LogFolderOf(temp), index)));
}

std::vector<std::string> TestMachine::LogMessages(int index) const { return sim::LogMessages(Log(index)); }

std::vector<nlohmann::json> TestMachine::Journal() const {
    std::vector<nlohmann::json> events;
    fs::path journal = machines_.empty() ? dir_ / "journal.jsonl" : machines_.back()->JournalPath();
    std::ifstream file(journal);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty()) events.push_back(nlohmann::json::parse(line));
    }
    return events;
}

std::vector<nlohmann::json> TestMachine::Events(const std::string& name) const {
    std::vector<nlohmann::json> events;
    for (const nlohmann::json& event : Journal()) {
        if (event["event"] == name) events.push_back(event);
    }
    return events;
}

}  // namespace zq::test
