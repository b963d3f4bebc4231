#include "tests/support/result_file.h"

#include "tests/support/sim_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace zq::test {

namespace fs = std::filesystem;

SchemaCheck CheckAgainstSchema(const fs::path& schema, const std::vector<fs::path>& files) {
    const fs::path source(ZQ_SOURCE_DIR);
    std::string command = Quoted(ZQ_PYTHON3) + " " + Quoted((source / "tests" / "host" / "validate_json.py").string()) +
                          " " + Quoted(schema.string());
    for (const fs::path& file : files) command += " " + Quoted(file.string());
    command += " 2>&1";
    SchemaCheck check;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return check;
    char buffer[512];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) check.output.append(buffer, read);
    const int status = ::pclose(pipe);
    check.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return check;
}

nlohmann::json ReadResultFile(const TestMachine& machine, const std::string& windowsPath) {
    if (!machine.FileExists(windowsPath)) {
        ADD_FAILURE() << windowsPath << ": no result file";
        return nullptr;
    }
    const SchemaCheck check = CheckAgainstSchema(kResultSchema, {machine.HostPath(windowsPath)});
    if (check.status != 0) {
        ADD_FAILURE() << windowsPath << " against docs/result-file.schema.json (status " << check.status << "):\n"
                      << check.output << machine.ReadFile(windowsPath);
        return nullptr;
    }
    return nlohmann::json::parse(machine.ReadFile(windowsPath));
}

}  // namespace zq::test
