// The names of tables and columns: which names Access can hold, and how it compares them.
//
// A name is 1 to 64 UTF-16 code units long, does not begin with a blank, and holds none of
// . ! ` [ ] and no control character. Access compares names without regard to letter case, and
// keeps the names beginning with MSys for its own system tables.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace jet {

// The most UTF-16 code units a table, column or index name may have.
inline constexpr std::size_t kMaxNameLength = 64;

// Letter case folded for comparisons of names (ASCII and Latin-1 letters; names of other
// scripts compare exactly).
std::string foldName(std::string_view utf8);

// True when `a` and `b` are the same name: foldName(a) == foldName(b), without making the folded
// copies when both are ASCII.
bool sameName(std::string_view a, std::string_view b);

// Why Access cannot hold `name` ("it holds the character \".\""), or "" when it can.
std::string nameProblem(std::string_view name);

// Checks a table or column name as nameProblem does. Throws Syntax naming it and `what`
// ("table", "column").
void validateName(std::string_view name, const char* what);

// True for the names of new tables that Access keeps for itself (beginning with MSys).
bool isSystemTableName(std::string_view name);
inline constexpr const char* kSystemTableNameProblem =
    "names beginning with MSys are kept for system tables";

}  // namespace jet
