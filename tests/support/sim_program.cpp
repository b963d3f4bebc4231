#include "tests/support/sim_program.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zq::test {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ProgramResult RunSim(const std::vector<std::string>& arguments, const std::filesystem::path& scratch,
                     const std::string& environment) {
    std::string command = environment + " " + Quoted(ZQ_SIM_EXECUTABLE);
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    command += " >" + Quoted((scratch / "out.txt").string()) + " 2>" + Quoted((scratch / "err.txt").string());
    ProgramResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadText(scratch / "out.txt");
    result.err = ReadText(scratch / "err.txt");
    return result;
}

}  // namespace zq::test
