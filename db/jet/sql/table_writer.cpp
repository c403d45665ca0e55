// CREATE TABLE, INSERT INTO, DROP TABLE and SELECT … INTO.
#include "db/jet/sql/table_writer.h"

#include <ctime>
#include <optional>

#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/index/text_collation.h"
#include "db/jet/sql/literal_convert.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/column_default.h"
#include "db/jet/write/properties_writer.h"
#include "db/jet/write/row_store.h"
#include "db/jet/write/table_def_editor.h"
#include "db/jet/write/value_convert.h"

namespace jet {

namespace {

constexpr std::uint32_t kWithheldRights = 983294;  // 0xF01FE: not inherited by new tables
constexpr const char* kDefaultPrimaryKeyName = "PrimaryKey";

db::DateTime now() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return db::DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                        tm.tm_min,         tm.tm_sec,     0};
}

// A table is a system table by its catalogue flags, as the listing decides; a table without them
// (MSysCompactError, which Access leaves after a failed compaction) is the user's, whatever its
// name.
bool isSystemEntry(const CatalogEntry& e) {
    return (e.flags & (object_flag::kEngineSystem | object_flag::kAccessSystem)) != 0;
}

// Reads every row of a table as values (small system tables).
std::vector<std::vector<db::Value>> allRows(Database& db, const CatalogEntry& e) {
    auto reader = db.openStoredTable(e);
    std::vector<std::vector<db::Value>> rows;
    std::vector<db::Value> row;
    while (reader->next(row))
        rows.push_back(row);
    return rows;
}

int columnIndex(const TableDef& def, const char* name) {
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (sameName(def.columns[i].name, name)) return static_cast<int>(i);
    return -1;
}

}  // namespace

TableWriter::TableWriter(Database& db) : db_(db) {}
TableWriter::~TableWriter() = default;

TableStore& TableWriter::store(const CatalogEntry& entry) {
    auto def = db_.tableDef(entry);
    auto& slot = stores_[entry.tableDefPage()];
    if (!slot || !slot->validFor(def)) {
        targets_.clear();  // they may point at the store being replaced
        slot = std::make_unique<TableStore>(db_, entry, def);
    }
    return *slot;
}

TableStore& TableWriter::insertTarget(const std::string& name) {
    if (epoch_ != db_.schemaEpoch()) {
        targets_.clear();
        epoch_ = db_.schemaEpoch();
    }
    const std::string folded = foldName(name);
    if (auto it = targets_.find(folded); it != targets_.end()) return *it->second;
    const CatalogEntry& entry = findTable(name);
    requireUserTable(entry, "write to");
    TableStore& st = store(entry);
    st.requireWritable();
    targets_.emplace(folded, &st);
    return st;
}

const CatalogEntry& TableWriter::findTable(std::string_view name) const {
    const CatalogEntry* e = db_.catalog().findTable(name);
    if (!e)
        throw Error(ErrorKind::NoSuchTable,
                    "The Access engine cannot find the table '" + std::string(name) +
                        "'. Make sure it exists and that its name is spelled correctly.");
    return *e;
}

const CatalogEntry& TableWriter::systemTable(const char* name) const {
    const CatalogEntry* e = db_.catalog().findTable(name);
    if (!e) throwCorrupt(std::string("the database has no ") + name + " table");
    return *e;
}

void TableWriter::requireUserTable(const CatalogEntry& e, const char* action) const {
    if (isSystemEntry(e))
        throw Error(ErrorKind::Constraint, "The table '" + e.name +
                                               "' is a system table; the Access engine does not " +
                                               action + " it.");
}

void TableWriter::requireFreeName(std::string_view name) const {
    for (const auto& e : db_.catalog().entries())
        if (e.parentId == db_.catalog().tablesContainer() && sameName(e.name, name))
            throw Error(ErrorKind::TableExists, "Table '" + e.name + "' already exists.");

    // The catalogue's index of names holds each name once in its own sort order, which takes
    // more names as the same than letter case does ("Zürich" and "Zuerich" in General).
    const CatalogEntry* objects = db_.catalog().findTable("MSysObjects");
    if (!objects) return;
    const auto def = db_.tableDef(*objects);
    const ColumnDef* nameColumn = def->column("Name");
    const TextCollation* collation =
        nameColumn ? TextCollation::forColumn(db_.format(), *nameColumn) : nullptr;
    if (!collation) return;
    // The key of a name, or none when its sort order has no code for one of its characters.
    auto keyOf = [&](std::string_view text) -> std::optional<std::vector<std::uint8_t>> {
        const std::u16string units = toUtf16(text);
        if (collation->firstUnknown(units) >= 0) return std::nullopt;
        std::vector<std::uint8_t> key;
        collation->appendKey(units, true, key);
        return key;
    };
    const auto key = keyOf(name);
    if (!key) return;
    for (const auto& e : db_.catalog().entries())
        if (e.parentId == db_.catalog().tablesContainer() && keyOf(e.name) == key)
            throw Error(ErrorKind::TableExists, "Table '" + e.name +
                                                    "' already exists: in the sort order of this " +
                                                    "database (" + collation->name() + ") '" +
                                                    std::string(name) + "' is the same name.");
}

