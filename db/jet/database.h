// An open Access database: the entry point of the engine.
//
// Opening identifies the version, reads the header, checks the password, sets up page decoding
// and reads the catalogue; from then on tables can be listed and read. Table definitions are
// read on first use and kept. A Database is used from one thread at a time; the table readers
// it hands out must not outlive it.
//
// Writing comes later: the same object will open files read-write, with the pager keeping dirty
// pages and a journal beside the file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/catalog.h"
#include "db/jet/file.h"
#include "db/jet/header.h"
#include "db/jet/office_encryption.h"
#include "db/jet/pager.h"
#include "db/jet/properties.h"
#include "db/jet/table_def.h"

namespace jet {

class TableReader;

struct OpenOptions {
    std::string password;  // UTF-8; empty for none
    OpenMode mode = OpenMode::ReadOnly;
    std::size_t cachePages = Pager::kDefaultCachePages;
};

class Database {
  public:
    // Opens the file at `path`. Throws jet::Error: NotDatabase (no such file, not an Access
    // file), WrongPassword (the database password of a .mdb, or the password of an encrypted
    // .accdb, does not match; checked before any table is read), NotSupported (an encryption
    // scheme or a version the engine does not know), Corrupt, Io.
    static std::unique_ptr<Database> open(const std::string& path, const OpenOptions& options);
    static std::unique_ptr<Database> open(std::unique_ptr<File> file, const OpenOptions& options);
    ~Database();

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

    // A reader over the rows of the table named `name` (letter case ignored). Throws
    // NoSuchTable naming it, NotSupported for a saved query or a linked table of that name, or
    // Corrupt when the definition cannot be read.
    std::unique_ptr<TableReader> openTable(std::string_view name);
    std::unique_ptr<TableReader> openTable(const CatalogEntry& entry, bool resolveComplex = true);

  private:
    Database() = default;
    std::unique_ptr<Pager> pager_;
    DatabaseHeader header_;
    std::optional<OfficeEncryption> encryption_;
    const CodePage* codePage_ = nullptr;
    std::unique_ptr<Catalog> catalog_;
    std::map<std::uint32_t, std::shared_ptr<const TableDef>> defs_;
};

}  // namespace jet
