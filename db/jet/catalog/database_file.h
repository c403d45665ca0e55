// An open Access database file: its pages, header, catalogue, table definitions and
// transactions, and its tables as stored. The engine's entry point is Database
// (database/database.h), a DatabaseFile that also shows complex columns as their values; the
// complex columns are read from their hidden tables through a DatabaseFile.
//
// Opening identifies the version, reads the header, checks the password, sets up page decoding
// and reads the catalogue; from then on tables can be listed and read. Table definitions are
// read on first use and kept. A DatabaseFile is used from one thread at a time; the table readers
// it hands out must not outlive it.
//
// Opening a file by path also takes its lock file (lock_file.h) shared, and, when the file has a
// rollback journal beside it left by a program that stopped in the middle of a transaction,
// plays the journal back first (journal.h), so every open sees only committed transactions. The
// first transaction of a connection opened for writing takes the lock exclusively (refused with
// Locked while another program has the file open) and keeps it until the connection closes.
//
// Writing. Every change runs inside a statement, and statements inside transactions:
//
//   DatabaseFile::Statement st(db);  // a savepoint, or a transaction of its own when none is
//   ... pager().writablePage(n) ...  // open; see pager.h for pages, allocation and freeing
//   st.commit();                     // keep it; without this the destructor undoes it all
//
// or, the same, db.writeStatement([&] { ... }). A statement that throws leaves the file, and
// everything the engine reads, exactly as before it began. Explicit transactions group
// statements into one durable step: beginTransaction(), any number of statements,
// commitTransaction() (durable when it returns) or rollbackTransaction(). A statement run with
// no transaction open commits on its own.
//
// Writers that change MSysObjects or a table definition tell it (schemaChanged(),
// tableDefChanged()) so that what it has cached is read again.
//
// Before its first write a connection checks the structures writes rely on (write_check.h) and
// refuses, naming the damage, to write into a file where they are damaged.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "db/jet/catalog/catalog.h"
#include "db/jet/catalog/properties.h"
#include "db/jet/page/file.h"
#include "db/jet/page/header.h"
#include "db/jet/page/journal.h"
#include "db/jet/page/lock_file.h"
#include "db/jet/page/office_encryption.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/table_def.h"
#include "db/jet/table/value_codec.h"

namespace jet {

class TableReader;

struct OpenOptions {
    std::string password;  // UTF-8; empty for none
    // ReadWrite opens the file for writing and takes its lock exclusively. A file of a version
    // the engine only reads (Jet 3) is opened all the same; its writes fail with ReadOnly.
    OpenMode mode = OpenMode::ReadOnly;
    std::size_t cachePages = Pager::kDefaultCachePages;
    // False: reading makes no lock file beside the database (see DatabaseLock::acquire), for
    // files in a folder nothing may be written into, such as an installation's.
    bool lockFile = true;
};

class DatabaseFile {
  public:
    // An open transaction is rolled back.
    virtual ~DatabaseFile();
    DatabaseFile(const DatabaseFile&) = delete;
    DatabaseFile& operator=(const DatabaseFile&) = delete;

    const Format& format() const { return pager_->format(); }
    const DatabaseHeader& header() const { return header_; }
    // How an encrypted .accdb is encrypted; nullopt for every other file.
    const std::optional<OfficeEncryption>& encryption() const { return encryption_; }
    Pager& pager() { return *pager_; }
    const CodePage& codePage() const { return *codePage_; }
    const Catalog& catalog() const { return *catalog_; }

    struct SchemaEntry {
        std::string name;
        TableKind kind;
    };
    // Every table-like object (tables, system tables, linked tables, select queries), in
    // catalogue order.
    std::vector<SchemaEntry> schema() const;
    // The names of the user tables, in catalogue order.
    std::vector<std::string> userTableNames() const;

    // The definition of the table `entry`, read once. Throws Corrupt.
    std::shared_ptr<const TableDef> tableDef(const CatalogEntry& entry);
    // The properties of `entry` (empty when it has none). Throws Corrupt.
    std::vector<PropertyMap> properties(const CatalogEntry& entry);

    // The table named `name` (letter case ignored), read again first when another connection
    // changed the file. Throws NoSuchTable naming it, NotSupported for a saved query or a
    // linked table of that name.
    const CatalogEntry& readableTable(std::string_view name);
    // A reader over the rows of `entry` as they are stored: a complex column yields its ids,
    // unless `complex` holds, for its column number, the values to show for them. Throws
    // Corrupt when the definition cannot be read.
    std::unique_ptr<TableReader> openStoredTable(
        const CatalogEntry& entry, std::map<std::uint16_t, ComplexValueMap> complex = {});

