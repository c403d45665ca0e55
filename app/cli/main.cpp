// dunmorrow-cli: the engine without windows.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/commands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = cli::runCommandLine(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
