// Owning handles for MariaDB Connector/C objects.
//
// A MySqlHandle owns one MYSQL session and closes it when it goes; a ResultHandle owns one
// MYSQL_RES. A result fetched with mysql_store_result holds all its rows and no pointer back to
// the session, so it may outlive the session that produced it.
#pragma once

#include <mysql.h>

#include <memory>

namespace db::mysql {

struct SessionCloser {
    void operator()(MYSQL* m) const noexcept { mysql_close(m); }
};
using MySqlHandle = std::unique_ptr<MYSQL, SessionCloser>;

struct ResultFreer {
    void operator()(MYSQL_RES* r) const noexcept { mysql_free_result(r); }
};
using ResultHandle = std::unique_ptr<MYSQL_RES, ResultFreer>;

// Initialises the client library once per process (thread-safe) and returns a fresh session
// handle. Throws db::Error when the library is out of memory.
MySqlHandle newSessionHandle();

}  // namespace db::mysql
