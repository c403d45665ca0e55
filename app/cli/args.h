// What every command of dunmorrow-cli shares: its name for messages, argument parsing, the
// passwords, and the login fields of an Access file.
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

// The environment variables that carry the passwords, so that no password need stand on the
// command line, where every user of the machine can read it in the process list.
inline constexpr const char* kAccessPasswordVariable = "DUNMORROW_ACCESS_PASSWORD";
inline constexpr const char* kMySqlPasswordVariable = "DUNMORROW_MYSQL_PASSWORD";

// A command line that is not understood; the message says why (exit status 2).
struct UsageError {
    std::string message;
};

// The positional arguments and the values of the options.
struct Parsed {
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> options;  // "--password" -> its value
    // The value of `option`, or "" when it was not given (or takes no value).
    std::string value(std::string_view option) const;
    bool has(std::string_view option) const { return options.find(option) != options.end(); }
};

// An option a command knows: one that takes a value ("--format F" or "--format=F"), or a flag.
struct OptionRule {
    std::string_view name;
    bool takesValue = true;
};

// Splits `args` into positional arguments (exactly `wanted` of them) and the options named in
// `options`, each taking a value ("--password P" or "--password=P"). Throws UsageError for a
// missing value, an option not in `options`, or the wrong number of arguments.
// Without `options`: those of every command that opens an Access file, --password P and
// --password-file F.
Parsed parseArgs(const std::vector<std::string>& args, std::size_t wanted,
                 std::initializer_list<std::string_view> options = {"--password",
                                                                    "--password-file"});
// The same with between `least` and `most` positional arguments and options that may be flags.
Parsed parseArgs(const std::vector<std::string>& args, std::size_t least, std::size_t most,
                 const std::vector<OptionRule>& options);

// The first line of the file `path` (without its line end): how a password is handed over in a
// file. Throws UsageError when the file cannot be read.
std::string readPasswordFile(const std::string& path);

// The Access password of a command: --password P (which other users can see), else the first
// line of --password-file F, else $DUNMORROW_ACCESS_PASSWORD, else none.
std::string accessPassword(const Parsed& p, std::string_view valueOption = "--password",
                           std::string_view fileOption = "--password-file");

// The login fields that open the Access file `file` with `password`.
db::LoginFields loginFor(const std::string& file, const std::string& password);

// The signature of a command: arguments, standard input, output, errors; returns the exit
// status.
using CommandFunction = int (*)(const std::vector<std::string>& args, std::istream& in,
                                std::ostream& out, std::ostream& err);

}  // namespace cli
