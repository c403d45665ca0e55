// Running another program from a test and collecting what it prints.
#pragma once

#include <string>
#include <vector>

namespace testenv {

struct ProgramResult {
    int status = -1;  // exit status; -1 when it could not be run or was killed
    std::string out;
    std::string err;
};

// Runs `argv[0]` (looked up on PATH when it has no slash) with the arguments, no shell
// involved, with `input` on standard input.
ProgramResult runProgram(const std::vector<std::string>& argv, const std::string& input = {});

// The full path of `name` on PATH, or empty when it is not installed.
std::string findOnPath(const std::string& name);

}  // namespace testenv
