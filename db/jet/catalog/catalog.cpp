// Reading MSysObjects and classifying its objects.
#include "db/jet/catalog/catalog.h"

#include "db/jet/base/error.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_def.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/value_codec.h"

namespace jet {

namespace {

constexpr std::int32_t kRootId = 0x0F000000;

}  // namespace

const char* tableKindName(TableKind kind) {
    switch (kind) {
        case TableKind::Table:
            return "TABLE";
        case TableKind::SystemTable:
            return "SYSTEM TABLE";
        case TableKind::AccessTable:
            return "ACCESS TABLE";
        case TableKind::Link:
            return "LINK";
        case TableKind::View:
            return "VIEW";
    }
    return "TABLE";
}

Catalog::Catalog(Pager& pager, const CodePage& codePage) {
    const TableDef def = readTableDef(pager, kCatalogPage, codePage);
    struct Wanted {
        const char* name;
        const ColumnDef* column;
        bool required;
    };
    Wanted cols[] = {{"Id", nullptr, true},           {"ParentId", nullptr, true},
                     {"Name", nullptr, true},         {"Type", nullptr, true},
                     {"Flags", nullptr, true},        {"Database", nullptr, false},
                     {"ForeignName", nullptr, false}, {"LvProp", nullptr, false}};
    for (auto& w : cols) {
        w.column = def.column(w.name);
        if (!w.column && w.required)
            throwCorrupt(std::string("the catalogue has no column ") + w.name, kCatalogPage);
    }
    std::vector<ColumnDecoder> decoders;
    for (auto& w : cols)
        decoders.push_back(w.column ? ColumnDecoder::make(*w.column, 0) : ColumnDecoder{});

    const ValueDecoder values(pager, codePage);
    // Every page of the catalogue must be its own: a page lost there loses tables unseen.
    TableScan scan(pager, def, /*ownPagesOnly=*/true);
    const bool hasVar = def.varColumns > 0;
    auto intOf = [](const db::Value& v) -> std::int64_t {
        return v.kind() == db::Value::Kind::Integer ? v.asInteger() : 0;
    };
    auto textOf = [](const db::Value& v) -> std::string {
        return v.kind() == db::Value::Kind::Text ? v.asText() : std::string();
    };
    while (scan.next()) {
        const RowView row(scan.row(), pager.format(), hasVar);
        CatalogEntry e;
        e.id = static_cast<std::int32_t>(intOf(values.decode(decoders[0], row)));
        e.parentId = static_cast<std::int32_t>(intOf(values.decode(decoders[1], row)));
        e.name = textOf(values.decode(decoders[2], row));
        e.type = static_cast<std::int16_t>(intOf(values.decode(decoders[3], row)));
        e.flags = static_cast<std::uint32_t>(intOf(values.decode(decoders[4], row)));
        if (decoders[5].def) e.database = textOf(values.decode(decoders[5], row));
        if (decoders[6].def) e.foreignName = textOf(values.decode(decoders[6], row));
        if (const ColumnDef* lv = decoders[7].def) {
            bool present = false;
            if (!row.isNull(*lv) && !lv->fixed()) {
                const ByteSpan ref = row.varBytes(*lv, present);
                if (present) e.lvPropRef.assign(ref.begin(), ref.end());
            }
        }
        entries_.push_back(std::move(e));
    }

    bool found = false;
    tablesContainer_ = kRootId;
    for (const auto& e : entries_)
        if (e.parentId == kRootId && e.name == "Tables") {
            tablesContainer_ = e.id;
            found = true;
        }
    // Every Access file lists its tables under this entry: without it the catalogue was lost
    // (a catalogue with no rows at all is one of a database being made).
    if (!found && !entries_.empty())
        throwCorrupt("the catalogue has no entry for the tables of the file", kCatalogPage);
}

std::optional<TableKind> Catalog::kindOf(const CatalogEntry& e) const {
    if (e.parentId != tablesContainer_) return std::nullopt;
    switch (e.type) {
        case object_type::kTable:
            if (e.flags & object_flag::kEngineSystem) return TableKind::SystemTable;
            if (e.flags & object_flag::kAccessSystem) return TableKind::AccessTable;
            return TableKind::Table;
        case object_type::kLink:
        case object_type::kOdbcLink:
            return TableKind::Link;
        case object_type::kQuery:
            // Flags 0 is a select query; other kinds (action queries, hidden form queries) are
            // not views.
            if (e.flags == 0) return TableKind::View;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

const CatalogEntry* Catalog::findTable(std::string_view name) const {
    for (const auto& e : entries_)
        if (e.type == object_type::kTable && e.parentId == tablesContainer_ &&
            sameName(e.name, name))
            return &e;
    return nullptr;
}

const CatalogEntry* Catalog::findById(std::int32_t id) const {
    for (const auto& e : entries_)
        if (e.id == id) return &e;
    return nullptr;
}

}  // namespace jet