// ---- catalogue rows ----

void TableWriter::addCatalogRows(const std::string& name, std::uint32_t tdefPage,
                                 const std::vector<std::uint8_t>& properties) {
    addObjectRows(name, static_cast<std::int32_t>(tdefPage), object_type::kTable,
                  db_.catalog().tablesContainer(), properties, false);
}

void TableWriter::addObjectRows(const std::string& name, std::int32_t id, std::int16_t type,
                                std::int32_t parent, const std::vector<std::uint8_t>& properties,
                                bool ownerTakesCreatorRights) {
    const CatalogEntry& objects = systemTable("MSysObjects");
    const CatalogEntry& aces = systemTable("MSysACEs");

    // The owner of a new object is the owner of the database object (MSysDb).
    TableStore& objectStore = store(objects);
    const TableDef& od = objectStore.def();
    const int nameCol = columnIndex(od, "Name"), ownerCol = columnIndex(od, "Owner");
    db::Value owner;
    if (nameCol >= 0 && ownerCol >= 0)
        for (const auto& row : allRows(db_, objects))
            if (row[static_cast<std::size_t>(nameCol)] == db::Value::text("MSysDb"))
                owner = row[static_cast<std::size_t>(ownerCol)];

    std::vector<db::Value> values(od.columns.size());
    auto set = [&](const char* column, db::Value v) {
        const int i = columnIndex(od, column);
        if (i >= 0)
            values[static_cast<std::size_t>(i)] =
                convertValue(v, od.columns[static_cast<std::size_t>(i)], objects.name);
    };
    const db::DateTime when = now();
    set("Id", db::Value::integer(id));
    set("ParentId", db::Value::integer(parent));
    set("Name", db::Value::text(name));
    set("Type", db::Value::integer(type));
    set("DateCreate", db::Value::dateTime(when));
    set("DateUpdate", db::Value::dateTime(when));
    set("Owner", owner);
    set("Flags", db::Value::integer(0));
    if (!properties.empty()) set("LvProp", db::Value::binary(properties));
    objectStore.requireWritable();
    objectStore.insert(std::move(values));

    // The access rows the container's children inherit.
    TableStore& aceStore = store(aces);
    const TableDef& ad = aceStore.def();
    const int objectCol = columnIndex(ad, "ObjectId"), sidCol = columnIndex(ad, "SID"),
              acmCol = columnIndex(ad, "ACM"), inheritCol = columnIndex(ad, "FInheritable");
    if (objectCol < 0 || sidCol < 0 || acmCol < 0 || inheritCol < 0) return;
    const auto at = [](int column) { return static_cast<std::size_t>(column); };
    std::vector<std::vector<db::Value>> inherited;
    std::optional<std::vector<db::Value>> creator;
    bool ownerNamed = false;
    for (auto& row : allRows(db_, aces)) {
        const db::Value& object = row[at(objectCol)];
        const db::Value& acm = row[at(acmCol)];
        if (object != db::Value::integer(parent)) continue;
        if (row[at(inheritCol)] != db::Value::boolean(true)) continue;
        row[at(objectCol)] = db::Value::integer(id);
        row[at(inheritCol)] = db::Value::boolean(false);
        if (acm == db::Value::integer(kWithheldRights)) {
            creator = std::move(row);
            continue;
        }
        if (row[at(sidCol)] == owner) ownerNamed = true;
        inherited.push_back(std::move(row));
    }
    if (ownerTakesCreatorRights && creator && !ownerNamed && !owner.isNull()) {
        (*creator)[at(sidCol)] = owner;
        inherited.push_back(std::move(*creator));
    }
    aceStore.requireWritable();
    for (auto& row : inherited)
        aceStore.insert(std::move(row));
}

