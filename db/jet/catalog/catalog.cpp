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

char32_t foldCodePoint(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

}  // namespace

std::string foldName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool ascii = true;
    for (char ch : utf8)
        if (static_cast<unsigned char>(ch) >= 0x80) ascii = false;
    if (ascii) {
        for (char ch : utf8)
            out.push_back(ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch);
        return out;
    }
    for (char32_t c : decodeUtf8(utf8))
        appendUtf8(out, foldCodePoint(c));
    return out;
}

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
    TableScan scan(pager, def);
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

    tablesContainer_ = kRootId;
    for (const auto& e : entries_)
        if (e.parentId == kRootId && e.name == "Tables") tablesContainer_ = e.id;
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
    const std::string folded = foldName(name);
    for (const auto& e : entries_)
        if (e.type == object_type::kTable && e.parentId == tablesContainer_ &&
            foldName(e.name) == folded)
            return &e;
    return nullptr;
}

const CatalogEntry* Catalog::findById(std::int32_t id) const {
    for (const auto& e : entries_)
        if (e.id == id) return &e;
    return nullptr;
}

}  // namespace jet
