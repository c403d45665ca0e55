// Reading relationships and looking their keys up in the primary table.
#include "db/jet/write/foreign_keys.h"

#include <algorithm>
#include <map>

#include "db/jet/base/error.h"
#include "db/jet/index/index_btree.h"
#include "db/jet/index/index_key.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/row_encoder.h"
#include "db/jet/write/value_convert.h"
#include "db/jet/write/value_encoder.h"

namespace jet {

namespace {

constexpr std::int64_t kNotEnforced = 0x02;
constexpr std::uint8_t kUniqueIndex = 0x01;

int columnIndex(const TableDef& def, const std::string& name) {
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (sameName(def.columns[i].name, name)) return static_cast<int>(i);
    return -1;
}

std::string textOf(const db::Value& v) {
    return v.kind() == db::Value::Kind::Text ? v.asText() : std::string();
}

}  // namespace

std::vector<ForeignKey> enforcedForeignKeys(Database& db, const std::string& table) {
    const CatalogEntry* rel = db.catalog().findTable("MSysRelationships");
    if (!rel) return {};
    auto reader = db.openStoredTable(*rel);
    const TableDef& def = reader->def();
    const int name = columnIndex(def, "szRelationship"), object = columnIndex(def, "szObject"),
              column = columnIndex(def, "szColumn"),
              refObject = columnIndex(def, "szReferencedObject"),
              refColumn = columnIndex(def, "szReferencedColumn"), grbit = columnIndex(def, "grbit"),
              position = columnIndex(def, "icolumn");
    if (name < 0 || object < 0 || column < 0 || refObject < 0 || refColumn < 0) return {};
    struct Part {
        std::int64_t position;
        std::string column, referenced;
    };
    std::map<std::string, std::pair<ForeignKey, std::vector<Part>>> byName;
    std::vector<db::Value> row;
    while (reader->next(row)) {
        auto at = [&](int i) -> const db::Value& { return row[static_cast<std::size_t>(i)]; };
        if (at(object).kind() != db::Value::Kind::Text || !sameName(at(object).asText(), table))
            continue;
        if (grbit >= 0 && at(grbit).kind() == db::Value::Kind::Integer &&
            (at(grbit).asInteger() & kNotEnforced))
            continue;
        auto& entry = byName[textOf(at(name))];
        entry.first.name = textOf(at(name));
        entry.first.primaryTable = textOf(at(refObject));
        const std::int64_t pos = position >= 0 && at(position).kind() == db::Value::Kind::Integer
                                     ? at(position).asInteger()
                                     : static_cast<std::int64_t>(entry.second.size());
        entry.second.push_back({pos, textOf(at(column)), textOf(at(refColumn))});
    }
    std::vector<ForeignKey> out;
    for (auto& [key, entry] : byName) {
        std::sort(entry.second.begin(), entry.second.end(),
                  [](const Part& a, const Part& b) { return a.position < b.position; });
        for (const auto& p : entry.second) {
            entry.first.columns.push_back(p.column);
            entry.first.referencedColumns.push_back(p.referenced);
        }
        out.push_back(std::move(entry.first));
    }
    return out;
}

struct ForeignKeyCheck::State {
    Database& db;
    ForeignKey key;
    std::vector<std::size_t> childColumns;
    std::shared_ptr<const TableDef> parent;
    std::vector<std::size_t> parentColumns;
    const PhysicalIndex* index = nullptr;
    std::unique_ptr<IndexKeyMaker> keys;
    ReadOnlyIndexPages pages;
    std::unique_ptr<IndexTree> tree;

    State(Database& d, ForeignKey k) : db(d), key(std::move(k)), pages(d.pager()) {}
};

ForeignKeyCheck::ForeignKeyCheck(Database& db, const TableDef& def, ForeignKey key)
    : state_(std::make_unique<State>(db, std::move(key))) {
    State& s = *state_;
    auto refuse = [&](const std::string& why) {
        throw Error(ErrorKind::NotSupported,
                    "The Access engine cannot yet check the relationship '" + s.key.name +
                        "' between this table and '" + s.key.primaryTable + "': " + why + ".");
    };
    if (s.key.columns.empty()) refuse("it names no columns");
    const CatalogEntry* parentEntry = db.catalog().findTable(s.key.primaryTable);
    if (!parentEntry)
        throw Error(ErrorKind::NoSuchTable, "The relationship '" + s.key.name +
                                                "' refers to the table '" + s.key.primaryTable +
                                                "', which does not exist.");
    s.parent = db.tableDef(*parentEntry);
    for (std::size_t k = 0; k < s.key.columns.size(); ++k) {
        const int c = columnIndex(def, s.key.columns[k]);
        const int p = columnIndex(*s.parent, s.key.referencedColumns[k]);
        if (c < 0 || p < 0) refuse("a column of the relationship does not exist");
        if (isLongValue(s.parent->columns[static_cast<std::size_t>(p)].type))
            refuse("its key holds a Memo or OLE Object column");
        s.childColumns.push_back(static_cast<std::size_t>(c));
        s.parentColumns.push_back(static_cast<std::size_t>(p));
    }
    for (const auto& idx : s.parent->indexes) {
        if (!(idx.flags & kUniqueIndex) || idx.columns.size() != s.parentColumns.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < idx.columns.size(); ++k)
            if (idx.columns[k].columnNumber != s.parent->columns[s.parentColumns[k]].number)
                same = false;
        if (same) {
            s.index = &idx;
            break;
        }
    }
    if (!s.index) refuse("the primary table has no unique index over the related columns");
    s.keys = std::make_unique<IndexKeyMaker>(db.format(), *s.parent, *s.index);
    if (s.keys->unsupported()) refuse(*s.keys->unsupported());
    s.tree = std::make_unique<IndexTree>(s.pages, db.format(), s.index->firstPage, s.parent->page);
}

ForeignKeyCheck::~ForeignKeyCheck() = default;

bool ForeignKeyCheck::matches(const std::vector<db::Value>& row) {
    State& s = *state_;
    for (std::size_t c : s.childColumns)
        if (row[c].isNull()) return true;
    // The key as a row of the primary table would hold it.
    std::vector<RowField> fields(s.parent->columns.size());
    for (std::size_t k = 0; k < s.childColumns.size(); ++k) {
        const ColumnDef& pc = s.parent->columns[s.parentColumns[k]];
        const db::Value v = convertValue(row[s.childColumns[k]], pc, s.key.primaryTable);
        RowField& f = fields[s.parentColumns[k]];
        if (pc.type == ColumnType::Boolean) {
            f.present = v.asBoolean();
        } else {
            f.present = true;
            f.bytes = encodeValue(pc, v);
        }
    }
    const std::vector<std::uint8_t> bytes = encodeRow(s.db.format(), *s.parent, fields);
    const ByteReader reader(bytes, "key row");
    const RowView view(reader, s.db.format(), s.parent->varColumns > 0);
    const ValueDecoder decoder(s.db.pager(), s.db.codePage());
    return s.tree->containsKey(s.keys->key(view, decoder));
}

void ForeignKeyCheck::check(const std::vector<db::Value>& row) {
    State& s = *state_;
    if (!matches(row)) {
        std::string columns;
        for (const auto& c : s.key.columns)
            columns += (columns.empty() ? "" : ", ") + c;
        throw Error(ErrorKind::Constraint, "The row cannot be added: the relationship '" +
                                               s.key.name + "' requires a row of table '" +
                                               s.key.primaryTable + "' with the same value in " +
                                               columns + ", and there is none.");
    }
}

}  // namespace jet
