// One MySQL session: the Backend that Connection uses for MySQL servers.
//
// Logging in always names its transport: TCP to the given port (so "localhost" never quietly
// takes a socket and the port always counts), or the Unix socket when the server text is a path.
// The session speaks utf8mb4, runs exactly one statement per call (multiple statements are off,
// so nothing inside a value or a name can start a second one), never reconnects behind the
// caller's back, and never lets the server read local files (LOAD DATA LOCAL is off). The link is
// encrypted whenever the server offers TLS over TCP, and verified as the connection string's
// SSLMODE asks (mysql_login.h); logins that encrypt the password with the server's RSA key
// (MySQL 8's caching_sha2_password without TLS) take it from SERVER_PUBLIC_KEY or ask the server.
//
// Timeouts: logging in gives up after kConnectTimeoutSeconds, so an unreachable server is an
// error rather than a hang. Once logged in, a statement may run as long as the server needs; only
// a server that sends nothing at all for kReadTimeoutSeconds, or accepts nothing for
// kWriteTimeoutSeconds, is taken as gone.
//
// Statements that read rows (SELECT, WITH) run as prepared statements, so that every number
// arrives as the server holds it (see mysql_statement.h); all others, and those the server cannot
// prepare, go as plain text. Either way the whole result is held on the client.
//
// A lost session (the server went away, the connection was killed or dropped) throws
// errc::kConnectionLost, and so does every later call on it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/backend.h"
#include "db/mysql/mysql_handles.h"
#include "db/mysql/mysql_target.h"

namespace db::mysql {

inline constexpr unsigned kConnectTimeoutSeconds = 5;
inline constexpr unsigned kReadTimeoutSeconds = 3600;
inline constexpr unsigned kWriteTimeoutSeconds = 600;

class MySqlSession : public Backend {
  public:
    // Logs in. Throws db::Error with the server's or the library's message: errc::kWrongPassword
    // when the server refuses the login, errc::kCannotOpen otherwise (a certificate that cannot
    // be verified, a server without the encryption asked for, a login method the client library
    // cannot load: each in a sentence of its own).
    static std::unique_ptr<MySqlSession> open(const MySqlTarget& target);

    // Runs one statement. Returns its rows held on the client, or nullptr for a statement
    // without a result set.
    std::unique_ptr<Cursor> execute(std::string_view sql) override;
    // A query that reads rows streams them from the server (row count -1); the session runs
    // nothing else until the cursor is gone. Other statements run as execute() runs them.
    std::unique_ptr<Cursor> executeForwardOnly(std::string_view sql) override;
    // One row per table and view of the current database, sorted by name: TABLE_CATALOG (the
    // database), TABLE_SCHEMA (Null), TABLE_NAME, TABLE_TYPE ("TABLE" for base tables, "VIEW"
    // for views, the server's own word for anything else). No current database: no rows.
    std::unique_ptr<Cursor> tablesSchema() override;
    // Read from information_schema and SHOW INDEX (mysql_structure.h).
    TableStructure tableStructure(std::string_view table) override;
    // START TRANSACTION (which, as always on MySQL, first commits a transaction still open),
    // COMMIT and ROLLBACK. A statement that commits implicitly (DDL) ends the transaction too.
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;
    // Ends the session; an open transaction is rolled back by the server. Safe to call twice.
    // Record sets of prepared queries still open keep the link itself until they go; nothing
    // more can be run on it.
    void close() override;

    // True while the server reports an open transaction on this session (the status of its last
    // reply).
    bool inTransaction() const override;

  private:
    explicit MySqlSession(MySqlHandle handle) : m_(handle.release(), SessionCloser{}) {}
    MYSQL* usable();
    // Throws the error a failed call left (`code`, `text`), after telling lost sessions and
    // undone transactions apart. `wasInTransaction`: the server had a transaction open before.
    [[noreturn]] void fail(unsigned code, const std::string& text, bool wasInTransaction);
    [[noreturn]] void failFromSession(bool wasInTransaction);
    void drainExtraResults();
    std::unique_ptr<Cursor> executeText(std::string_view sql, bool wasInTransaction);
    // A query that reads rows as a prepared statement (its rows stored, or streamed), any other
    // statement as text.
    std::unique_ptr<Cursor> run(std::string_view sql, bool stream);

    SharedSession m_;
    std::string lost_;  // the message that ended the session; empty while it lives
};

}  // namespace db::mysql