    // ---- writing ----

    // True when statements may write: opened read-write, of a version the engine writes.
    bool writable() const { return pager_->writable(); }

    // Opens a transaction. When another program changed the file since this connection opened
    // it, the catalogue is read again here (so take CatalogEntry references after this call).
    // On a database that cannot be written the transaction only reads:
    // its statements fail with ReadOnly (naming why) before they change anything. Throws Locked
    // when another program has the file open, or another connection of this program has a
    // transaction open on it; ReadOnly when no lock file can be made beside the file; Usage
    // when this connection has one open already; Corrupt, at the first write of the connection,
    // when the structures writes rely on are damaged (write_check.h).
    void beginTransaction();
    // Makes the transaction's statements durable. On failure (Io) nothing of it is kept, the
    // transaction is over, and the error is rethrown. Throws Usage when none is open.
    // REQUIRES: no Statement open.
    void commitTransaction();
    // Undoes every statement of the transaction. Throws Usage when none is open.
    void rollbackTransaction();
    bool inTransaction() const { return explicit_ || pager_->inTransaction(); }

    // One atomic statement (see the top of this file). Begins a savepoint inside the open
    // transaction, or a transaction of its own. Throws like beginTransaction().
    class Statement {
      public:
        explicit Statement(DatabaseFile& db);
        // Undoes the statement unless commit() returned.
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        // Keeps the statement; commits its own transaction when it has one (durable on
        // return). Inside a transaction, an outermost statement may write dirty pages early
        // (Pager::spillIfLarge). On failure the statement (or, when writing early failed, the
        // whole transaction) is undone and the error rethrown.
        void commit();

      private:
        DatabaseFile& db_;
        bool ownTransaction_ = false;
        bool done_ = false;
    };
    // Runs `work` as one Statement and returns what it returns.
    template <typename Work>
    auto writeStatement(Work&& work) -> decltype(work()) {
        Statement st(*this);
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            st.commit();
        } else {
            auto result = work();
            st.commit();
            return result;
        }
    }

    // MSysObjects changed: the catalogue is read again now, and every cached definition dropped.
    void schemaChanged();
    // The definition starting at page `tableDefPage` changed: it is read again on next use.
    void tableDefChanged(std::uint32_t tableDefPage) { defs_.erase(tableDefPage); }
    // Counts the times the catalogue and every definition were dropped and read anew (a change
    // of the schema, a rollback, another connection's commit); writers that remember things
    // about tables between statements forget them when it moves.
    std::uint64_t schemaEpoch() const { return schemaEpoch_; }

    // Sees what other connections of this program committed since this one last looked: the
    // page cache, catalogue and definitions are dropped when there is anything new. Called by
    // the statements of this class; callers between their own statements. Does nothing inside
    // a transaction.
    void refresh();

    // The lock of the file (nullptr for files not opened by path).
    DatabaseLock* lock() { return lock_.get(); }
    // What replaying a journal at open found (found == false when there was none).
    const ReplayResult& recovery() const { return recovery_; }

  protected:
    DatabaseFile() = default;
    // What Database::open does (see there).
    void openPath(const std::string& path, const OpenOptions& options);
    void openFile(std::unique_ptr<File> file, std::unique_ptr<JournalStore> journal,
                  const OpenOptions& options);

  private:
    void finishOpen(const OpenOptions& options);
    // Takes the lock file exclusively, once, before the first write; reads the catalogue again
    // when another program changed the file since it was opened.
    void lockForWriting();
    // Before the first write of the connection (and after another program changed the file):
    // refuses to write, with Corrupt naming the first problem, into a file whose structures
    // are damaged (write_check.h).
    void checkStructureBeforeWriting();
    struct FileStamp {
        std::uint64_t size = 0;
        std::int64_t modified = 0;  // nanoseconds
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp fileStamp() const;
    void afterRollback() noexcept;
    void endWrite() noexcept;

    std::unique_ptr<DatabaseLock> lock_;  // released last
    std::string path_;
    FileStamp stamp_;  // the file when it was opened
    std::uint64_t seenGeneration_ = 0;
    bool explicit_ = false;
    bool structureChecked_ = false;
    ReplayResult recovery_;
    std::unique_ptr<Pager> pager_;
    DatabaseHeader header_;
    std::optional<OfficeEncryption> encryption_;
    const CodePage* codePage_ = nullptr;
    std::unique_ptr<Catalog> catalog_;
    std::map<std::uint32_t, std::shared_ptr<const TableDef>> defs_;
    std::uint64_t schemaEpoch_ = 0;
};

}  // namespace jet