void TableWriter::removeCatalogRows(const CatalogEntry& table) {
    for (const char* systemName : {"MSysObjects", "MSysACEs"}) {
        const CatalogEntry& sys = systemTable(systemName);
        TableStore& s = store(sys);
        s.requireWritable();
        const TableDef& def = s.def();
        const int idCol = columnIndex(def, systemName[4] == 'O' ? "Id" : "ObjectId");
        if (idCol < 0) continue;
        const ColumnDecoder decoder =
            ColumnDecoder::make(def.columns[static_cast<std::size_t>(idCol)], 0);
        const ValueDecoder values(db_.pager(), db_.codePage());
        std::vector<std::pair<RowId, std::vector<std::uint8_t>>> doomed;
        forEachRow(db_.pager(), def, [&](RowId id, const ByteReader& row) {
            const RowView view(row, db_.format(), def.varColumns > 0);
            if (values.decode(decoder, view) == db::Value::integer(table.id))
                doomed.emplace_back(
                    id, std::vector<std::uint8_t>(row.span().begin(), row.span().end()));
        });
        for (const auto& [id, bytes] : doomed)
            s.remove(id, ByteReader(bytes, "row"));
    }
}

bool TableWriter::inRelationship(const CatalogEntry& table) {
    for (const auto& li : db_.tableDef(table)->logicalIndexes)
        if (li.kind == 0x02) return true;
    const CatalogEntry* rel = db_.catalog().findTable("MSysRelationships");
    if (!rel) return false;
    auto reader = db_.openStoredTable(*rel);
    const TableDef& def = reader->def();
    const int a = columnIndex(def, "szObject"), b = columnIndex(def, "szReferencedObject");
    std::vector<db::Value> row;
    while (reader->next(row))
        for (int col : {a, b})
            if (col >= 0) {
                const db::Value& v = row[static_cast<std::size_t>(col)];
                if (v.kind() == db::Value::Kind::Text && sameName(v.asText(), table.name))
                    return true;
            }
    return false;
}

// ---- statements ----

SortOrder TableWriter::sortOrder() const {
    const DatabaseHeader& h = db_.header();
    SortOrder order;
    order.language = static_cast<std::uint16_t>(h.sortOrder & 0xFFFF);
    // The version is the header field's last byte (0x01000409: General, 0x00000409: Legacy).
    order.version = static_cast<std::uint8_t>((h.sortOrder >> 24) & 0xFF);
    if (order.language == 0) order.language = 0x0409;
    return order;
}

std::uint32_t TableWriter::create(const std::string& name, const std::vector<ColumnPlan>& columns,
                                  const std::vector<NewIndex>& indexes,
                                  const std::vector<std::uint8_t>& properties) {
    validateName(name, "table");
    requireFreeName(name);
    if (isSystemTableName(name))
        throw Error(ErrorKind::Syntax,
                    "'" + name + "' is not a valid table name: " + kSystemTableNameProblem + ".");
    const Format& f = db_.format();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        validateName(columns[i].name, "column");
        for (std::size_t k = 0; k < i; ++k)
            if (sameName(columns[k].name, columns[i].name))
                throw Error(ErrorKind::Syntax, "The column '" + columns[i].name +
                                                   "' is defined more than once in table '" + name +
                                                   "'.");
        if (columns[i].type == ColumnType::BigInt && !f.largeNumber)
            throw Error(ErrorKind::NotSupported,
                        "The column '" + columns[i].name + "' cannot be BIGINT: this database (" +
                            f.name + ") has no Large Number type, which came with Access 2016.");
        if (columns[i].type == ColumnType::ExtDateTime && !f.extendedDate)
            throw Error(ErrorKind::NotSupported, "The column '" + columns[i].name +
                                                     "' cannot be Date/Time Extended in " + f.name +
                                                     ".");
    }
    const std::uint32_t page = createTableStorage(db_.pager(), columns, indexes, sortOrder());
    addCatalogRows(name, page, properties);
    db_.schemaChanged();
    return page;
}

