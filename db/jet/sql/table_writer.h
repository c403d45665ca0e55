// What the writing statements do to a database: CREATE TABLE, INSERT INTO, DROP TABLE and
// SELECT … INTO, each as one atomic statement of the Database (database.h): a statement that is
// refused leaves the file as it was.
//
// A new table gets its pages (table_creator.h), its row in MSysObjects (id: its definition's
// page; the "Tables" container as parent; type 1; created and updated now; the owner of the
// database as owner; flags 0; its properties, when NOT NULL gave it some) and the access rows
// Access gives a new table in MSysACEs: one for each access row of the "Tables" container that
// its children inherit, with the same rights, except the group the container grants 0xF01FE
// to, which Access leaves out. DROP TABLE takes all of that away again, and frees the pages.
// Every row goes through TableStore, so the indexes of MSysObjects and MSysACEs stay in step.
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
#include <string>
#include <string_view>

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

    // The store of the table `entry`, made or found again. REQUIRES: a statement is open.
    TableStore& store(const CatalogEntry& entry);

  private:
    const CatalogEntry& findTable(std::string_view name) const;
    const CatalogEntry& systemTable(const char* name) const;
    void requireUserTable(const CatalogEntry& e, const char* action) const;
    void requireFreeName(std::string_view name) const;
    // Creates the table and its catalogue rows; returns its definition's page.
    std::uint32_t create(const std::string& name, const std::vector<ColumnPlan>& columns,
                         const std::vector<NewIndex>& indexes,
                         const std::vector<std::uint8_t>& properties);
    void addCatalogRows(const std::string& name, std::uint32_t tdefPage,
                        const std::vector<std::uint8_t>& properties);
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

// Checks a table or column name as Access does: 1 to 64 characters, no leading blank, none of
// . ! ` [ ] and no control characters. Throws Syntax naming it and `what` ("table", "column").
void validateName(std::string_view name, const char* what);

}  // namespace jet
