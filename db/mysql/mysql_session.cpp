// The MySQL session over MariaDB Connector/C.
#include "db/mysql/mysql_session.h"

#include <mysqld_error.h>

#include <mutex>

#include "db/connection_string.h"
#include "db/error.h"
#include "db/mysql/caching_sha2_login.h"
#include "db/mysql/mysql_cursor.h"
#include "db/mysql/mysql_errors.h"
#include "db/mysql/mysql_login.h"
#include "db/mysql/mysql_statement.h"
#include "db/mysql/mysql_structure.h"

namespace db::mysql {

MySqlHandle newSessionHandle() {
    static std::once_flag once;
    std::call_once(once, [] {
        mysql_library_init(0, nullptr, nullptr);
        registerCachingSha2Login();
    });
    MYSQL* m = mysql_init(nullptr);
    if (!m)
        throw Error(errc::kCannotOpen,
                    "There is not enough memory to start a session with the MySQL server.");
    return MySqlHandle(m);
}

namespace {

// One login attempt; on failure `h` keeps the session with the library's error.
bool tryLogin(MySqlHandle& h, const MySqlTarget& t, bool withTls) {
    h = newSessionHandle();
    MYSQL* m = h.get();
    const bool socket = !t.socketPath.empty();
    const unsigned protocol = socket ? MYSQL_PROTOCOL_SOCKET : MYSQL_PROTOCOL_TCP;
    const unsigned connectTimeout = kConnectTimeoutSeconds;
    const unsigned readTimeout = kReadTimeoutSeconds;
    const unsigned writeTimeout = kWriteTimeoutSeconds;
    const my_bool noReconnect = 0;
    const unsigned noLocalFiles = 0;
    mysql_optionsv(m, MYSQL_OPT_PROTOCOL, &protocol);
    mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    mysql_optionsv(m, MYSQL_OPT_READ_TIMEOUT, &readTimeout);
    mysql_optionsv(m, MYSQL_OPT_WRITE_TIMEOUT, &writeTimeout);
    mysql_optionsv(m, MYSQL_OPT_RECONNECT, &noReconnect);
    mysql_optionsv(m, MYSQL_OPT_LOCAL_INFILE, &noLocalFiles);
    applyLoginOptions(m, t, withTls);
    const LoginInProgress inProgress(withTls ? t.tls : TlsMode::Disabled);

    // No client flags: in particular not CLIENT_MULTI_STATEMENTS.
    const bool in = mysql_real_connect(
                        m, socket ? "localhost" : t.host.c_str(), t.user.c_str(),
                        t.password.c_str(), t.database.empty() ? nullptr : t.database.c_str(),
                        socket ? 0 : t.port, socket ? t.socketPath.c_str() : nullptr, 0) != nullptr;
    // Connector/C 3.3's mysql_close forgets to free the key file's name; it is needed only to
    // log in.
    if (!t.serverPublicKey.empty()) mysql_optionsv(m, MYSQL_SERVER_PUBLIC_KEY, nullptr);
    return in;
}

}  // namespace

std::unique_ptr<MySqlSession> MySqlSession::open(const MySqlTarget& t) {
    MySqlHandle h;
    if (!tryLogin(h, t, true)) {
        if (!mayRetryWithoutTls(t, mysql_errno(h.get()))) throw loginError(h.get(), t);
        MySqlHandle plain;
        if (!tryLogin(plain, t, false)) throw loginError(plain.get(), t);
        h = std::move(plain);
    }
    requireEncryptionAsAsked(h.get(), t);
    return std::unique_ptr<MySqlSession>(new MySqlSession(std::move(h)));
}

MYSQL* MySqlSession::usable() {
    if (!lost_.empty()) throw Error(errc::kConnectionLost, lost_);
    if (!m_) throw Error(errc::kClosed, "Operation is not allowed when the object is closed.");
    return m_.get();
}

bool MySqlSession::inTransaction() const {
    if (!m_ || !lost_.empty()) return false;
    unsigned status = 0;
    if (mariadb_get_infov(m_.get(), MARIADB_CONNECTION_SERVER_STATUS, &status) != 0) return false;
    return (status & SERVER_STATUS_IN_TRANS) != 0;
}

void MySqlSession::fail(unsigned code, const std::string& text, bool wasInTransaction) {
    MYSQL* m = m_.get();
    Error err(statementErrorNumber(code),
              text.empty() ? "The MySQL server reported error " + std::to_string(code) + "."
              : isConnectionLost(code) ? lostSessionText(code, text)
                                       : text);
    if (isConnectionLost(code)) {
        lost_ = err.description();
        throw err;
    }
    if (wasInTransaction && (code == ER_LOCK_DEADLOCK || code == ER_LOCK_WAIT_TIMEOUT)) {
        // The server may have undone the whole transaction, not just this statement; the
        // error packet does not say, so ask.
        bool stillOpen = true;
        if (mysql_real_query(m, "SELECT @@in_transaction", 23) == 0) {
            ResultHandle r(mysql_store_result(m));
            MYSQL_ROW row = r ? mysql_fetch_row(r.get()) : nullptr;
            stillOpen = row && row[0] && row[0][0] == '1';
        } else if (isConnectionLost(mysql_errno(m))) {
            lost_ = lostSessionText(mysql_errno(m), mysql_error(m));
        }
        if (!stillOpen)
            throw Error(errc::kTransactionRolledBack,
                        err.description() +
                            " The server undid every statement since the transaction began.");
    }
    throw err;
}

void MySqlSession::failFromSession(bool wasInTransaction) {
    fail(mysql_errno(m_.get()), mysql_error(m_.get()), wasInTransaction);
}

void MySqlSession::drainExtraResults() {
    // Without multiple statements only a stored procedure can leave further results (its own
    // result sets and the final status); they must be read before the next statement.
    MYSQL* m = m_.get();
    while (mysql_more_results(m)) {
        const int rc = mysql_next_result(m);
        if (rc > 0) failFromSession(false);
        if (rc < 0) break;
        ResultHandle extra(mysql_store_result(m));
    }
}

std::unique_ptr<Cursor> MySqlSession::execute(std::string_view sql) {
    return run(sql, /*stream=*/false);
}

std::unique_ptr<Cursor> MySqlSession::executeForwardOnly(std::string_view sql) {
    return run(sql, /*stream=*/true);
}

std::unique_ptr<Cursor> MySqlSession::run(std::string_view sql, bool stream) {
    usable();
    const bool wasInTransaction = inTransaction();
    if (readsRows(sql)) {
        PreparedOutcome out = runPrepared(m_, sql, stream);
        switch (out.kind) {
            case PreparedOutcome::Kind::Rows:
                return std::move(out.cursor);
            case PreparedOutcome::Kind::NoRows:
                return nullptr;
            case PreparedOutcome::Kind::Failed:
                fail(out.errorCode, out.errorText, wasInTransaction);
            case PreparedOutcome::Kind::UseText:
                break;
        }
    }
    return executeText(sql, wasInTransaction);
}

std::unique_ptr<Cursor> MySqlSession::executeText(std::string_view sql, bool wasInTransaction) {
    MYSQL* m = m_.get();
    if (mysql_real_query(m, sql.data(), static_cast<unsigned long>(sql.size())) != 0)
        failFromSession(wasInTransaction);
    ResultHandle result(mysql_store_result(m));
    if (!result && mysql_field_count(m) != 0) failFromSession(wasInTransaction);
    drainExtraResults();
    if (!result) return nullptr;
    return std::make_unique<StoredResultCursor>(std::move(result));
}

std::unique_ptr<Cursor> MySqlSession::tablesSchema() {
    usable();
    auto cursor = executeText(
        "SELECT DATABASE() AS TABLE_CATALOG, TABLE_NAME, TABLE_TYPE FROM information_schema.TABLES "
        "WHERE TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME",
        inTransaction());
    std::vector<FieldInfo> fields(4);
    const char* names[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i].name = names[i];
        fields[i].type = adtype::kVarChar;
        fields[i].definedSize = 64;
    }
    std::vector<std::vector<Value>> rows;
    rows.reserve(static_cast<std::size_t>(cursor->recordCount()));
    std::vector<Value> r;
    while (cursor->next(r)) {
        std::string type = r[2].isNull() ? std::string() : r[2].asText();
        if (type == "BASE TABLE" || type == "SYSTEM VERSIONED") type = "TABLE";
        rows.push_back({r[0], Value::null(), r[1], Value::text(std::move(type))});
    }
    return std::make_unique<MemoryCursor>(std::move(fields), std::move(rows));
}

TableStructure MySqlSession::tableStructure(std::string_view table) {
    usable();
    return readMySqlTableStructure(*this, table);
}

void MySqlSession::beginTransaction() {
    execute("START TRANSACTION");
}

void MySqlSession::commitTransaction() {
    execute("COMMIT");
}

void MySqlSession::rollbackTransaction() {
    execute("ROLLBACK");
}

void MySqlSession::close() {
    m_.reset();
}

}  // namespace db::mysql

namespace db {

std::unique_ptr<Backend> openMySqlBackend(const ConnectionString& cs, const OpenOptions&) {
    // Rows are always held on the client, so both cursor locations give an exact RecordCount.
    return mysql::MySqlSession::open(mysql::targetFromConnectionString(cs));
}

}  // namespace db
