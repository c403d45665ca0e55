// dunmorrow-cli run in the test's own process, with the given standard input.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/cli/commands.h"

namespace clitest {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun run(const std::vector<std::string>& args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = cli::runCommandLine(args, in, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace clitest