void TableWriter::createTable(const sql::CreateTableStatement& s) {
    db_.writeStatement([&] {
        std::vector<ColumnPlan> plans;
        std::vector<ColumnFlagProperty> props;
        const sql::ColumnDefinition* counter = nullptr;
        for (const auto& c : s.columns) {
            ColumnPlan p;
            p.name = c.name;
            p.type = c.type.type;
            p.size = c.type.size;
            p.precision = c.type.precision;
            p.scale = c.type.scale;
            p.autoNumber = c.type.autoNumber;
            p.compressed = c.compressed;
            plans.push_back(std::move(p));
            if (c.type.autoNumber) {
                if (counter)
                    throw Error(ErrorKind::Syntax, "The table '" + s.table +
                                                       "' cannot have two AutoNumber columns ('" +
                                                       counter->name + "' and '" + c.name + "').");
                counter = &c;
            }
        }
        // The columns as the definition will lay them out, for the defaults' conversions.
        const std::vector<ColumnDef> laidOut = layoutColumns(plans, sortOrder());
        for (std::size_t i = 0; i < s.columns.size(); ++i) {
            const sql::ColumnDefinition& c = s.columns[i];
            if (c.defaultValue) {
                if (auto expression = defaultPropertyText(c, laidOut[i], s.table))
                    props.push_back({c.name, "DefaultValue", true, ColumnType::Memo, *expression});
            }
            if (c.notNull) props.push_back({c.name, "Required", true, ColumnType::Boolean, {}});
            // New text columns take '' as a value of its own, not as a refused or a Null value.
            if (c.type.type == ColumnType::Text || c.type.type == ColumnType::Memo)
                props.push_back({c.name, "AllowZeroLength", true, ColumnType::Boolean, {}});
        }
        std::vector<NewIndex> indexes;
        if (!s.primaryKey.empty()) {
            NewIndex pk;
            pk.name = s.primaryKeyName.empty() ? kDefaultPrimaryKeyName : s.primaryKeyName;
            pk.primaryKey = true;
            for (const auto& keyColumn : s.primaryKey) {
                std::size_t k = 0;
                while (k < plans.size() && !sameName(plans[k].name, keyColumn))
                    ++k;
                if (k == plans.size())
                    throw Error(ErrorKind::Syntax, "The primary key names the column '" +
                                                       keyColumn + "', which the table '" +
                                                       s.table + "' does not have.");
                if (plans[k].type == ColumnType::Memo || plans[k].type == ColumnType::Ole)
                    throw Error(ErrorKind::NotSupported,
                                "The column '" + plans[k].name +
                                    "' cannot be part of a primary key: Memo and OLE Object "
                                    "columns are not indexed.");
                pk.columns.push_back(static_cast<std::uint16_t>(k));
            }
            indexes.push_back(std::move(pk));
        }
        const std::uint32_t page =
            create(s.table, plans, indexes, encodeColumnProperties(db_.format(), props));
        if (counter && counter->type.seed > 1)
            setLastAutoNumber(db_.pager(), page, counter->type.seed - 1);
        if (!indexes.empty()) {
            // An index whose keys cannot be made is refused now, not at the first row.
            TableStore& st = store(findTable(s.table));
            st.requireWritable();
        }
    });
}

std::optional<std::string> TableWriter::defaultPropertyText(const sql::ColumnDefinition& c,
                                                            const ColumnDef& column,
                                                            const std::string& table) const {
    const sql::ColumnDefault& d = *c.defaultValue;
    auto refuse = [&](const std::string& why) {
        throw Error(ErrorKind::NotSupported, "The column '" + c.name + "' of table '" + table +
                                                 "' cannot have a default: " + why + ".");
    };
    if (c.type.autoNumber) refuse("an AutoNumber column numbers its rows itself");
    switch (column.type) {
        case ColumnType::Binary:
        case ColumnType::Ole:
        case ColumnType::Guid:
            refuse("Access keeps defaults of " + describeColumnType(column) +
                   " columns only as expressions the engine does not write");
            break;
        default:
            break;
    }
    if (d.kind != sql::ColumnDefault::Kind::Value) {
        const bool date = d.kind == sql::ColumnDefault::Kind::Date;
        if (column.type != ColumnType::DateTime && column.type != ColumnType::ExtDateTime &&
            column.type != ColumnType::Text && column.type != ColumnType::Memo)
            refuse(std::string(date ? "Date()" : "Now()") + " is a date, and the column is " +
                   describeColumnType(column));
        return defaultExpression(date ? ColumnDefaultValue::Kind::Date
                                      : ColumnDefaultValue::Kind::Now);
    }
    // The literal as the column stores it: refused now when it does not fit.
    const db::Value value = convertLiteral(d.value, column, table);
    return defaultExpression(value, column);
}

