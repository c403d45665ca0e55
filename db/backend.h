// The seam between the data-access objects and the databases behind them.
//
// A Backend is one open database (a MySQL session or an Access file). Connection owns exactly
// one while it is open. A Cursor is the result of one statement: its field descriptions, an exact
// row count and the rows in order. Backends report every failure as db::Error.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/table_structure.h"
#include "db/value.h"

namespace db {

class ConnectionString;

// Field type codes as the platform's data-access layer reports them.
namespace adtype {
inline constexpr int kEmpty = 0;
inline constexpr int kSmallInt = 2;
inline constexpr int kInteger = 3;
inline constexpr int kSingle = 4;
inline constexpr int kDouble = 5;
inline constexpr int kCurrency = 6;
inline constexpr int kDate = 7;
inline constexpr int kBoolean = 11;
inline constexpr int kDecimal = 14;
inline constexpr int kTinyInt = 16;
inline constexpr int kUnsignedTinyInt = 17;
inline constexpr int kUnsignedSmallInt = 18;
inline constexpr int kUnsignedInt = 19;
inline constexpr int kBigInt = 20;
inline constexpr int kUnsignedBigInt = 21;
inline constexpr int kGuid = 72;
inline constexpr int kBinary = 128;
inline constexpr int kChar = 129;
inline constexpr int kWChar = 130;
inline constexpr int kNumeric = 131;
inline constexpr int kDBDate = 133;
inline constexpr int kDBTime = 134;
inline constexpr int kDBTimeStamp = 135;
inline constexpr int kVarChar = 200;
inline constexpr int kLongVarChar = 201;
inline constexpr int kVarWChar = 202;
inline constexpr int kLongVarWChar = 203;
inline constexpr int kVarBinary = 204;
inline constexpr int kLongVarBinary = 205;
}  // namespace adtype

struct FieldInfo {
    std::string name;  // UTF-8
    int type = adtype::kEmpty;
    long definedSize = 0;  // characters for text, bytes for binary, 0 when unbounded
    int precision = 0;
    int scale = 0;
    bool nullable = true;
    bool autoIncrement = false;
};

class Cursor {
  public:
    virtual ~Cursor() = default;
    virtual const std::vector<FieldInfo>& fields() const = 0;
    // The exact number of rows this cursor yields in all; -1 for a forward-only cursor that does
    // not know it before its last row.
    virtual long recordCount() = 0;
    // Fills `row` with the next row (one value per field) and returns true, or returns false at
    // the end. The vector is reused from call to call.
    virtual bool next(std::vector<Value>& row) = 0;
};

// Properties set on the connection before it is opened.
struct OpenOptions {
    int cursorLocation = 2;  // 2 server side, 3 client side
    int mode = 0;            // 0 unknown, 1 read, 2 write, 3 read/write ...
};

class Backend {
  public:
    virtual ~Backend() = default;
    // Runs one statement. Returns its rows, or nullptr for a statement that returns none.
    virtual std::unique_ptr<Cursor> execute(std::string_view sql) = 0;
    // The same for reading once from first to last without holding the rows, where the database
    // can: the cursor's row count may then be -1, and the backend may run nothing else until the
    // cursor is gone.
    virtual std::unique_ptr<Cursor> executeForwardOnly(std::string_view sql) {
        return execute(sql);
    }
    // One row per table-like object, fields TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE.
    virtual std::unique_ptr<Cursor> tablesSchema() = 0;
    // The keys, indexes, column rules and foreign keys of the table `table` (see
    // table_structure.h). Throws db::Error (errc::kNoSuchTable when there is no such table).
    virtual TableStructure tableStructure(std::string_view table);
    virtual void beginTransaction() = 0;
    virtual void commitTransaction() = 0;
    virtual void rollbackTransaction() = 0;
    // True while a transaction is open on this connection, however it began (beginTransaction
    // or a statement of the caller's own, such as START TRANSACTION), as far as the database's
    // last reply tells; costs no round trip. Backends that cannot tell say false.
    virtual bool inTransaction() const { return false; }
    virtual void close() = 0;
};

// A cursor over rows held in memory (schema listings, small results, tests).
class MemoryCursor : public Cursor {
  public:
    MemoryCursor(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows)
        : fields_(std::move(fields)), rows_(std::move(rows)) {}
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long recordCount() override { return static_cast<long>(rows_.size()); }
    bool next(std::vector<Value>& row) override {
        if (pos_ >= rows_.size()) return false;
        row = std::move(rows_[pos_++]);
        return true;
    }

  private:
    std::vector<FieldInfo> fields_;
    std::vector<std::vector<Value>> rows_;
    std::size_t pos_ = 0;
};

// Backend factories, one per kind of database. Each parses what it needs from the string.
std::unique_ptr<Backend> openMySqlBackend(const ConnectionString& cs, const OpenOptions& options);
std::unique_ptr<Backend> openAccessBackend(const ConnectionString& cs, const OpenOptions& options);

// Starts the Access engine once per process (crypto providers and the like). Throws db::Error
// with errc::kProviderNotFound when it cannot be started. Tests may replace the starter.
void startAccessEngine();
using EngineStarter = void (*)();
void setAccessEngineStarter(EngineStarter starter);  // nullptr restores the built-in starter

}  // namespace db
