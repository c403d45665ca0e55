// Connection and Recordset: the data-access operations the windows use.
//
// A Connection is created closed; setting CursorLocation and Mode before Open decides how it
// opens. The connection string picks the database: "DRIVER={MySQL ODBC 5.1 Driver};…" reaches a
// MySQL server, "Provider=Microsoft.ACE.OLEDB.12.0;…" or "PROVIDER=Microsoft.Jet.OLEDB.4.0;…" an
// Access file. Every failure is a db::Error with a number and a description. Objects are not
// shared between threads.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/backend.h"
#include "db/error.h"
#include "db/value.h"

namespace db {

inline constexpr int kAdUseServer = 2;
inline constexpr int kAdUseClient = 3;
inline constexpr int kAdModeReadWrite = 3;
inline constexpr int kAdSchemaTables = 20;
inline constexpr int kAdOpenForwardOnly = 0;
inline constexpr int kAdOpenStatic = 3;
inline constexpr int kAdLockOptimistic = 3;
inline constexpr int kAdStateClosed = 0;
inline constexpr int kAdStateOpen = 1;

class Recordset;

class Connection {
  public:
    // Creating a connection starts the Access engine the first time; throws db::Error with
    // errc::kProviderNotFound when it cannot be started.
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setCursorLocation(int location);
    int cursorLocation() const { return options_.cursorLocation; }
    void setMode(int mode);
    int mode() const { return options_.mode; }

    void open(const std::string& connectionString);
    // Runs one statement; returns its rows as an open record set, or a closed one when the
    // statement returns no rows.
    std::unique_ptr<Recordset> execute(std::string_view sql);
    std::unique_ptr<Recordset> openSchema(int schema);
    // The structure of the table `table`: its keys, indexes, required columns, defaults and
    // foreign keys (db/table_structure.h). REQUIRES: open, and no forward-only record set of
    // this connection open.
    TableStructure tableStructure(std::string_view table);
    void beginTrans();
    void commitTrans();
    void rollbackTrans();
    // Backend::inTransaction of the open backend; false when closed.
    bool inTransaction() const { return backend_ && backend_->inTransaction(); }
    int state() const { return backend_ ? kAdStateOpen : kAdStateClosed; }
    // REQUIRES: open (a closed connection throws errc::kClosed).
    void close();

    // The open backend. REQUIRES: open.
    Backend& backend();

  private:
    OpenOptions options_;
    std::unique_ptr<Backend> backend_;
};

class Field {
  public:
    const std::string& name() const { return info_->name; }
    int type() const { return info_->type; }
    long definedSize() const { return info_->definedSize; }
    int precision() const { return info_->precision; }
    int numericScale() const { return info_->scale; }
    const FieldInfo& info() const { return *info_; }
    // The value in the current row. REQUIRES: a current row (throws errc::kEof otherwise).
    const Value& value() const;

  private:
    friend class Recordset;
    Field(const Recordset* rs, const FieldInfo* info, std::size_t index)
        : rs_(rs), info_(info), index_(index) {}
    const Recordset* rs_;
    const FieldInfo* info_;
    std::size_t index_;
};

class Recordset {
  public:
    Recordset() = default;
    explicit Recordset(std::unique_ptr<Cursor> cursor) { attach(std::move(cursor)); }

    // Runs `sql` on `connection` and positions on the first row. Every record set is a static copy
    // of the rows in order, except with cursor type kAdOpenForwardOnly: the rows are then read
    // as they are stepped through where the database can (MySQL), RecordCount may be -1, and the
    // connection runs nothing else while the record set is open. The lock type is accepted for
    // compatibility.
    void open(std::string_view sql, Connection& connection, int cursorType = -1, int lockType = -1);
    bool eof() const { return !hasRow_; }
    void moveNext();
    long recordCount() const;
    int state() const { return cursor_ ? kAdStateOpen : kAdStateClosed; }
    void close();

    int fieldCount() const;
    Field field(std::size_t index) const;
    Field field(std::string_view name) const;  // ignoring letter case; errc::kNoSuchField

    // The whole current row. REQUIRES: !eof().
    const std::vector<Value>& row() const;

  private:
    friend class Field;
    void attach(std::unique_ptr<Cursor> cursor);
    void requireOpen() const;
    std::unique_ptr<Cursor> cursor_;
    // Counted when first asked for: a reader that only steps through the rows never pays for
    // a second pass over them.
    mutable std::optional<long> count_;
    std::vector<Value> row_;
    bool hasRow_ = false;
};

}  // namespace db
