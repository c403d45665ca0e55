// Table and column names inside statements for the two databases.
//
// MySQL takes any name between backquotes once every backquote inside it is doubled, so that
// no name can end its quotes early and turn the rest of itself into SQL. Access cannot hold
// every name MySQL can (no . ! ` [ ], no leading blank, no control character, at most 64
// characters): such a name is refused with a sentence that says why, before any statement that
// would carry it is made.
#pragma once

#include <string>
#include <string_view>

namespace db {

// "`" + name with every "`" doubled + "`". Every statement for MySQL quotes its names here.
std::string quoteMySqlName(std::string_view name);

// Why an Access file cannot hold `name` as a table or column name ("it holds the character
// \".\""), or "" when it can.
std::string accessNameProblem(std::string_view name);
// The same for the name of a table to be made, which may also not begin with MSys.
std::string accessNewTableNameProblem(std::string_view name);

// "`" + name + "`" for a statement to the Access engine. Throws db::Error (errc::kSyntax) when
// Access cannot hold the name: "The table name "a.b" cannot be used in an Access file: it holds
// the character ".".". `what` is "table" or "column".
std::string quoteAccessName(std::string_view name, const char* what = "table");
// The same refusal without the quoting.
void requireAccessName(std::string_view name, const char* what = "table");

// The sentence quoteAccessName throws for `name` (REQUIRES: accessNameProblem(name) is not "").
std::string accessNameRefusal(std::string_view name, const char* what, std::string_view problem);

// "[" + name + "]", refused as quoteAccessName refuses: the type dialog's column names for
// Access.
std::string bracketAccessName(std::string_view name, const char* what = "column");

}  // namespace db
