// Checking whether the MySQL login in the connection window's fields works.
#pragma once

#include "db/connection_string.h"

namespace db {

// Creates a connection (a failure to create one propagates as db::Error, as everywhere) and
// opens it with mySqlConnectionString(fields). Returns true when it opened, false on any failure
// to open; shows nothing. The connection is released on return.
bool probeMySqlLogin(const LoginFields& fields);

}  // namespace db
