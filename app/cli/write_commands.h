// The commands of dunmorrow-cli that write Access files: exec (SQL lines from standard input)
// and new (an empty database).
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// exec FILE [--password P]: runs the lines of standard input against FILE, one statement a line,
// as the review window runs a script (review/script_executor.h): empty lines are skipped, lines
// are grouped into transactions, and the run stops at the first line the engine rejects, whose
// number, text and error go to `err` (status 1); the lines before it stay in effect. A line
// ends at a line feed, and a carriage return before it is not part of the line. On success it
// prints how many statements ran.
int execCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err);

// new FILE --format jet4|ace12|ace14|ace16|ace17: creates an empty database (new_database.h).
int newCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err);

// The lines of `input` as the script text of the review window: every line feed, with a
// carriage return before it, becomes CR LF.
std::string scriptFromInput(std::string_view input);

}  // namespace cli
