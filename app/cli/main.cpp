// dunmorrow-cli: the engine without windows.
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/commands.h"
#include "db/read_only_folders.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // The installation's own files (the sample database) are read, never written into.
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) db::addReadOnlyFolder((program.parent_path() / DM_DATA_FROM_PROGRAM).string());
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = cli::runCommandLine(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
