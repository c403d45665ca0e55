// Statements of the Access dialect, parsed into plain structures.
//
// Reading needs one form:
//
//   SELECT [TOP n] * FROM name [;]
//
// where name is bare, `quoted` or [bracketed]. Later statements (CREATE TABLE, INSERT INTO,
// DROP TABLE, SELECT … INTO) join the Statement variant; a statement of any other kind fails
// with a Syntax error that names it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace jet::sql {

struct SelectStatement {
    std::string table;
    std::optional<std::uint64_t> top;  // TOP n
};

using Statement = std::variant<SelectStatement>;

// Parses one statement. Throws jet::Error (Syntax) naming the statement when it is not one the
// engine knows.
Statement parse(std::string_view sql);

}  // namespace jet::sql