std::uint64_t TableWriter::insert(sql::InsertStatement s) {
    return db_.writeStatement([&]() -> std::uint64_t {
        TableStore& st = insertTarget(s.table);
        const TableDef& def = st.def();
        std::vector<db::Value> values(def.columns.size());
        if (s.columns.empty()) {
            if (s.values.size() != def.columns.size())
                throw Error(ErrorKind::Syntax,
                            "The statement gives " + std::to_string(s.values.size()) +
                                " values, but the table '" + st.name() + "' has " +
                                std::to_string(def.columns.size()) + " columns.");
            for (std::size_t i = 0; i < def.columns.size(); ++i)
                values[i] = convertLiteral(std::move(s.values[i]), def.columns[i], st.name());
        } else {
            std::vector<bool> given(def.columns.size(), false);
            for (std::size_t k = 0; k < s.columns.size(); ++k) {
                const int i = columnIndex(def, s.columns[k].c_str());
                if (i < 0)
                    throw Error(ErrorKind::Syntax, "The table '" + st.name() + "' has no column '" +
                                                       s.columns[k] + "'.");
                const auto at = static_cast<std::size_t>(i);
                if (given[at])
                    throw Error(ErrorKind::Syntax, "The column '" + s.columns[k] +
                                                       "' is named twice in the column list.");
                given[at] = true;
                values[at] = convertLiteral(std::move(s.values[k]), def.columns[at], st.name());
            }
            // The columns the statement leaves out take their defaults.
            for (std::size_t i = 0; i < def.columns.size(); ++i)
                if (!given[i]) values[i] = st.defaultValue(i);
        }
        st.insert(std::move(values));
        return 1;
    });
}

void TableWriter::dropTable(std::string_view name) {
    db_.writeStatement([&] {
        const CatalogEntry& entry = findTable(name);
        requireUserTable(entry, "drop");
        const CatalogEntry table = entry;  // the catalogue is read anew below
        const auto def = db_.tableDef(table);
        for (const auto& c : def->columns)
            if (c.type == ColumnType::Complex)
                throw Error(ErrorKind::NotSupported,
                            "The Access engine cannot yet drop the table '" + table.name +
                                "': its column '" + c.name +
                                "' keeps its values in tables of their own.");
        if (inRelationship(table))
            throw Error(ErrorKind::Constraint,
                        "The table '" + table.name +
                            "' takes part in a relationship; delete the relationship before the "
                            "table.");
        TableIndexes indexes(db_.pager(), *def, table.name);
        const std::vector<std::uint32_t> indexPages = indexes.pages();
        removeCatalogRows(table);
        freeTableStorage(db_.pager(), *def, indexPages);
        stores_.erase(table.tableDefPage());
        db_.schemaChanged();
    });
}

std::uint64_t TableWriter::selectInto(const sql::SelectIntoStatement& s) {
    return db_.writeStatement([&]() -> std::uint64_t {
        const CatalogEntry source = findTable(s.source);
        const auto sourceDef = db_.tableDef(source);
        std::vector<ColumnPlan> plans;
        for (const auto& c : sourceDef->columns) {
            if (c.calculated() || c.type == ColumnType::Complex || c.type == ColumnType::Unknown)
                throw Error(ErrorKind::NotSupported,
                            "The Access engine cannot yet copy the column '" + c.name +
                                "' of table '" + source.name + "' (" + columnTypeName(c.type) +
                                ").");
            ColumnPlan p;
            p.name = c.name;
            p.type = c.type;
            p.size =
                c.type == ColumnType::Text ? static_cast<std::uint16_t>(c.length / 2) : c.length;
            p.precision = c.precision;
            p.scale = c.scale;
            p.autoNumber = c.type == ColumnType::Long && (c.flags & column_flag::kAutoNumber);
            p.compressed = c.compressedUnicode();
            p.fixedLength =
                c.fixed() && (c.type == ColumnType::Text || c.type == ColumnType::Binary);
            p.hyperlink = c.hyperlink();
            plans.push_back(std::move(p));
        }
        std::vector<ColumnFlagProperty> props;
        for (const auto& p : plans)
            if (p.type == ColumnType::Text || p.type == ColumnType::Memo)
                props.push_back({p.name, "AllowZeroLength", true, ColumnType::Boolean, {}});
        create(s.target, plans, {}, encodeColumnProperties(db_.format(), props));
        TableStore& target = store(findTable(s.target));
        const TableDef& def = target.def();
        auto reader = db_.openStoredTable(*db_.catalog().findTable(source.name));
        std::vector<db::Value> row;
        std::uint64_t copied = 0;
        while (reader->next(row)) {
            std::vector<db::Value> values(def.columns.size());
            for (std::size_t i = 0; i < def.columns.size() && i < row.size(); ++i)
                values[i] = convertValue(row[i], def.columns[i], s.target);
            target.insert(std::move(values));
            ++copied;
        }
        return copied;
    });
}

}  // namespace jet
