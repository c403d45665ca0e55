// What the writing statements do to a database: CREATE TABLE, INSERT INTO, DROP TABLE,
// SELECT … INTO, CREATE INDEX and ALTER TABLE … ADD CONSTRAINT, each as one atomic statement of
// the Database (database.h): a statement that is refused leaves the file as it was.
//
// A new table gets its pages (table_creator.h), its row in MSysObjects (id: its definition's
// page; the "Tables" container as parent; type 1; created and updated now; the owner of the
// database as owner; flags 0; its properties: Required for NOT NULL, DefaultValue for DEFAULT,
// AllowZeroLength on every text column) and the access rows Access gives a new table in
// MSysACEs: one for each access row of the "Tables" container that its children inherit, with
// the same rights, except the creator's row (rights 0xF00FE), which Access leaves out. DROP
// TABLE takes all of that away again, and frees the pages. Every row goes through TableStore,
// so the indexes of MSysObjects and MSysACEs stay in step.
//
// CREATE INDEX and the PRIMARY KEY and UNIQUE constraints build their index from the rows
// (index_creator.h). A FOREIGN KEY constraint is a relationship, written as Access writes one
// (relationship_writer.cpp tells how).
//
// Refused, before anything is written: a name that is taken (by any object of the "Tables"
// container) or that Access would not take; a column type the file version lacks; writing to a
// system table; dropping a system table, or one that takes part in a relationship.
//
// A TableWriter remembers, between statements, where each table's rows go; it belongs to one
// Database and is used from one thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "db/jet/catalog/names.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/ast.h"
#include "db/jet/write/table_creator.h"
#include "db/jet/write/table_store.h"

namespace jet {

class TableWriter {
  public:
    explicit TableWriter(Database& db);
    ~TableWriter();

    void createTable(const sql::CreateTableStatement& s);
    // Returns the number of rows inserted (1).
    std::uint64_t insert(sql::InsertStatement s);
    void dropTable(std::string_view name);
    // Returns the number of rows copied.
    std::uint64_t selectInto(const sql::SelectIntoStatement& s);
    void createIndex(const sql::CreateIndexStatement& s);
    void addConstraint(const sql::AddConstraintStatement& s);

    // The store of the table `entry`, made or found again. REQUIRES: a statement is open.
    TableStore& store(const CatalogEntry& entry);

  private:
    const CatalogEntry& findTable(std::string_view name) const;
    const CatalogEntry& systemTable(const char* name) const;
    void requireUserTable(const CatalogEntry& e, const char* action) const;
    void requireFreeName(std::string_view name) const;
    // The sort order of the database's new text columns.
    SortOrder sortOrder() const;
    // The Default Value property of the column `c` (laid out as `column`) of the new table
    // `table`, or nothing for DEFAULT NULL. Throws NotSupported or Constraint when the column
    // cannot have that default.
    std::optional<std::string> defaultPropertyText(const sql::ColumnDefinition& c,
                                                   const ColumnDef& column,
                                                   const std::string& table) const;
    // Creates the table and its catalogue rows; returns its definition's page.
    std::uint32_t create(const std::string& name, const std::vector<ColumnPlan>& columns,
                         const std::vector<NewIndex>& indexes,
                         const std::vector<std::uint8_t>& properties);
    void addCatalogRows(const std::string& name, std::uint32_t tdefPage,
                        const std::vector<std::uint8_t>& properties);
    // The MSysObjects row of a new object and the access rows it inherits from `parent`. When
    // `ownerTakesCreatorRights`, the database's owner gets the rights the container gives the
    // creator, unless a row it inherits names it already (as Access does for relationships).
    void addObjectRows(const std::string& name, std::int32_t id, std::int16_t type,
                       std::int32_t parent, const std::vector<std::uint8_t>& properties,
                       bool ownerTakesCreatorRights);
    // An index of a table that exists (CREATE INDEX, PRIMARY KEY, UNIQUE).
    void addIndex(const std::string& table, const std::string& name,
                  const std::vector<sql::IndexColumnName>& columns, bool unique, bool primaryKey,
                  bool required, bool ignoreNulls);
    // FOREIGN KEY: a relationship with enforced integrity.
    void addRelationship(const sql::AddConstraintStatement& s);
    void removeCatalogRows(const CatalogEntry& table);
    bool inRelationship(const CatalogEntry& table);

    // The store INSERT INTO writes to for a table name, checked once.
    TableStore& insertTarget(const std::string& name);

    Database& db_;
    std::map<std::uint32_t, std::unique_ptr<TableStore>> stores_;  // by definition page
    // Tables INSERT INTO wrote to, by folded name, while the schema epoch stays `epoch_`.
    std::map<std::string, TableStore*> targets_;
    std::uint64_t epoch_ = 0;
};

}  // namespace jet
