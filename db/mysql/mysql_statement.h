// Queries over the binary protocol of prepared statements.
//
// The text protocol spells FLOAT values with six significant digits (16777216 arrives as
// 16777200), so queries that read rows go as prepared statements, whose binary rows carry every
// number as the machine value. runPrepared prepares, executes and stores the whole result on the
// client (exact row count); the cursor then converts each row from its bound buffers. A statement
// the server cannot prepare, or one that holds "?" placeholders, is handed back for the text
// protocol, which reports on it as it would on any other statement.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/backend.h"
#include "db/mysql/mysql_fields.h"
#include "db/mysql/mysql_handles.h"

namespace db::mysql {

// True for statement texts that read rows: SELECT or WITH (after leading blanks, any case), or a
// parenthesised query.
bool readsRows(std::string_view sql);

struct PreparedOutcome {
    enum class Kind { Rows, NoRows, UseText, Failed };
    Kind kind = Kind::UseText;
    std::unique_ptr<Cursor> cursor;  // Rows
    unsigned errorCode = 0;          // Failed: the server's or the library's error
    std::string errorText;
};

// REQUIRES: `session` is an open session. With `stream` the rows are not stored: the cursor
// reads them from the server one by one as next() asks (its row count is -1), holding one row at
// a time, and the session can run nothing else until the cursor is gone.
PreparedOutcome runPrepared(const SharedSession& session, std::string_view sql,
                            bool stream = false);

// The rows of one executed prepared statement, stored on the client. Holds a share of the
// session, because a statement's rows belong to it: the session closes only when the last such
// cursor is gone.
class PreparedResultCursor : public Cursor {
  public:
    // REQUIRES: `stmt` executed and its result stored (mysql_stmt_store_result with
    // STMT_ATTR_UPDATE_MAX_LENGTH), or with `streamed` not stored; `meta` its result metadata,
    // read after storing.
    PreparedResultCursor(SharedSession session, StatementHandle stmt, ResultHandle meta,
                         bool streamed = false);

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long recordCount() override { return count_; }
    bool next(std::vector<Value>& row) override;

  private:
    struct Slot {
        ColumnShape shape;
        unsigned long length = 0;
        my_bool isNull = 0;
        my_bool error = 0;
        union {
            long long integer;
            float single;
            double real;
        } number{};
        MYSQL_TIME time{};
        std::vector<char> bytes;  // strings, decimals, bits
    };
    void bind();
    void fetchTruncated();
    Value valueOf(const Slot& slot) const;

    SharedSession session_;  // declared first: released last
    StatementHandle stmt_;
    ResultHandle meta_;
    std::vector<FieldInfo> fields_;
    std::vector<Slot> slots_;
    std::vector<MYSQL_BIND> binds_;
    long count_ = 0;
};

}  // namespace db::mysql
