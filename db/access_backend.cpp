// The Access backend: db::Backend over the engine in db/jet.
//
// The connection string gives the file ("Data Source") and the database password
// ("JET OLEDB:Database Password"). Statements go to the engine's SQL front end; the tables
// schema lists every table-like object with the TABLE_TYPE the platform's provider reports.
// Engine errors become db::Error here, at one boundary.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "db/access_fields.h"
#include "db/access_structure.h"
#include "db/backend.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/jet/base/error.h"
#include "db/jet/catalog/names.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/read_only_folders.h"

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
        case jet::ErrorKind::Constraint:
            return errc::kConstraint;
        case jet::ErrorKind::TableExists:
            return errc::kTableExists;
        case jet::ErrorKind::Engine:
            return errc::kProviderNotFound;
        case jet::ErrorKind::Locked:
            return errc::kLocked;
        case jet::ErrorKind::Usage:
            return errc::kGeneric;
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
    AccessBackend(std::unique_ptr<jet::Database> db, std::optional<Error> writeRefusal)
        : db_(std::move(db)), writeRefusal_(std::move(writeRefusal)) {}

    std::unique_ptr<Cursor> execute(std::string_view sql) override {
        const bool inTransaction = db_ && db_->inTransaction();
        try {
            return guarded([&]() -> std::unique_ptr<Cursor> {
                database().refresh();
                if (!session_) session_ = std::make_unique<jet::sql::Session>(database());
                auto result = session_->execute(sql);
                if (!result) return nullptr;
                return std::make_unique<AccessCursor>(std::move(result), database().format());
            });
        } catch (const Error& e) {
            if (e.number() == errc::kReadOnly && writeRefusal_) throw *writeRefusal_;
            // A statement whose failure took the whole open transaction with it (writing early
            // to a full disk, say): the statements before it in the transaction are undone too.
            if (inTransaction && db_ && !db_->inTransaction())
                throw Error(errc::kTransactionRolledBack, e.description());
            throw;
        }
    }

    std::unique_ptr<Cursor> tablesSchema() override {
        return guarded([&]() -> std::unique_ptr<Cursor> {
            std::vector<FieldInfo> fields = {{"TABLE_CATALOG", adtype::kVarWChar, 0},
                                             {"TABLE_SCHEMA", adtype::kVarWChar, 0},
                                             {"TABLE_NAME", adtype::kVarWChar, 64},
                                             {"TABLE_TYPE", adtype::kVarWChar, 64}};
            database().refresh();
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

    TableStructure tableStructure(std::string_view table) override {
        return guarded([&] { return readAccessTableStructure(database(), table); });
    }

    // One transaction at a time, on the engine's own transactions: its statements are undone
    // together by a rollback and made durable together by a commit.
    void beginTransaction() override {
        guarded([&] {
            if (database().inTransaction())
                throw Error(errc::kGeneric, "A transaction is already active.");
            database().beginTransaction();
        });
    }
    void commitTransaction() override {
        guarded([&] {
            if (!database().inTransaction())
                throw Error(errc::kGeneric, "No transaction is active.");
            database().commitTransaction();
        });
    }
    void rollbackTransaction() override {
        guarded([&] {
            if (!database().inTransaction())
                throw Error(errc::kGeneric, "No transaction is active.");
            database().rollbackTransaction();
        });
    }

    void close() override {
        session_.reset();
        db_.reset();
    }

  private:
    jet::Database& database() {
        if (!db_) throw Error(errc::kClosed, "Operation is not allowed when the object is closed.");
        return *db_;
    }
    std::unique_ptr<jet::Database> db_;
    std::unique_ptr<jet::sql::Session> session_;  // made on first use, dropped before db_
    // Why the file could not be opened for writing, told again when a statement wants to write.
    std::optional<Error> writeRefusal_;
};

}  // namespace

std::unique_ptr<Backend> openAccessBackend(const ConnectionString& cs, const OpenOptions& open) {
    const auto path = cs.get("Data Source");
    if (!path || path->empty())
        throw Error(errc::kBadConnectionString,
                    "The connection string names no Access file (Data Source).");
    jet::OpenOptions options;
    options.password = cs.get("JET OLEDB:Database Password").value_or("");
    // Mode 1 asks for reading only; every other mode (the platform's default included) opens
    // the file for writing. A file that cannot be written now is still opened for reading, and
    // a statement that writes is told why it cannot.
    options.mode = open.mode == 1 ? jet::OpenMode::ReadOnly : jet::OpenMode::ReadWrite;
    std::optional<Error> refusal;
    if (inReadOnlyFolder(*path)) {
        if (options.mode == jet::OpenMode::ReadWrite)
            refusal = Error(errc::kReadOnly,
                            "The database \"" + *path +
                                "\" belongs to the program's installation and is not written "
                                "into. Copy it to a folder of your own to change it.");
        options.mode = jet::OpenMode::ReadOnly;
        options.lockFile = false;
    }
    return guarded([&]() -> std::unique_ptr<Backend> {
        if (options.mode == jet::OpenMode::ReadWrite) {
            // A file we may not write, or one on a read-only file system (a CD, a share
            // mounted read-only), is read all the same.
            if (::access(path->c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS)) {
                options.mode = jet::OpenMode::ReadOnly;
            } else {
                try {
                    return std::make_unique<AccessBackend>(jet::Database::open(*path, options),
                                                           std::nullopt);
                } catch (const jet::Error& e) {
                    if (e.kind() != jet::ErrorKind::Locked && e.kind() != jet::ErrorKind::ReadOnly)
                        throw;
                    refusal = Error(errorNumber(e.kind()), e.message());
                    options.mode = jet::OpenMode::ReadOnly;
                }
            }
        }
        return std::make_unique<AccessBackend>(jet::Database::open(*path, options),
                                               std::move(refusal));
    });
}

}  // namespace db
