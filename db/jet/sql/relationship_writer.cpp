// ALTER TABLE … ADD CONSTRAINT … FOREIGN KEY: a relationship with enforced referential integrity,
// written as Access writes one.
//
// - MSysRelationships gets one row per column of the key: szRelationship the name, grbit the
//   options (0x00000100 cascading updates, 0x00001000 cascading deletes, 0x00002000 deletes
//   setting the key Null, 0x00000001 one to one: the foreign columns are unique too), ccolumn
//   the number of columns, icolumn the column's place in the key, szObject and szColumn the
//   foreign table and column, szReferencedObject and szReferencedColumn the primary ones.
// - MSysObjects gets the relationship as an object of its own: type 8, the "Relationships"
//   container as parent, and an id below zero, one above the highest such id of the catalogue
//   (they count up from -2147483648); MSysACEs the access rows it inherits from the container,
//   the database's owner taking the rights the container gives the creator.
// - Both tables get a logical index of kind 2 naming the other side (its table's definition
//   page and the number of its logical index) and the cascade rules (updates 1; deletes 1, or 2
//   for setting Null). The primary table's is named ".rB" (".rC", ... when that is taken) and
//   shares the physical index of the unique key it references, marked as the primary side (1);
//   the foreign table's carries the relationship's name and the physical index over the foreign
//   columns, one already there or one built from the rows, marked as the foreign side (2).
//
// Refused before anything is written: tables that do not exist or are system tables, columns
// that do not exist, are named twice, or differ in type from the column they reference; a
// primary table without a unique index over exactly the referenced columns; a name another
// relationship or an index of the foreign table has; more indexes than Access keeps a table;
// and any row of the foreign table whose key columns all have values that the primary table
// does not hold (the sentence names the values).
#include <limits>

#include "db/jet/base/error.h"
#include "db/jet/sql/table_writer.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/foreign_keys.h"
#include "db/jet/write/index_creator.h"
#include "db/jet/write/table_def_editor.h"
#include "db/jet/write/value_convert.h"

