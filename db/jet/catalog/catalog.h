// The catalogue: the rows of the system table MSysObjects, whose definition is always on page 2.
//
// Each object of the database (tables, queries, relationships, forms, the containers that hold
// them) is one row. The engine reads these columns:
//
//   column    meaning
//   Id        object id; for tables, the low 24 bits are the page of its table definition
//   ParentId  the container; tables, linked tables and queries belong to the container named
//             "Tables", itself a child of the root (id 0x0F000000)
//   Name      the object's name
//   Type      1 table, 4 table linked through ODBC, 5 query, 6 linked Access table, 8 relationship
//   Flags     0x80000000 a table of the engine itself ("SYSTEM TABLE"), 0x00000002 a table the
//             Access program keeps for itself ("ACCESS TABLE"), 0x00000008 hidden; for
//             queries the kind (0 a select query)
//   Database, ForeignName, Connect   where a linked table lives
//   LvProp    the object's properties (see properties.h)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/catalog/names.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/page/pager.h"

namespace jet {

inline constexpr std::uint32_t kCatalogPage = 2;

namespace object_type {
inline constexpr std::int16_t kTable = 1;
inline constexpr std::int16_t kOdbcLink = 4;
inline constexpr std::int16_t kQuery = 5;
inline constexpr std::int16_t kLink = 6;
inline constexpr std::int16_t kRelationship = 8;
}  // namespace object_type

namespace object_flag {
inline constexpr std::uint32_t kEngineSystem = 0x80000000u;
inline constexpr std::uint32_t kAccessSystem = 0x00000002u;
inline constexpr std::uint32_t kHidden = 0x00000008u;
}  // namespace object_flag

// What the tables schema calls each table-like object.
enum class TableKind { Table, SystemTable, AccessTable, Link, View };
const char* tableKindName(
    TableKind kind);  // "TABLE", "SYSTEM TABLE", "ACCESS TABLE", "LINK", "VIEW"

struct CatalogEntry {
    std::int32_t id = 0;
    std::int32_t parentId = 0;
    std::string name;
    std::int16_t type = 0;
    std::uint32_t flags = 0;
    std::string database;
    std::string foreignName;
    // The stored reference to LvProp (a long-value reference, or empty): read on demand, so a
    // damaged property blob of one object does not stop the catalogue from opening.
    std::vector<std::uint8_t> lvPropRef;

    // The page of a table's definition. REQUIRES: type == object_type::kTable.
    std::uint32_t tableDefPage() const { return static_cast<std::uint32_t>(id) & 0x00FFFFFFu; }
};

class Catalog {
  public:
    // Reads every row of MSysObjects. Throws Corrupt when page 2 is not its definition, or it
    // lacks the columns above.
    Catalog(Pager& pager, const CodePage& codePage);

    const std::vector<CatalogEntry>& entries() const { return entries_; }
    // The id of the "Tables" container (that of the root when the file has none).
    std::int32_t tablesContainer() const { return tablesContainer_; }

    // The schema kind of `e`, or nothing when it is not a table-like object of the "Tables"
    // container (a relationship, a form, an action query, ...).
    std::optional<TableKind> kindOf(const CatalogEntry& e) const;
    // The table (type 1) named `name`, compared without regard to letter case; nullptr when none.
    const CatalogEntry* findTable(std::string_view name) const;
    // The object with id `id`, or nullptr.
    const CatalogEntry* findById(std::int32_t id) const;

  private:
    std::vector<CatalogEntry> entries_;
    std::int32_t tablesContainer_ = 0;
};

}  // namespace jet
