// What the script runner needs to know about one line of SQL before it sends it: its leading
// keyword, and whether it is a plain INSERT of literal values that may be merged with its
// neighbours into one multi-row statement.
//
// The recognition is deliberately narrow. A line qualifies only when it is exactly
//   INSERT [INTO] table [(column, ...)] VALUE[S] (literal, ...)[, (literal, ...)]... [;]
// with an optional schema before the table, names bare or in backticks, and every value a
// literal: a quoted string (adjacent strings included), a number with at most one sign, a
// hexadecimal or bit literal (X'..', 0x.., B'..', 0b..), NULL, TRUE, FALSE or DEFAULT. Anything
// else (a comment, a function call, a subquery, a modifier such as IGNORE, ON DUPLICATE KEY, a
// second statement) makes the line not qualify, and it is then run on its own. Such lines
// insert the same rows whether they run one by one or merged, in order, into one statement.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace review {

// How the server reads quotes, from its sql_mode.
struct SqlDialect {
    bool backslashEscapes = true;  // off with NO_BACKSLASH_ESCAPES
    bool ansiQuotes = false;       // "..." is a name, not a string, with ANSI_QUOTES
};

// The first word of the statement in ASCII upper case, after leading blanks; empty when the line
// starts with anything else (a comment, a parenthesis, a quote).
std::string leadingKeyword(std::string_view sql);

// True when `text` contains `word` in any ASCII letter case.
bool containsIgnoringCase(std::string_view text, std::string_view word);

struct LiteralInsert {
    std::string_view head;    // the line up to the "(" of the first row of values
    std::string_view values;  // from that "(" to the ")" of the last row, nothing after
    std::string schema;       // the name as the server reads it; empty when none was given
    std::string table;
};

// The line taken apart when it is a literal INSERT as described above; nullopt otherwise.
std::optional<LiteralInsert> parseLiteralInsert(std::string_view sql, const SqlDialect& dialect);

}  // namespace review