namespace jet {

namespace {

constexpr std::int64_t kOneToOne = 0x00000001;
constexpr std::int64_t kCascadeUpdates = 0x00000100;
constexpr std::int64_t kCascadeDeletes = 0x00001000;
constexpr std::int64_t kCascadeNull = 0x00002000;
constexpr std::uint8_t kUniqueIndex = 0x01;
constexpr std::uint8_t kCascades = 1;
constexpr std::uint8_t kSetsNull = 2;

const ColumnDef& resolveColumn(const TableDef& def, const std::string& table,
                               const std::string& name, const std::string& relationship) {
    for (const auto& c : def.columns)
        if (sameName(c.name, name)) return c;
    throw Error(ErrorKind::Syntax, "The table '" + table + "' has no column '" + name +
                                       "' for the relationship '" + relationship + "'.");
}

std::string quotedList(const std::vector<const ColumnDef*>& columns) {
    std::string out;
    for (const ColumnDef* c : columns)
        out += (out.empty() ? "'" : ", '") + c->name + "'";
    return out;
}

// The physical index of the primary table that a relationship can use: unique, over exactly
// `columns` in their order.
int uniqueIndexOver(const TableDef& def, const std::vector<const ColumnDef*>& columns) {
    for (std::size_t i = 0; i < def.indexes.size(); ++i) {
        const PhysicalIndex& idx = def.indexes[i];
        if (!(idx.flags & kUniqueIndex) || idx.columns.size() != columns.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < columns.size(); ++k)
            if (idx.columns[k].columnNumber != columns[k]->number) same = false;
        if (same) return static_cast<int>(i);
    }
    return -1;
}

// ".rB", ".rC", ...: the first of these names no logical index of `def` has.
std::string primarySideName(const TableDef& def) {
    for (char c = 'B'; c <= 'z'; c = c == 'Z' ? 'a' : static_cast<char>(c + 1)) {
        const std::string name = std::string(".r") + c;
        bool taken = false;
        for (const auto& li : def.logicalIndexes)
            if (sameName(li.name, name)) taken = true;
        if (!taken) return name;
    }
    throw Error(ErrorKind::Constraint, "The table takes part in too many relationships.");
}

}  // namespace

void TableWriter::addRelationship(const sql::AddConstraintStatement& s) {
    // Copies: the catalogue is read anew below.
    const CatalogEntry foreign = findTable(s.table);
    const CatalogEntry primary = findTable(s.referencedTable);
    requireUserTable(foreign, "relate");
    requireUserTable(primary, "relate");
    validateName(s.name, "relationship");
    const auto foreignDef = db_.tableDef(foreign);
    const auto primaryDef = db_.tableDef(primary);
    const bool self = foreign.id == primary.id;

    std::vector<const ColumnDef*> fc, pc;
    for (std::size_t k = 0; k < s.columns.size(); ++k) {
        fc.push_back(&resolveColumn(*foreignDef, foreign.name, s.columns[k], s.name));
        pc.push_back(&resolveColumn(*primaryDef, primary.name, s.referencedColumns[k], s.name));
        for (std::size_t j = 0; j < k; ++j)
            if (fc[j] == fc[k] || pc[j] == pc[k])
                throw Error(ErrorKind::Syntax,
                            "The relationship '" + s.name + "' names the column '" +
                                (fc[j] == fc[k] ? fc[k]->name : pc[k]->name) + "' twice.");
        if (fc[k]->type != pc[k]->type)
            throw Error(ErrorKind::Constraint,
                        "The relationship '" + s.name + "' cannot relate the column '" +
                            fc[k]->name + "' (" + describeColumnType(*fc[k]) + ") of table '" +
                            foreign.name + "' to the column '" + pc[k]->name + "' (" +
                            describeColumnType(*pc[k]) + ") of table '" + primary.name +
                            "': Access relates columns of the same type only.");
    }
    const int primaryIndex = uniqueIndexOver(*primaryDef, pc);
    if (primaryIndex < 0)
        throw Error(ErrorKind::Constraint,
                    "The relationship '" + s.name + "' cannot be made: the table '" + primary.name +
                        "' has no primary key or unique index over exactly its column" +
                        (pc.size() == 1 ? " " : "s ") + quotedList(pc) + ".");

    // The name: no other relationship, and no index of the foreign table, has it.
    const CatalogEntry* relationships = nullptr;
    std::int32_t highestSynthetic = std::numeric_limits<std::int32_t>::min();
    for (const auto& e : db_.catalog().entries()) {
        if (e.id < 0 && e.id > highestSynthetic) highestSynthetic = e.id;
        if (e.type == object_type::kRelationship && sameName(e.name, s.name))
            throw Error(ErrorKind::Constraint,
                        "A relationship named '" + e.name + "' exists already.");
        if (e.type == 3 && e.parentId == 0x0F000000 && e.name == "Relationships")
            relationships = &e;
    }
    if (!relationships || !db_.catalog().findTable("MSysRelationships"))
        throw Error(ErrorKind::NotSupported,
                    "The database has no place for relationships (its Relationships container "
                    "or MSysRelationships table is missing).");
    if (highestSynthetic == -1)
        throw Error(ErrorKind::Constraint, "The database holds as many objects as it can.");
    const std::int32_t relationshipsContainer = relationships->id;

    NewTableIndex foreignKey;
    foreignKey.name = s.name;
    for (const ColumnDef* c : fc)
        foreignKey.columns.push_back({c->number, true});
    checkNewIndex(db_.format(), *foreignDef, foreign.name, foreignKey, self ? 1 : 0);
    if (!self) {
        NewTableIndex side;
        side.name = primarySideName(*primaryDef);
        side.columns = primaryDef->indexes[static_cast<std::size_t>(primaryIndex)].columns;
        checkNewIndex(db_.format(), *primaryDef, primary.name, side);
    }

    // Every row there is must keep the rule.
    ForeignKey key;
    key.name = s.name;
    key.primaryTable = primary.name;
    for (std::size_t k = 0; k < fc.size(); ++k) {
        key.columns.push_back(fc[k]->name);
        key.referencedColumns.push_back(pc[k]->name);
    }
    {
        ForeignKeyCheck check(db_, *foreignDef, key);
        auto reader = db_.openStoredTable(foreign);
        std::vector<db::Value> row;
        while (reader->next(row)) {
            if (check.matches(row)) continue;
            std::string values;
            for (const ColumnDef* c : fc) {
                std::size_t i = 0;
                while (foreignDef->columns[i].number != c->number)
                    ++i;
                values += (values.empty() ? "" : ", ") + describeValue(row[i]);
            }
            throw Error(ErrorKind::Constraint,
                        "The relationship '" + s.name + "' cannot be made: a row of table '" +
                            foreign.name + "' holds " + values + " in " +
                            (fc.size() == 1 ? "column " : "columns ") + quotedList(fc) +
                            ", and the table '" + primary.name + "' has no row with " +
                            (fc.size() == 1 ? "that value" : "those values") + " in " +
                            quotedList(pc) + ".");
        }
    }

    // The options, as MSysRelationships and the logical indexes keep them.
    std::int64_t grbit = 0;
    if (s.cascadeUpdates) grbit |= kCascadeUpdates;
    if (s.onDelete == sql::AddConstraintStatement::OnDelete::Cascade) grbit |= kCascadeDeletes;
    if (s.onDelete == sql::AddConstraintStatement::OnDelete::SetNull) grbit |= kCascadeNull;
    for (const auto& idx : foreignDef->indexes) {
        if (!(idx.flags & kUniqueIndex) || idx.columns.size() != fc.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < fc.size(); ++k)
            if (idx.columns[k].columnNumber != fc[k]->number) same = false;
        if (same) grbit |= kOneToOne;
    }
    const std::uint8_t cascadeUpdates = s.cascadeUpdates ? kCascades : 0;
    const std::uint8_t cascadeDeletes =
        s.onDelete == sql::AddConstraintStatement::OnDelete::Cascade   ? kCascades
        : s.onDelete == sql::AddConstraintStatement::OnDelete::SetNull ? kSetsNull
                                                                       : 0;

    // The rows of MSysRelationships.
    TableStore& rel = store(systemTable("MSysRelationships"));
    rel.requireWritable();
    const TableDef& rd = rel.def();
    for (std::size_t k = 0; k < fc.size(); ++k) {
        std::vector<db::Value> values(rd.columns.size());
        auto set = [&](const char* column, db::Value v) {
            for (std::size_t i = 0; i < rd.columns.size(); ++i)
                if (sameName(rd.columns[i].name, column))
                    values[i] = convertValue(v, rd.columns[i], rel.name());
        };
        set("szRelationship", db::Value::text(s.name));
        set("grbit", db::Value::integer(grbit));
        set("ccolumn", db::Value::integer(static_cast<std::int64_t>(fc.size())));
        set("icolumn", db::Value::integer(static_cast<std::int64_t>(k)));
        set("szObject", db::Value::text(foreign.name));
        set("szColumn", db::Value::text(fc[k]->name));
        set("szReferencedObject", db::Value::text(primary.name));
        set("szReferencedColumn", db::Value::text(pc[k]->name));
        rel.insert(std::move(values));
    }
    addObjectRows(s.name, highestSynthetic + 1, object_type::kRelationship, relationshipsContainer,
                  {}, true);

    // The logical indexes of both sides.
    TableDefEditor primaryEditor(db_.pager(), *primaryDef);
    std::optional<TableDefEditor> foreignEditorStore;
    if (!self) foreignEditorStore.emplace(db_.pager(), *foreignDef);
    TableDefEditor& foreignEditor = self ? primaryEditor : *foreignEditorStore;

    const std::uint32_t primaryNumber = primaryEditor.nextLogicalNumber();
    const std::uint32_t foreignNumber =
        self ? primaryNumber + 1 : foreignEditor.nextLogicalNumber();
    const int existing = findPhysicalIndex(*foreignDef, foreignKey.columns);
    const std::uint32_t foreignPhysical =
        existing >= 0
            ? static_cast<std::uint32_t>(existing)
            : buildPhysicalIndex(db_, *foreignDef, foreign.name, foreignKey, foreignEditor);

    LogicalIndexPlan primarySide;
    primarySide.name = primarySideName(*primaryDef);
    primarySide.number = primaryNumber;
    primarySide.physicalIndex = static_cast<std::uint32_t>(primaryIndex);
    primarySide.kind = logical_index_kind::kForeignKey;
    primarySide.relatedTableKind = related_table_kind::kPrimary;
    primarySide.relatedIndex = static_cast<std::int32_t>(foreignNumber);
    primarySide.relatedTablePage = foreignDef->page;
    primarySide.cascadeUpdates = cascadeUpdates;
    primarySide.cascadeDeletes = cascadeDeletes;
    primaryEditor.addLogicalIndex(primarySide);

    LogicalIndexPlan foreignSide = primarySide;
    foreignSide.name = s.name;
    foreignSide.number = foreignNumber;
    foreignSide.physicalIndex = foreignPhysical;
    foreignSide.relatedTableKind = related_table_kind::kForeign;
    foreignSide.relatedIndex = static_cast<std::int32_t>(primaryNumber);
    foreignSide.relatedTablePage = primaryDef->page;
    foreignEditor.addLogicalIndex(foreignSide);

    primaryEditor.write();
    if (!self) foreignEditor.write();
    db_.tableDefChanged(primaryDef->page);
    db_.tableDefChanged(foreignDef->page);
    db_.schemaChanged();
}

}  // namespace jet
