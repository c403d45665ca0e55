// The structure of an Access table, read from the file's own records: the column flags and the
// indexes of its definition, the column properties Access keeps for it (Required, DefaultValue,
// Description, AllowZeroLength), and the relationships of MSysRelationships whose referencing
// table it is and whose integrity Access enforces.
//
//   MSysRelationships grbit   meaning
//   0x00000002                integrity not enforced (such a relationship is left out)
//   0x00000100                updates of the referenced key cascade
//   0x00001000                deletes of the referenced row cascade
//   0x00002000                deleting the referenced row sets the key to Null
//
// Logical indexes of kind 0x02 are the halves of relationships, which the engine keeps for
// them; they are not indexes of their own and are not listed.
#pragma once

#include <string_view>

#include "db/table_structure.h"

namespace jet {
class Database;
enum class ColumnType : std::uint8_t;
}  // namespace jet

namespace db {

// Throws jet::Error: NoSuchTable when the file has no table `table` (letter case ignored),
// Corrupt when its records cannot be read.
TableStructure readAccessTableStructure(jet::Database& database, std::string_view table);

// An Access DefaultValue expression ("0", "=\"abc\"", "#1/31/2024#", "Now()", "Yes") as a
// default for a column of `type`.
ColumnDefault parseAccessDefault(std::string_view expression, jet::ColumnType type);

}  // namespace db
