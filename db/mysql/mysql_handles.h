// Owning handles for MariaDB Connector/C objects.
//
// A MySqlHandle owns one MYSQL session and closes it when it goes; a SharedSession shares one
// among the session object and the prepared-statement cursors that still read from it. A
// ResultHandle owns one MYSQL_RES: a result fetched with mysql_store_result holds all its rows and
// no pointer back to the session, so it may outlive the session that produced it. A
// StatementHandle owns one MYSQL_STMT, which belongs to its session and must be closed first.
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

struct StatementCloser {
    void operator()(MYSQL_STMT* s) const noexcept { mysql_stmt_close(s); }
};
using StatementHandle = std::unique_ptr<MYSQL_STMT, StatementCloser>;

using SharedSession = std::shared_ptr<MYSQL>;

// Initialises the client library once per process (thread-safe) and returns a fresh session
// handle. Throws db::Error when the library is out of memory.
MySqlHandle newSessionHandle();

}  // namespace db::mysql
