// A fresh folder for one test, below the test run's temporary folder
// (testing::TempDir()), removed with everything in it when the object goes:
//
//   TemporaryFolder folder;
//   WriteSomething(folder.Dir() / "autorun.inf");
#pragma once

#include <filesystem>
#include <string>

namespace zq::test {

class TemporaryFolder {
public:
    // The folder's name starts with `prefix` and ends with six random characters.
    explicit TemporaryFolder(const std::string& prefix = "zqtest");
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

}  // namespace zq::test
