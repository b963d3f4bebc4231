// The shared fixture of the host tests: a simulated machine in a fresh
// temporary folder, removed again when the test ends.
//
//   TestMachine machine;
//   machine.config()["os"]["bits"] = 64;              // machine.json, before the run
//   machine.WriteFile("C:\\Package\\autorun.inf", text);
//   machine.Run("-log 511");                         // start, the launcher, exit
//   EXPECT_EQ(machine.LogMessages()[0], "+++       Starting : zqmerlesetup.exe");
//   EXPECT_EQ(machine.Events("messageBox").size(), 1u);
//
// The folder starts with an empty machine.json object and an empty drive C:.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/sim_machine.h"
#include "tests/support/temporary_folder.h"

namespace zq::test {

class TestMachine {
public:
    TestMachine();
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // machine.json's content; written by Load and Run.
    nlohmann::json& config() { return config_; }

    // Files and folders on the machine's drives, by Windows path; missing
    // folders above them are made.
    void WriteFile(const std::string& windowsPath, const std::string& bytes);
    void WriteUtf16LeFile(const std::string& windowsPath, const std::wstring& text, bool bom = false);
    void MakeFolder(const std::string& windowsPath);
    bool FileExists(const std::string& windowsPath) const;  // a file or a folder
    // A host symbolic link at the Windows path, naming `target` (which need
    // not exist): what another program plants as a link or junction.
    void PlantHostLink(const std::string& windowsPath, const std::filesystem::path& target);
    std::string ReadFile(const std::string& windowsPath) const;

    // Writes machine.json and makes a new machine from the folder (its
    // journal in the folder). Machines made before stay valid until the
    // fixture ends.
    sim::SimMachine& Load();
    // The last machine made by Load.
    sim::SimMachine& Machine();

    // One run as zqmerlesetup-sim does it: Load() unless done, then the
    // journal's "start", the launcher, "exit". The argument text replaces
    // machine.json's "argumentText" when it is not empty.
    void Run(const std::string& argumentText = {});

    // TEMP\zqmerlesetupNNN.log of the last machine made (TEMP as the machine
    // has it, default C:\Temp); empty when missing.
    std::string Log(int index = 0) const;
    // Its lines without the "[..]" time stamps and the CR LF.
    std::vector<std::string> LogMessages(int index = 0) const;

    std::vector<nlohmann::json> Journal() const;
    std::vector<nlohmann::json> Events(const std::string& name) const;

    std::filesystem::path Dir() const { return dir_; }
    std::filesystem::path HostPath(const std::string& windowsPath) const;

private:
    TemporaryFolder folder_;
    std::filesystem::path dir_;
    nlohmann::json config_ = nlohmann::json::object();
    std::vector<std::unique_ptr<sim::SimMachine>> machines_;
};

}  // namespace zq::test
