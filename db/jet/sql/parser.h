// Parsing one statement of the Access dialect into the structures of ast.h.
#pragma once

#include <string_view>

#include "db/jet/sql/ast.h"

namespace jet::sql {

// Parses one statement. Throws jet::Error (Syntax) when it is not one the engine knows
// ("The statement "…" is not one the Access engine can run.") or when it is written wrongly
// ("Syntax error in the statement "…": <what is wrong>."); both messages quote the statement.
Statement parse(std::string_view sql);

}  // namespace jet::sql
