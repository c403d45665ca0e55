// Changing the definition of a table that exists (the layout is in table_def.h): indexes added
// beside those it has, and the AutoNumber counter set.
//
// The definition is read as it is stored and changed in place: a new physical index gets its
// entry at the end of the block of index counts and its column block at the end of the physical
// indexes; a new logical index goes among the logical indexes, and its name among their names,
// at the place its name takes in their order (Access keeps them sorted by name, letter case
// ignored). Everything else, bytes the engine does not interpret included, stays as it was.
// Writing puts the definition back on its pages, taking a further page when it outgrows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/page/pager.h"
#include "db/jet/table/table_def.h"

namespace jet {

namespace logical_index_kind {
inline constexpr std::uint8_t kPlain = 0x00;
inline constexpr std::uint8_t kPrimaryKey = 0x01;
inline constexpr std::uint8_t kForeignKey = 0x02;
}  // namespace logical_index_kind

// The side of a relationship a foreign-key logical index stands for.
namespace related_table_kind {
inline constexpr std::uint8_t kPrimary = 0x01;  // this table holds the referenced key
inline constexpr std::uint8_t kForeign = 0x02;  // this table holds the foreign key
}  // namespace related_table_kind

struct PhysicalIndexPlan {
    std::vector<IndexColumn> columns;  // column numbers, in key order
    std::uint8_t flags = 0x80;         // 0x01 unique, 0x02 ignore nulls, 0x08 required, 0x80
    std::uint32_t usageMapRef = 0;
    std::uint32_t rootPage = 0;
    std::uint32_t keyCount = 0;  // the distinct keys it holds
};

struct LogicalIndexPlan {
    std::string name;
    std::uint32_t number = 0;  // TableDefEditor::nextLogicalNumber()
    std::uint32_t physicalIndex = 0;
    std::uint8_t kind = logical_index_kind::kPlain;
    // Foreign keys: the other side of the relationship (its logical index number and the first
    // page of its table's definition), and the cascade rules (1: cascades; deletes: 2 sets Null).
    std::uint8_t relatedTableKind = 0;
    std::int32_t relatedIndex = -1;
    std::uint32_t relatedTablePage = 0;
    std::uint8_t cascadeUpdates = 0;
    std::uint8_t cascadeDeletes = 0;
};

class TableDefEditor {
  public:
    // Reads the definition of `def` from its pages. Throws Corrupt when its counts do not fit it,
    // NotSupported for a version whose definitions the engine does not write.
    TableDefEditor(Pager& pager, const TableDef& def);

    std::uint32_t physicalIndexCount() const { return physicalCount_; }
    std::uint32_t logicalIndexCount() const { return logicalCount_; }
    // A number no logical index of the table has.
    std::uint32_t nextLogicalNumber() const { return nextNumber_; }

    // Adds a physical index; returns its number.
    std::uint32_t addPhysicalIndex(const PhysicalIndexPlan& plan);
    void addLogicalIndex(const LogicalIndexPlan& plan);

    // Writes the definition back. Throws what the pager throws. REQUIRES: a statement is open.
    void write();

  private:
    struct Layout {
        std::size_t counts = 0;               // the first entry of the index counts
        std::size_t columns = 0;              // the first column descriptor
        std::size_t physical = 0;             // the first physical index block
        std::size_t logical = 0;              // the first logical index
        std::size_t logicalNames = 0;         // the first logical index's name
        std::vector<std::size_t> nameStarts;  // of each logical index's name, and its end
    };
    Layout layout() const;
    std::string nameAt(std::size_t pos) const;
    std::uint32_t get32(std::size_t at) const;
    void put32(std::size_t at, std::uint32_t v);
    void insert(std::size_t at, const std::vector<std::uint8_t>& bytes);

    Pager& pager_;
    std::vector<std::uint32_t> pages_;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t physicalCount_ = 0;
    std::uint32_t logicalCount_ = 0;
    std::uint16_t columnCount_ = 0;
    std::uint32_t nextNumber_ = 0;
};

// Sets the last AutoNumber the table whose definition starts at `tdefPage` handed out (the next
// row gets `value` + 1). REQUIRES: a statement is open.
void setLastAutoNumber(Pager& pager, std::uint32_t tdefPage, std::uint32_t value);

}  // namespace jet
