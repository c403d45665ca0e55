// The Access half of the table catalogue: the user tables of an Access file, and whether it
// holds a table of a given name.
//
// "User tables" are the rows of the tables schema whose TABLE_TYPE is "TABLE". Nothing is
// cached: every call opens its own connection and reads the catalogue anew. Neither function
// catches errors: a wrong password, a damaged file or a missing engine reaches the caller as
// db::Error.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection_string.h"

namespace db {

// True when `path` names an existing regular file whose modification time can be read; never
// throws.
bool accessFileExists(std::string_view path);

// The user tables of the Access file, in catalogue order, or nullopt when no file exists at
// `path`. The connection is opened with buildAccessConnectionString(login), that is from the
// login's Access path and password.
std::optional<std::vector<std::string>> getAccessTableNames(std::string_view path,
                                                            const LoginFields& login);

// True when the Access file `path`, opened with `password`, holds a user table whose name
// equals `name` ignoring letter case; false when no file exists at `path`.
bool accessTableExists(std::string_view path, std::string_view password, std::string_view name);

// True when `a` and `b` name the same table by the comparison accessTableExists() makes.
bool accessTableNamesEqual(std::string_view a, std::string_view b);

// A table name as the table browser's lists compare it, letter case aside: ASCII letters in
// lower case, other letters folded to one case. Two names are the same table for the lists when
// these are equal.
std::string listFoldedName(std::string_view name);
// The order of the browser's lists: by listFoldedName.
bool listNameLess(std::string_view a, std::string_view b);

}  // namespace db
