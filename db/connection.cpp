// Connection and Recordset over the backends.
#include "db/connection.h"

#include <cctype>

#include "db/connection_string.h"
#include "db/jet/base/error.h"
#include "db/jet/page/crypto.h"

namespace db {

namespace {

// Starting the Access engine loads the crypto providers it needs; without them the provider
// counts as missing.
void builtInStarter() {
    try {
        jet::startEngine();
    } catch (const jet::Error&) {
        throw Error(errc::kProviderNotFound,
                    "Provider cannot be found. It may not be properly installed.");
    }
}

EngineStarter gStarter = nullptr;

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

}  // namespace

void setAccessEngineStarter(EngineStarter starter) {
    gStarter = starter;
}

void startAccessEngine() {
    if (gStarter) {
        gStarter();
        return;
    }
    builtInStarter();
}

// ---- Connection ----

Connection::Connection() {
    startAccessEngine();
}

Connection::~Connection() {
    if (backend_) {
        try {
            backend_->close();
        } catch (...) {
            // Releasing a connection never fails; what the database says on the way out is moot.
        }
    }
}

void Connection::setCursorLocation(int location) {
    options_.cursorLocation = location;
}
void Connection::setMode(int mode) {
    options_.mode = mode;
}

void Connection::open(const std::string& connectionString) {
    if (backend_)
        throw Error(errc::kGeneric,
                    "The connection is already open; close it before opening it again.");
    const ConnectionString cs = ConnectionString::parse(connectionString);
    if (auto driver = cs.get("DRIVER")) {
        if (equalsIgnoreCase(*driver, "MySQL ODBC 5.1 Driver") ||
            startsWithIgnoreCase(*driver, "MySQL ODBC")) {
            backend_ = openMySqlBackend(cs, options_);
            return;
        }
        throw Error(errc::kCannotOpen,
                    "The driver \"" + *driver + "\" is not known to this program.");
    }
    if (auto provider = cs.get("Provider")) {
        if (startsWithIgnoreCase(*provider, "Microsoft.ACE.OLEDB") ||
            startsWithIgnoreCase(*provider, "Microsoft.Jet.OLEDB")) {
            backend_ = openAccessBackend(cs, options_);
            return;
        }
        throw Error(
            errc::kProviderNotFound,
            "Provider cannot be found. It may not be properly installed. (\"" + *provider + "\")");
    }
    throw Error(errc::kBadConnectionString,
                "The connection string names neither a driver nor a provider.");
}

Backend& Connection::backend() {
    if (!backend_)
        throw Error(errc::kClosed, "Operation is not allowed when the object is closed.");
    return *backend_;
}

std::unique_ptr<Recordset> Connection::execute(std::string_view sql) {
    auto cursor = backend().execute(sql);
    if (!cursor) return std::make_unique<Recordset>();
    return std::make_unique<Recordset>(std::move(cursor));
}

std::unique_ptr<Recordset> Connection::openSchema(int schema) {
    if (schema != kAdSchemaTables)
        throw Error(errc::kNotSupported, "Schema " + std::to_string(schema) + " is not supported.");
    return std::make_unique<Recordset>(backend().tablesSchema());
}

TableStructure Connection::tableStructure(std::string_view table) {
    return backend().tableStructure(table);
}

TableStructure Backend::tableStructure(std::string_view) {
    throw Error(errc::kNotSupported, "This database cannot describe its tables' keys and indexes.");
}

void Connection::beginTrans() {
    backend().beginTransaction();
}
void Connection::commitTrans() {
    backend().commitTransaction();
}
void Connection::rollbackTrans() {
    backend().rollbackTransaction();
}

void Connection::close() {
    auto b = std::move(backend_);
    if (!b) throw Error(errc::kClosed, "Operation is not allowed when the object is closed.");
    b->close();
}

// ---- Recordset ----

void Recordset::attach(std::unique_ptr<Cursor> cursor) {
    cursor_ = std::move(cursor);
    count_.reset();
    row_.clear();
    hasRow_ = cursor_->next(row_);
}

void Recordset::open(std::string_view sql, Connection& connection, int cursorType, int) {
    if (cursor_)
        throw Error(errc::kGeneric,
                    "The record set is already open; close it before opening it again.");
    auto cursor = cursorType == kAdOpenForwardOnly ? connection.backend().executeForwardOnly(sql)
                                                   : connection.backend().execute(sql);
    if (!cursor) {
        // A statement without rows leaves the record set closed, as the platform does.
        return;
    }
    attach(std::move(cursor));
}

void Recordset::requireOpen() const {
    if (!cursor_) throw Error(errc::kClosed, "Operation is not allowed when the object is closed.");
}

void Recordset::moveNext() {
    requireOpen();
    if (!hasRow_)
        throw Error(errc::kEof,
                    "Either BOF or EOF is True, or the current record has been deleted. Requested "
                    "operation requires a current record.");
    hasRow_ = cursor_->next(row_);
}

long Recordset::recordCount() const {
    requireOpen();
    if (!count_) count_ = cursor_->recordCount();
    return *count_;
}

void Recordset::close() {
    requireOpen();
    cursor_.reset();
    row_.clear();
    hasRow_ = false;
}

int Recordset::fieldCount() const {
    requireOpen();
    return static_cast<int>(cursor_->fields().size());
}

Field Recordset::field(std::size_t index) const {
    requireOpen();
    const auto& fields = cursor_->fields();
    if (index >= fields.size())
        throw Error(errc::kNoSuchField,
                    "Item cannot be found in the collection corresponding to the requested name or "
                    "ordinal.");
    return Field(this, &fields[index], index);
}

Field Recordset::field(std::string_view name) const {
    requireOpen();
    const auto& fields = cursor_->fields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (equalsIgnoreCase(fields[i].name, name)) return Field(this, &fields[i], i);
    throw Error(errc::kNoSuchField,
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal.");
}

const std::vector<Value>& Recordset::row() const {
    requireOpen();
    if (!hasRow_)
        throw Error(errc::kEof,
                    "Either BOF or EOF is True, or the current record has been deleted. Requested "
                    "operation requires a current record.");
    return row_;
}

const Value& Field::value() const {
    return rs_->row().at(index_);
}

}  // namespace db
