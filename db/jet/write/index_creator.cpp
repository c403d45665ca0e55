// Building a new index from the rows a table holds.
#include "db/jet/write/index_creator.h"

#include <algorithm>
#include <cstring>

#include "db/jet/base/error.h"
#include "db/jet/index/index_builder.h"
#include "db/jet/index/index_key.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/value_codec.h"
#include "db/jet/write/row_store.h"
#include "db/jet/write/table_creator.h"
#include "db/jet/write/table_indexes.h"
#include "db/jet/write/value_convert.h"

namespace jet {

namespace {

constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kIgnoreNulls = 0x02;
constexpr std::uint8_t kRequired = 0x08;
constexpr std::uint8_t kIndexFlagsBase = 0x80;  // set on every index of Jet 4 and later

// A row's key, kept in one buffer for all rows.
struct RowKey {
    std::size_t offset = 0;
    std::uint32_t length = 0;
    RowId row;
    bool allNull = false;
};

std::string what(const NewTableIndex& index) {
    return (index.primaryKey ? "primary key '" : "index '") + index.name + "'";
}

std::string columnList(const TableDef& def, const std::vector<IndexColumn>& columns) {
    std::string out;
    for (const auto& c : columns) {
        const ColumnDef* column = columnByNumber(def, c.columnNumber);
        out += (out.empty() ? "'" : ", '") + (column ? column->name : std::string("?")) + "'";
    }
    return out;
}

// The values of the key columns of the row at `id`.
std::vector<db::Value> keyValues(Database& db, const TableDef& def,
                                 const std::vector<IndexColumn>& columns, RowId id) {
    std::vector<db::Value> out;
    const ValueDecoder decoder(db.pager(), db.codePage());
    forEachRow(db.pager(), def, [&](RowId at, const ByteReader& row) {
        if (at != id || !out.empty()) return;
        const RowView view(row, db.format(), def.varColumns > 0);
        for (const auto& c : columns)
            out.push_back(
                decoder.decode(ColumnDecoder::make(*columnByNumber(def, c.columnNumber), 0), view));
    });
    return out;
}

}  // namespace

const ColumnDef* columnByNumber(const TableDef& def, std::uint16_t number) {
    for (const auto& c : def.columns)
        if (c.number == number) return &c;
    return nullptr;
}

int findPhysicalIndex(const TableDef& def, const std::vector<IndexColumn>& columns) {
    for (std::size_t i = 0; i < def.indexes.size(); ++i) {
        const auto& have = def.indexes[i].columns;
        if (have.size() != columns.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < have.size(); ++k)
            if (have[k].columnNumber != columns[k].columnNumber ||
                have[k].ascending != columns[k].ascending)
                same = false;
        if (same) return static_cast<int>(i);
    }
    return -1;
}

void checkNewIndex(const Format& format, const TableDef& def, const std::string& table,
                   const NewTableIndex& index, std::size_t logicalIndexesAdded) {
    if (def.logicalIndexes.size() + logicalIndexesAdded + 1 > kMaxIndexesPerTable)
        throw Error(ErrorKind::Constraint,
                    "The table '" + table + "' cannot take the " + what(index) +
                        ": Access keeps at most 32 indexes a table (those of its relationships "
                        "count), and it has " +
                        std::to_string(def.logicalIndexes.size() + logicalIndexesAdded) + ".");
    if (index.columns.empty() || index.columns.size() > kMaxIndexColumns)
        throw Error(ErrorKind::Constraint,
                    "The " + what(index) + " of table '" + table + "' cannot have " +
                        std::to_string(index.columns.size()) +
                        " columns: Access keeps from 1 to 10 columns an index.");
    for (std::size_t i = 0; i < index.columns.size(); ++i) {
        const ColumnDef* c = columnByNumber(def, index.columns[i].columnNumber);
        if (!c) throw std::logic_error("an index names a column the table does not have");
        for (std::size_t k = 0; k < i; ++k)
            if (index.columns[k].columnNumber == index.columns[i].columnNumber)
                throw Error(ErrorKind::Syntax,
                            "The " + what(index) + " names the column '" + c->name + "' twice.");
        if (c->type == ColumnType::Memo || c->type == ColumnType::Ole)
            throw Error(ErrorKind::NotSupported,
                        "The column '" + c->name + "' cannot be part of the " + what(index) +
                            ": Memo and OLE Object columns are not indexed.");
        if (auto why = indexKeyUnsupported(format, *c))
            throw Error(ErrorKind::NotSupported, "The Access engine cannot make the " +
                                                     what(index) + " of table '" + table +
                                                     "': " + *why + ".");
    }
    for (const auto& li : def.logicalIndexes) {
        if (sameName(li.name, index.name))
            throw Error(ErrorKind::Constraint,
                        "The table '" + table + "' has an index named '" + li.name + "' already.");
        if (index.primaryKey && li.kind == logical_index_kind::kPrimaryKey)
            throw Error(ErrorKind::Constraint,
                        "The table '" + table + "' has a primary key already ('" + li.name + "').");
    }
}

std::uint32_t buildPhysicalIndex(Database& db, const TableDef& def, const std::string& table,
                                 const NewTableIndex& index, TableDefEditor& editor) {
    Pager& pager = db.pager();
    const Format& f = pager.format();
    const bool unique = index.unique || index.primaryKey;
    const bool required = index.required || index.primaryKey;
    const bool ignoreNulls = index.ignoreNulls && !index.primaryKey;

    PhysicalIndex shape;
    shape.columns = index.columns;
    const IndexKeyMaker keys(f, def, shape);
    if (keys.unsupported())
        throw Error(ErrorKind::NotSupported, "The Access engine cannot make the " + what(index) +
                                                 " of table '" + table +
                                                 "': " + *keys.unsupported() + ".");
    const std::size_t maxKey = IndexBuilder::maxKeySize(f);

    // Every row's key.
    std::vector<std::uint8_t> arena;
    std::vector<RowKey> rows;
    rows.reserve(def.rowCount);
    const ValueDecoder decoder(pager, db.codePage());
    forEachRow(pager, def, [&](RowId id, const ByteReader& row) {
        const RowView view(row, f, def.varColumns > 0);
        const std::size_t nulls = keys.nullCount(view, decoder);
        if (required && nulls > 0) {
            for (const auto& ic : index.columns) {
                const ColumnDef& c = *columnByNumber(def, ic.columnNumber);
                if (c.type != ColumnType::Boolean &&
                    decoder.decode(ColumnDecoder::make(c, 0), view).isNull())
                    throw Error(ErrorKind::Constraint,
                                "The " + what(index) + " cannot be made on table '" + table +
                                    "': it takes no Null values, and a row leaves its column '" +
                                    c.name + "' Null.");
            }
        }
        const bool allNull = nulls == keys.columnCount();
        if (ignoreNulls && allNull) return;
        const std::vector<std::uint8_t> key = keys.key(view, decoder);
        if (key.size() > maxKey)
            throw Error(ErrorKind::NotSupported,
                        "The " + what(index) + " cannot be made on table '" + table +
                            "': the key of a row takes " + std::to_string(key.size()) +
                            " bytes, more than the " + std::to_string(maxKey) +
                            " an index entry holds.");
        rows.push_back({arena.size(), static_cast<std::uint32_t>(key.size()), id, allNull});
        arena.insert(arena.end(), key.begin(), key.end());
    });

    auto keyOf = [&](const RowKey& k) {
        return std::span<const std::uint8_t>(arena.data() + k.offset, k.length);
    };
    std::sort(rows.begin(), rows.end(), [&](const RowKey& a, const RowKey& b) {
        const auto c = compareKeys(keyOf(a), keyOf(b));
        if (c != 0) return c < 0;
        return a.row < b.row;
    });

    std::uint32_t distinct = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool same = i > 0 && compareKeys(keyOf(rows[i - 1]), keyOf(rows[i])) == 0;
        if (!same) {
            ++distinct;
            continue;
        }
        if (!unique || rows[i].allNull) continue;
        const std::vector<db::Value> values = keyValues(db, def, index.columns, rows[i].row);
        std::string shown;
        for (const auto& v : values)
            shown += (shown.empty() ? "" : ", ") + (v.isNull() ? "Null" : describeValue(v));
        throw Error(ErrorKind::Constraint,
                    "The " + what(index) + " cannot be made on table '" + table + "': " +
                        (values.size() == 1 ? "the value " + shown + " of column "
                                            : "the values " + shown + " of columns ") +
                        columnList(def, index.columns) + (values.size() == 1 ? " is" : " are") +
                        " in more than one row, and the index allows each value only once.");
    }

