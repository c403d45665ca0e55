// Keeping every index of a table in step with its rows.
#include "db/jet/table_indexes.h"

#include <algorithm>

#include "db/jet/error.h"
#include "db/jet/usage_map_writer.h"

namespace jet {

namespace {

constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kIgnoreNulls = 0x02;
constexpr std::uint8_t kRequired = 0x08;

// The pages of one index, through the pager and the index's usage map.
class PagerIndexPages : public IndexPages {
  public:
    PagerIndexPages(Pager& pager, std::uint32_t usageMapRef)
        : pager_(pager), usageMapRef_(usageMapRef) {}
    PageRef read(std::uint32_t page) override { return pager_.page(page); }
    void write(std::uint32_t page, const std::vector<std::uint8_t>& image) override {
        PageHandle h = pager_.writablePage(page);
        h->bytes = image;
    }
    std::uint32_t allocate() override {
        PageHandle h = pager_.allocatePage(page_type::kIndexLeaf);
        if (usageMapRef_) addToUsageMap(pager_, usageMapRef_, h->number);
        return h->number;
    }
    void release(std::uint32_t page) override {
        if (usageMapRef_) removeFromUsageMap(pager_, usageMapRef_, page);
        pager_.freePage(page);
    }

  private:
    Pager& pager_;
    std::uint32_t usageMapRef_;
};

}  // namespace

struct TableIndexes::Index {
    const PhysicalIndex* def;
    std::string name;
    IndexKeyMaker keys;
    PagerIndexPages pages;
    IndexTree tree;

    Index(Pager& pager, const TableDef& table, const PhysicalIndex& index, std::string n)
        : def(&index),
          name(std::move(n)),
          keys(pager.format(), table, index),
          pages(pager, index.usageMapRef),
          tree(pages, pager.format(), index.firstPage, table.page) {}
};

TableIndexes::TableIndexes(Pager& pager, const TableDef& def, std::string tableName)
    : pager_(pager), def_(def), tableName_(std::move(tableName)) {
    for (std::size_t i = 0; i < def.indexes.size(); ++i) {
        std::string name = "#" + std::to_string(i);
        for (const auto& li : def.logicalIndexes)
            if (li.physicalIndex == i) {
                name = li.name;
                break;
            }
        indexes_.push_back(std::make_unique<Index>(pager, def, def.indexes[i], std::move(name)));
    }
}

TableIndexes::~TableIndexes() = default;

void TableIndexes::requireWritable() const {
    for (const auto& i : indexes_)
        if (const auto& why = i->keys.unsupported())
            throw Error(ErrorKind::NotSupported,
                        "The Access engine cannot yet write to the table '" + tableName_ +
                            "': its index '" + i->name + "' " + *why);
}

std::optional<std::vector<std::uint8_t>> TableIndexes::keyOf(Index& i, const RowView& row,
                                                             const ValueDecoder& values) {
    if ((i.def->flags & kIgnoreNulls) && i.keys.nullCount(row, values) == i.keys.columnCount())
        return std::nullopt;
    return i.keys.key(row, values);
}

void TableIndexes::check(const RowView& row, const ValueDecoder& values) {
    for (auto& i : indexes_) {
        const std::size_t nulls = i->keys.nullCount(row, values);
        if ((i->def->flags & kRequired) && nulls > 0)
            throw Error(ErrorKind::Constraint,
                        "The index '" + i->name + "' of table '" + tableName_ +
                            "' cannot hold a Null value, and the row leaves one of its columns "
                            "Null.");
        if (!(i->def->flags & kUnique) || nulls == i->keys.columnCount()) continue;
        const auto key = keyOf(*i, row, values);
        if (key && i->tree.containsKey(*key))
            throw Error(ErrorKind::Constraint,
                        "The row would put a value into the index '" + i->name + "' of table '" +
                            tableName_ +
                            "' that it holds already; the index allows each value only once.");
    }
}

void TableIndexes::insert(const RowView& row, const ValueDecoder& values, RowId id) {
    for (auto& i : indexes_) {
        const auto key = keyOf(*i, row, values);
        if (!key) continue;
        IndexEntry e;
        e.key = *key;
        e.row = id;
        i->tree.insert(e);
    }
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
