// The commands of dunmorrow-cli. Each command parses its own arguments and writes to the given
// streams; it returns the exit status. Adding a command means adding an entry to commands().
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/cli/args.h"

namespace cli {

struct Command {
    const char* name;
    const char* usage;    // "tables FILE [--password P]"
    const char* summary;  // one paragraph for --help
    CommandFunction run;
    const char* options = nullptr;  // the options, one a line, for --help (none: the common ones)
};

const std::vector<Command>& commands();

// The whole help text.
std::string helpText();

// Runs the command line (without the program name). Errors go to `err` with a non-zero status:
// 2 for a command line that is not understood, 1 when the command failed.
// `in` is standard input (exec reads its statements there); the first form gives no input.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err);

}  // namespace cli
