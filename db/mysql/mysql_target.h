// Where and as whom a MySQL session logs in, read from a connection string.
//
// The keys are SERVER, PORT, USER, PASSWORD and DATABASE in any letter case (the ODBC spellings
// UID, PWD and DB are accepted too). A server text that begins with "/" is the path of the
// server's Unix socket; any other server is reached over TCP at the given port, "localhost"
// included. An empty server means "localhost" and an empty port 3306.
#pragma once

#include <string>
#include <string_view>

namespace db {
class ConnectionString;
}

namespace db::mysql {

struct MySqlTarget {
    std::string host;        // name or address for TCP; empty when socketPath is used
    unsigned port = 3306;    // TCP port; unused with a socket
    std::string socketPath;  // non-empty: connect through this Unix socket
    std::string user;
    std::string password;
    std::string database;  // empty: no default database
};

inline constexpr unsigned kDefaultPort = 3306;

// Throws db::Error (errc::kBadConnectionString) when the port is not a whole number from 1 to
// 65535. Blanks around the port are ignored; every other value is taken as it stands.
MySqlTarget targetFromConnectionString(const ConnectionString& cs);

// The port text as a number, by the rule above. Throws as above.
unsigned parsePort(std::string_view text);

}  // namespace db::mysql
