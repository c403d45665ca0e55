// The relationships Access enforces, checked when a row is added to their foreign table: a row
// whose foreign-key columns all have a value must find a row with the same values in the
// primary table, as Access requires ("referential integrity"). A key with a Null column needs
// no match.
//
// Relationships are the rows of MSysRelationships (one per column of the key, in the order of
// icolumn): szRelationship names it, szObject and szColumn are the foreign table and column,
// szReferencedObject and szReferencedColumn the primary ones, grbit its options, of which 0x02
// means Access does not enforce it. The match is looked up in a unique index of the primary
// table over exactly the referenced columns; a primary table without one cannot be checked, and
// rows of the foreign table are then refused as the engine cannot write them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/jet/database/database.h"
#include "db/jet/table/table_def.h"
#include "db/value.h"

namespace jet {

struct ForeignKey {
    std::string name;
    std::string primaryTable;
    std::vector<std::string> columns;            // of the foreign table, in key order
    std::vector<std::string> referencedColumns;  // of the primary table, in the same order
};

// The enforced relationships whose foreign table is `table`. Throws Corrupt.
std::vector<ForeignKey> enforcedForeignKeys(Database& db, const std::string& table);

// The check of one relationship for rows of its foreign table `def`.
class ForeignKeyCheck {
  public:
    // Throws NotSupported when the primary table has no unique index over the referenced
    // columns, NoSuchTable or Corrupt when the relationship names what does not exist.
    ForeignKeyCheck(Database& db, const TableDef& def, ForeignKey key);
    ~ForeignKeyCheck();
    // Throws Constraint naming the relationship when `row` (one value per column of the foreign
    // table, converted) has a key the primary table lacks.
    void check(const std::vector<db::Value>& row);
    // True when `row` needs no match (a column of its key is Null) or the primary table has one.
    // Throws Constraint when a key value does not fit the primary table's column.
    bool matches(const std::vector<db::Value>& row);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace jet
