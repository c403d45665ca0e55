// What every command of dunmorrow-cli shares: its name for messages, argument parsing, and the
// login fields of an Access file.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection_string.h"

namespace cli {

inline constexpr const char* kProgram = "dunmorrow-cli";

// A command line that is not understood; the message says why (exit status 2).
struct UsageError {
    std::string message;
};

// The positional arguments and the values of the options.
struct Parsed {
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> options;  // "--password" -> its value
    // The value of `option`, or "" when it was not given.
    std::string value(std::string_view option) const;
    bool has(std::string_view option) const { return options.find(option) != options.end(); }
};

// Splits `args` into positional arguments (exactly `wanted` of them) and the options named in
// `options`, each taking a value ("--password P" or "--password=P"). Throws UsageError for a
// missing value, an option not in `options`, or the wrong number of arguments.
Parsed parseArgs(const std::vector<std::string>& args, std::size_t wanted,
                 std::initializer_list<std::string_view> options = {"--password"});

// The login fields that open the Access file `file` with `password`.
db::LoginFields loginFor(const std::string& file, const std::string& password);

// The signature of a command: arguments, standard input, output, errors; returns the exit
// status.
using CommandFunction = int (*)(const std::vector<std::string>& args, std::istream& in,
                                std::ostream& out, std::ostream& err);

}  // namespace cli
