// check FILE [--password P]: the engine's integrity check (db/jet/check.h) from the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace jet {
struct CheckReport;
}

namespace cli {

// Prints every finding of the check, one a line ("problem: AREA: SENTENCE" before
// "note: AREA: SENTENCE"), then a summary line; status 0 when no problem was found, 1 otherwise.
int checkCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                 std::ostream& err);

// The lines checkCommand prints for `report`.
std::string formatCheckReport(const jet::CheckReport& report);

}  // namespace cli