    const IndexStorage storage = createIndexStorage(pager, def);
    PagerIndexPages pages(pager, storage.usageMapRef);
    IndexBuilder builder(pages, f, storage.rootPage, def.page);
    IndexEntry entry;
    for (const RowKey& k : rows) {
        const auto key = keyOf(k);
        entry.key.assign(key.begin(), key.end());
        entry.row = k.row;
        builder.add(entry);
    }
    builder.finish();

    PhysicalIndexPlan plan;
    plan.columns = index.columns;
    plan.flags =
        static_cast<std::uint8_t>(kIndexFlagsBase | (unique ? kUnique : 0) |
                                  (ignoreNulls ? kIgnoreNulls : 0) | (required ? kRequired : 0));
    plan.usageMapRef = storage.usageMapRef;
    plan.rootPage = storage.rootPage;
    plan.keyCount = distinct;
    return editor.addPhysicalIndex(plan);
}

void addTableIndex(Database& db, const CatalogEntry& entry, const NewTableIndex& index) {
    const std::shared_ptr<const TableDef> def = db.tableDef(entry);
    checkNewIndex(db.format(), *def, entry.name, index);
    TableDefEditor editor(db.pager(), *def);
    LogicalIndexPlan logical;
    logical.name = index.name;
    logical.number = editor.nextLogicalNumber();
    logical.physicalIndex = buildPhysicalIndex(db, *def, entry.name, index, editor);
    logical.kind = index.primaryKey ? logical_index_kind::kPrimaryKey : logical_index_kind::kPlain;
    editor.addLogicalIndex(logical);
    editor.write();
    db.tableDefChanged(def->page);
}

}  // namespace jet
