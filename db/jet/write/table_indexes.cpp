// Keeping every index of a table in step with its rows.
#include "db/jet/write/table_indexes.h"

#include <algorithm>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/table/usage_map.h"

namespace jet {

namespace {

constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kIgnoreNulls = 0x02;
constexpr std::uint8_t kRequired = 0x08;
constexpr std::uint8_t kPrimaryKeyKind = 0x01;  // of a logical index
constexpr std::size_t kKeyCountOffset = 4;      // in an index's entry of the count block

}  // namespace

PageRef PagerIndexPages::read(std::uint32_t page) {
    return pager_.page(page);
}
void PagerIndexPages::write(std::uint32_t page, const std::vector<std::uint8_t>& image) {
    PageHandle h = pager_.writablePage(page);
    h->bytes = image;
}
void PagerIndexPages::change(std::uint32_t page,
                             const std::function<void(std::span<std::uint8_t>)>& edit) {
    PageHandle h = pager_.writablePage(page);
    edit(h->mutableSpan());
}
std::uint32_t PagerIndexPages::allocate() {
    PageHandle h = pager_.allocatePage(page_type::kIndexLeaf);
    if (usageMapRef_) addToUsageMap(pager_, usageMapRef_, h->number);
    return h->number;
}
void PagerIndexPages::release(std::uint32_t page) {
    if (usageMapRef_) removeFromUsageMap(pager_, usageMapRef_, page);
    pager_.freePage(page);
}

struct TableIndexes::Index {
    std::size_t number;
    const PhysicalIndex* def;
    std::string name;
    bool unique;
    bool required;
    IndexKeyMaker keys;
    PagerIndexPages pages;
    IndexTree tree;

    Index(Pager& pager, const TableDef& table, std::size_t n, std::string indexName,
          bool primaryKey)
        : number(n),
          def(&table.indexes[n]),
          name(std::move(indexName)),
          // A primary key takes neither nulls nor a key twice, whatever its flags say.
          unique(primaryKey || (def->flags & kUnique) != 0),
          required(primaryKey || (def->flags & kRequired) != 0),
          keys(pager.format(), table, *def),
          pages(pager, def->usageMapRef),
          tree(pages, pager.format(), def->firstPage, table.page) {}
};

TableIndexes::TableIndexes(Pager& pager, const TableDef& def, std::string tableName)
    : pager_(pager), def_(def), tableName_(std::move(tableName)) {
    for (std::size_t i = 0; i < def.indexes.size(); ++i) {
        std::string name = "#" + std::to_string(i);
        bool named = false, primaryKey = false;
        for (const auto& li : def.logicalIndexes) {
            if (li.physicalIndex != i) continue;
            if (!named) name = li.name;
            named = true;
            if (li.kind == kPrimaryKeyKind) primaryKey = true;
        }
        indexes_.push_back(std::make_unique<Index>(pager, def, i, std::move(name), primaryKey));
    }
}

TableIndexes::~TableIndexes() = default;

void TableIndexes::requireWritable() const {
    for (const auto& i : indexes_)
        if (const auto& why = i->keys.unsupported())
            throw Error(ErrorKind::NotSupported,
                        "The Access engine cannot yet write to the table '" + tableName_ +
                            "': in its index '" + i->name + "', " + *why + ".");
}

std::optional<std::vector<std::uint8_t>> TableIndexes::keyOf(Index& i, const RowView& row,
                                                             const ValueDecoder& values) {
    if ((i.def->flags & kIgnoreNulls) && i.keys.nullCount(row, values) == i.keys.columnCount())
        return std::nullopt;
    return i.keys.key(row, values);
}

void TableIndexes::check(const RowView& row, const ValueDecoder& values) {
    // Every key is made here, so that a value without a key fails before anything is written;
    // insert() takes them from here when every one was made for its row.
    pending_.clear();
    pendingRow_ = nullptr;
    for (auto& i : indexes_) {
        const std::size_t nulls = i->keys.nullCount(row, values);
        if (i->required && nulls > 0)
            throw Error(ErrorKind::Constraint,
                        "The index '" + i->name + "' of table '" + tableName_ +
                            "' cannot hold a Null value, and the row leaves one of its columns "
                            "Null.");
        Pending p;
        p.key = keyOf(*i, row, values);
        if (p.key && !i->unique) {
            // Only the count of keys asks whether the key is there: the insert tells.
            p.newKeyKnown = false;
        } else if (p.key) {
            const bool present = i->tree.containsKey(*p.key);
            if (present && i->unique && nulls < i->keys.columnCount())
                throw Error(ErrorKind::Constraint,
                            "The row would put a value into the index '" + i->name +
                                "' of table '" + tableName_ +
                                "' that it holds already; the index allows each value only once.");
            p.newKey = !present;
        }
        pending_.push_back(std::move(p));
    }
    pendingRow_ = &row;
}

void TableIndexes::insert(const RowView& row, const ValueDecoder& values, RowId id) {
    if (pendingRow_ != &row || pending_.size() != indexes_.size()) {
        pending_.clear();
        for (auto& i : indexes_) {
            Pending p;
            p.key = keyOf(*i, row, values);
            if (p.key) p.newKey = !i->tree.containsKey(*p.key);
            pending_.push_back(std::move(p));
        }
    }
    pendingRow_ = nullptr;
    for (std::size_t n = 0; n < indexes_.size(); ++n) {
        auto& i = indexes_[n];
        Pending& p = pending_[n];
        if (!p.key) continue;
        IndexEntry e;
        e.key = std::move(*p.key);
        e.row = id;
        i->tree.insert(e, p.newKeyKnown ? nullptr : &p.newKey);
        if (p.newKey) countNewKey(*i);
    }
    pending_.clear();
}

// Each index counts the keys it was ever given (in the table definition's first page, beside
// its row count); Access raises the count for a key the index did not hold and never lowers it.
void TableIndexes::countNewKey(const Index& i) {
    const Format& f = pager_.format();
    const std::size_t at =
        f.tdefIndexBlockOffset + i.number * f.tdefIndexCountEntrySize + kKeyCountOffset;
    const PageRef p = pager_.page(def_.page);
    if (at + 4 > p->bytes.size())
        throwCorrupt("the index counts lie past the first page of the table definition", def_.page);
    const ByteReader r(p->span(), "table definition", def_.page);
    pager_.writeBytes(def_.page, at, littleEndian32(r.u32(at) + 1));
}

void TableIndexes::remove(const RowView& row, const ValueDecoder& values, RowId id) {
    for (auto& i : indexes_) {
        const auto key = keyOf(*i, row, values);
        if (!key) continue;
        IndexEntry e;
        e.key = *key;
        e.row = id;
        if (!i->tree.remove(e))
            throwCorrupt("the index '" + i->name + "' of table '" + tableName_ +
                         "' has no entry for one of its rows");
    }
}

std::vector<std::uint32_t> TableIndexes::pages() {
    std::vector<std::uint32_t> out;
    for (auto& i : indexes_) {
        for (std::uint32_t p : i->tree.pages())
            out.push_back(p);
        if (i->def->usageMapRef)
            for (std::uint32_t p : usageMapPages(pager_, i->def->usageMapRef))
                out.push_back(p);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace jet
