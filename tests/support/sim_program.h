// Running the zqmerlesetup-sim program itself, as its users do.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zq::test {

struct ProgramResult {
    int status = -1;
    std::string out, err;
};

// Runs zqmerlesetup-sim with the arguments (`environment`: assignments put
// before the command, as a shell takes them); its output is kept in
// `scratch` (out.txt, err.txt) and returned.
ProgramResult RunSim(const std::vector<std::string>& arguments, const std::filesystem::path& scratch,
                     const std::string& environment = {});

// The text in single quotes, for a POSIX shell.
std::string Quoted(const std::string& text);

// A file's bytes.
std::string ReadText(const std::filesystem::path& file);

}  // namespace zq::test
