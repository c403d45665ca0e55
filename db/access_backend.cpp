// The Access backend: db::Backend over the engine in db/jet.
//
// The connection string gives the file ("Data Source") and the database password
// ("JET OLEDB:Database Password"). Statements go to the engine's SQL front end; the tables
// schema lists every table-like object with the TABLE_TYPE the platform's provider reports.
// Engine errors become db::Error here, at one boundary.
#include <algorithm>

#include "db/access_fields.h"
#include "db/backend.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/jet/database.h"
#include "db/jet/error.h"
#include "db/jet/sql/executor.h"

namespace db {

namespace {

long errorNumber(jet::ErrorKind kind) {
    switch (kind) {
        case jet::ErrorKind::Io:
        case jet::ErrorKind::NotDatabase:
            return errc::kCannotOpen;
        case jet::ErrorKind::Corrupt:
            return errc::kCorrupt;
        case jet::ErrorKind::WrongPassword:
            return errc::kWrongPassword;
        case jet::ErrorKind::NotSupported:
            return errc::kNotSupported;
        case jet::ErrorKind::NoSuchTable:
            return errc::kNoSuchTable;
        case jet::ErrorKind::Syntax:
            return errc::kSyntax;
        case jet::ErrorKind::ReadOnly:
            return errc::kReadOnly;
        case jet::ErrorKind::Engine:
            return errc::kProviderNotFound;
    }
    return errc::kGeneric;
}

// Runs `f`, turning engine errors into db::Error.
template <typename F>
auto guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const jet::Error& e) {
        throw Error(errorNumber(e.kind()), e.message());
    } catch (const std::bad_alloc&) {
        throw Error(errc::kGeneric, "There is not enough memory to read the Access database.");
    }
}

class AccessCursor : public Cursor {
  public:
    AccessCursor(std::unique_ptr<jet::sql::QueryResult> result, const jet::Format& format)
        : result_(std::move(result)) {
        for (const auto& c : result_->columns())
            fields_.push_back(accessFieldInfo(c, format));
    }
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long recordCount() override {
        return guarded([&] { return static_cast<long>(result_->rowCount()); });
    }
    bool next(std::vector<Value>& row) override {
        return guarded([&] { return result_->next(row); });
    }

  private:
    std::unique_ptr<jet::sql::QueryResult> result_;
    std::vector<FieldInfo> fields_;
};

class AccessBackend : public Backend {
  public:
    explicit AccessBackend(std::unique_ptr<jet::Database> db) : db_(std::move(db)) {}

    std::unique_ptr<Cursor> execute(std::string_view sql) override {
        return guarded([&]() -> std::unique_ptr<Cursor> {
            auto result = jet::sql::execute(database(), sql);
            return std::make_unique<AccessCursor>(std::move(result), database().format());
        });
    }

    std::unique_ptr<Cursor> tablesSchema() override {
        return guarded([&]() -> std::unique_ptr<Cursor> {
            std::vector<FieldInfo> fields = {{"TABLE_CATALOG", adtype::kVarWChar, 0},
                                             {"TABLE_SCHEMA", adtype::kVarWChar, 0},
                                             {"TABLE_NAME", adtype::kVarWChar, 64},
                                             {"TABLE_TYPE", adtype::kVarWChar, 64}};
            auto entries = database().schema();
            // Ordered as the platform's provider orders the schema: by kind, then by name.
            std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
                const std::string ka = jet::tableKindName(a.kind), kb = jet::tableKindName(b.kind);
                if (ka != kb) return ka < kb;
                return jet::foldName(a.name) < jet::foldName(b.name);
            });
            std::vector<std::vector<Value>> rows;
            for (const auto& e : entries)
                rows.push_back({Value::null(), Value::null(), Value::text(e.name),
                                Value::text(jet::tableKindName(e.kind))});
            return std::make_unique<MemoryCursor>(std::move(fields), std::move(rows));
        });
    }

    // Nothing is written yet, so a transaction has nothing to keep or undo; the calls are
    // still checked so that a commit without a begin is reported.
    void beginTransaction() override {
        database();
        ++transactions_;
    }
    void commitTransaction() override { endTransaction(); }
    void rollbackTransaction() override { endTransaction(); }

    void close() override { db_.reset(); }

  private:
    jet::Database& database() {
        if (!db_) throw Error(errc::kClosed, "Operation is not allowed when the object is closed.");
        return *db_;
    }
    void endTransaction() {
        database();
        if (transactions_ == 0) throw Error(errc::kGeneric, "No transaction is active.");
        --transactions_;
    }

    std::unique_ptr<jet::Database> db_;
    int transactions_ = 0;
};

}  // namespace

std::unique_ptr<Backend> openAccessBackend(const ConnectionString& cs, const OpenOptions&) {
    const auto path = cs.get("Data Source");
    if (!path || path->empty())
        throw Error(errc::kBadConnectionString,
                    "The connection string names no Access file (Data Source).");
    jet::OpenOptions options;
    options.password = cs.get("JET OLEDB:Database Password").value_or("");
    // Files are opened for reading: the engine does not write them yet.
    options.mode = jet::OpenMode::ReadOnly;
    return guarded([&]() -> std::unique_ptr<Backend> {
        return std::make_unique<AccessBackend>(jet::Database::open(*path, options));
    });
}

}  // namespace db
