#include "tests/support/temporary_folder.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <stdexcept>
#include <system_error>
#include <vector>

namespace zq::test {

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder(const std::string& prefix) {
    const std::string pattern = (fs::path(testing::TempDir()) / (prefix + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error(pattern + ": no temporary folder");
    dir_ = buffer.data();
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code error;
    fs::remove_all(dir_, error);
}

}  // namespace zq::test
