// Resolving complex columns through MSysComplexColumns and their hidden tables.
#include "db/jet/database/complex_column.h"

#include <algorithm>

#include "db/jet/base/error.h"
#include "db/jet/catalog/database_file.h"
#include "db/jet/table/table_reader.h"

namespace jet {

namespace {

constexpr const char* kComplexColumnsTable = "MSysComplexColumns";
constexpr const char* kSeparator = "; ";

enum class ComplexKind { MultiValue, Attachment, VersionHistory, Other };

bool isSimpleType(ColumnType t) {
    switch (t) {
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::Guid:
        case ColumnType::Decimal:
        case ColumnType::Text:
        case ColumnType::BigInt:
            return true;
        default:
            return false;
    }
}

ComplexKind kindOf(const TableDef& typeTable) {
    const auto& cols = typeTable.columns;
    if (cols.size() == 1 && isSimpleType(cols[0].type)) return ComplexKind::MultiValue;
    int memo = 0, text = 0, date = 0, ole = 0, lng = 0;
    for (const auto& c : cols) {
        memo += c.type == ColumnType::Memo;
        text += c.type == ColumnType::Text;
        date += c.type == ColumnType::DateTime;
        ole += c.type == ColumnType::Ole;
        lng += c.type == ColumnType::Long;
    }
    if (cols.size() >= 6 && memo >= 1 && text >= 2 && ole >= 1 && date >= 1 && lng >= 1 &&
        typeTable.column("FileName"))
        return ComplexKind::Attachment;
    if (cols.size() >= 2 && memo >= 1 && date >= 1) return ComplexKind::VersionHistory;
    return ComplexKind::Other;
}

std::string render(const db::Value& v) {
    return v.toDebugString();
}

std::int64_t integerOf(const db::Value& v) {
    return v.kind() == db::Value::Kind::Integer ? v.asInteger() : 0;
}

}  // namespace

ComplexValueMap loadComplexValues(DatabaseFile& db, const TableDef& table,
                                  const ColumnDef& column) {
    const Catalog& catalog = db.catalog();
    const CatalogEntry* complexColumns = nullptr;
    for (const auto& e : catalog.entries())
        if (e.type == object_type::kTable && sameName(e.name, kComplexColumnsTable))
            complexColumns = &e;
    if (!complexColumns)
        throwCorrupt("the column '" + column.name + "' is complex, but the file has no " +
                     kComplexColumnsTable);

    // Find the row of this column: its ComplexID, the type table and the flat table.
    std::int32_t typeTableId = 0, flatTableId = 0;
    bool found = false;
    {
        auto reader = db.openStoredTable(*complexColumns);
        const auto& d = reader->def();
        const ColumnDef* idCol = d.column("ComplexID");
        const ColumnDef* typeCol = d.column("ComplexTypeObjectID");
        const ColumnDef* flatCol = d.column("FlatTableID");
        if (!idCol || !typeCol || !flatCol)
            throwCorrupt(std::string(kComplexColumnsTable) + " lacks one of its columns");
        auto indexOf = [&](const ColumnDef* c) {
            for (std::size_t i = 0; i < reader->columns().size(); ++i)
                if (reader->columns()[i].def == c) return i;
            return std::size_t{0};
        };
        const std::size_t iId = indexOf(idCol), iType = indexOf(typeCol), iFlat = indexOf(flatCol);
        std::vector<db::Value> row;
        while (reader->next(row)) {
            if (integerOf(row[iId]) != static_cast<std::int32_t>(column.complexId)) continue;
            typeTableId = static_cast<std::int32_t>(integerOf(row[iType]));
            flatTableId = static_cast<std::int32_t>(integerOf(row[iFlat]));
            found = true;
            break;
        }
    }
    if (!found)
        throwCorrupt("the complex column '" + column.name + "' has no entry in " +
                     kComplexColumnsTable);
    const CatalogEntry* typeEntry = catalog.findById(typeTableId);
    const CatalogEntry* flatEntry = catalog.findById(flatTableId);
    if (!typeEntry || !flatEntry || typeEntry->type != object_type::kTable ||
        flatEntry->type != object_type::kTable || flatEntry->tableDefPage() == table.page)
        throwCorrupt("the tables behind the complex column '" + column.name + "' are missing");

    const auto typeDef = db.tableDef(*typeEntry);
    const ComplexKind kind = kindOf(*typeDef);
    auto flat = db.openStoredTable(*flatEntry);
    const auto& cols = flat->columns();

    // The flat table holds the type table's columns plus a key and the owning row's id.
    std::vector<std::size_t> valueCols;
    std::size_t ownerCol = cols.size();
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const ColumnDef& c = *cols[i].def;
        if (typeDef->column(c.name)) {
            valueCols.push_back(i);
        } else if (!c.autoNumber() && c.type == ColumnType::Long) {
            ownerCol = i;
        }
    }
    if (ownerCol == cols.size() || valueCols.empty())
        throwCorrupt("the values table of the complex column '" + column.name +
                     "' lacks its key columns");
    auto find = [&](const char* name) {
        for (std::size_t i : valueCols)
            if (sameName(cols[i].def->name, name)) return i;
        return cols.size();
    };

    struct Entry {
        std::int32_t owner;
        std::string text;
        db::DateTime when;
    };
    std::vector<Entry> entries;
    std::size_t nameCol = find("FileName"), dateCol = cols.size(), textCol = cols.size();
    if (kind == ComplexKind::VersionHistory)
        for (std::size_t i : valueCols) {
            if (cols[i].def->type == ColumnType::DateTime && dateCol == cols.size()) dateCol = i;
            if (cols[i].def->type == ColumnType::Memo && textCol == cols.size()) textCol = i;
        }
    if (kind == ComplexKind::VersionHistory && (dateCol == cols.size() || textCol == cols.size()))
        throwCorrupt("the values table of the version history '" + column.name +
                     "' lacks the date or the text of its versions");

    std::vector<db::Value> row;
    while (flat->next(row)) {
        Entry e;
        e.owner = static_cast<std::int32_t>(integerOf(row[ownerCol]));
        switch (kind) {
            case ComplexKind::MultiValue:
                e.text = render(row[valueCols[0]]);
                break;
            case ComplexKind::Attachment:
                e.text = nameCol < cols.size() ? render(row[nameCol]) : std::string();
                break;
            case ComplexKind::VersionHistory:
                if (row[dateCol].kind() == db::Value::Kind::DateTime)
                    e.when = row[dateCol].asDateTime();
                e.text = e.when.toIsoString(' ') + "=" + render(row[textCol]);
                break;
            case ComplexKind::Other:
                for (std::size_t k = 0; k < valueCols.size(); ++k) {
                    if (k) e.text += ",";
                    e.text += render(row[valueCols[k]]);
                }
                break;
        }
        entries.push_back(std::move(e));
    }
    if (kind == ComplexKind::VersionHistory)
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return b.when < a.when; });

    ComplexValueMap out;
    for (auto& e : entries) {
        auto [it, inserted] = out.try_emplace(e.owner, e.text);
        if (!inserted) it->second += kSeparator + e.text;
    }
    return out;
}

}  // namespace jet
