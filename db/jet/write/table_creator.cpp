// Making and freeing the pages of a table.
#include "db/jet/write/table_creator.h"

#include <algorithm>
#include <map>
#include <set>

#include "db/jet/base/error.h"
#include "db/jet/index/index_btree.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/usage_map.h"
#include "db/jet/write/row_store.h"

namespace jet {

namespace {

constexpr std::uint8_t kRequiredUniqueIndex = 0x89;  // a primary key, as Access writes it
constexpr std::uint8_t kPlainIndex = 0x80;

// Places the map rows of a new table on usage-map pages (data pages owned by no table), taking
// a further page when one fills.
class MapRows {
  public:
    explicit MapRows(Pager& pager) : pager_(pager) { newPage(); }
    // Rows go onto `page` (which holds map rows already) while it has room.
    MapRows(Pager& pager, std::uint32_t page) : pager_(pager), page_(page) {}
    std::uint32_t add(const std::vector<std::uint8_t>& row) {
        int n = appendDataPageRow(pager_.writablePage(page_)->mutableSpan(), pager_.format(), row);
        if (n < 0) {
            newPage();
            n = appendDataPageRow(pager_.writablePage(page_)->mutableSpan(), pager_.format(), row);
        }
        return (page_ << 8) | static_cast<std::uint32_t>(n);
    }

  private:
    void newPage() {
        PageHandle p = pager_.allocatePage(page_type::kData);
        startDataPage(p->mutableSpan(), pager_.format(), 0);
        page_ = p->number;
    }
    Pager& pager_;
    std::uint32_t page_ = 0;
};

// The row of an inline usage map listing `page` alone.
std::vector<std::uint8_t> mapOfOnePage(const Format& f, std::uint32_t page) {
    std::vector<std::uint8_t> map = emptyInlineMap(f, page - page % 8);
    setUsageBit(std::span<std::uint8_t>(map).subspan(kInlineUsageMapHeader), page % 8, true);
    return map;
}

// The pages holding the long value `ref` (none when it is kept in the row).
void collectLongValuePages(Pager& pager, ByteSpan ref, std::set<std::uint32_t>& out) {
    if (ref.size() < kLongValueReferenceSize) return;
    const ByteReader r(ref, "long-value reference");
    const std::uint32_t word = r.u32(0);
    if (word & kLongValueInline || (word & kLongValueLengthMask) == 0) return;
    std::uint32_t where = r.u32(4);
    std::set<std::uint32_t> seen;
    while (where != 0 && seen.insert(where).second) {
        const std::uint32_t page = where >> 8;
        if (page == 0 || page >= pager.pageCount()) return;
        out.insert(page);
        if (word & kLongValueOnePage) return;
        const PageRef p = pager.page(page);
        const ByteReader pr(p->span(), "long-value page", page);
        const DataPage dp(pr, pager.format());
        const auto row = static_cast<std::uint16_t>(where & 0xFF);
        if (dp.type() != page_type::kData || row >= dp.rowCount()) return;
        const RowSlot s = dp.slot(row);
        if (s.end - s.start < 4) return;
        where = pr.u32(s.start);
    }
}

bool isDataPageOf(Pager& pager, std::uint32_t page, std::uint32_t owner) {
    if (page == 0 || page >= pager.pageCount()) return false;
    const PageRef p = pager.page(page);
    const ByteReader r(p->span(), "data page", page);
    return r.u8(0) == page_type::kData && r.u32(pager.format().dataOwnerOffset) == owner;
}

}  // namespace

std::uint32_t createTableStorage(Pager& pager, const std::vector<ColumnPlan>& columns,
                                 const std::vector<NewIndex>& indexes, SortOrder sortOrder) {
    NewTableDef def;
    def.sortOrder = sortOrder;
    def.columns = layoutColumns(columns, sortOrder);
    for (const auto& idx : indexes) {
        IndexPlan plan;
        plan.name = idx.name;
        plan.columns = idx.columns;
        plan.primaryKey = idx.primaryKey;
        plan.flags = idx.primaryKey ? kRequiredUniqueIndex : kPlainIndex;
        def.indexes.push_back(std::move(plan));
    }
    return createTableStorage(pager, std::move(def));
}

std::uint32_t createTableStorage(Pager& pager, NewTableDef def) {
    const Format& f = pager.format();
    const std::uint32_t tdefPage = pager.allocatePage(page_type::kTableDef)->number;
    MapRows maps(pager);
    def.ownedPagesRef = maps.add(emptyInlineMap(f, 0));
    def.freePagesRef = maps.add(emptyInlineMap(f, 0));
    for (IndexPlan& plan : def.indexes) {
        const std::uint32_t root = pager.allocatePage(page_type::kIndexLeaf)->number;
        pager.writablePage(root)->bytes = IndexTree::emptyRoot(f, tdefPage);
        plan.usageMapRef = maps.add(mapOfOnePage(f, root));
        plan.rootPage = root;
    }
    for (auto& c : def.columns) {
        if (!isLongValue(c.type)) continue;
        c.ownedPagesRef = maps.add(emptyInlineMap(f, 0));
        c.freePagesRef = maps.add(emptyInlineMap(f, 0));
    }

    const std::vector<std::uint8_t> bytes = encodeTableDef(f, def);
    std::vector<std::uint32_t> pages = {tdefPage};
    while (pages.size() < tableDefPageCount(f, bytes.size()))
        pages.push_back(pager.allocatePage(page_type::kTableDef)->number);
    const auto images = paginateTableDef(f, bytes, pages);
    for (std::size_t i = 0; i < pages.size(); ++i)
        pager.writablePage(pages[i])->bytes = images[i];
    return tdefPage;
}

IndexStorage createIndexStorage(Pager& pager, const TableDef& def) {
    const Format& f = pager.format();
    IndexStorage s;
    s.rootPage = pager.allocatePage(page_type::kIndexLeaf)->number;
    pager.writablePage(s.rootPage)->bytes = IndexTree::emptyRoot(f, def.page);
    const std::uint32_t mapPage = def.ownedPagesRef >> 8;
    MapRows maps = mapPage > 2 && mapPage < pager.pageCount() &&
                           pager.page(mapPage)->bytes[0] == page_type::kData
                       ? MapRows(pager, mapPage)
                       : MapRows(pager);
    s.usageMapRef = maps.add(mapOfOnePage(f, s.rootPage));
    return s;
}

void freeTableStorage(Pager& pager, const TableDef& def,
                      const std::vector<std::uint32_t>& indexPages) {
    std::set<std::uint32_t> toFree(indexPages.begin(), indexPages.end());

    // Data pages: those of the table's map that name it.
    const auto owned = UsageMap::readReference(pager, def.ownedPagesRef);
    for (std::uint32_t p : owned->pages())
        if (isDataPageOf(pager, p, def.page)) toFree.insert(p);

    // Long-value pages: those the table's rows use, when a map of the table lists them.
    std::set<std::uint32_t> longPages;
    forEachRow(pager, def, [&](RowId, const ByteReader& row) {
        const RowView view(row, pager.format(), def.varColumns > 0);
        for (const auto& c : def.columns) {
            if (!isLongValue(c.type) || view.isNull(c)) continue;
            bool present = false;
            const ByteSpan ref = view.varBytes(c, present);
            if (present) collectLongValuePages(pager, ref, longPages);
        }
    });
    std::vector<std::uint32_t> maps = {def.ownedPagesRef, def.freePagesRef};
    for (const auto& c : def.columns) {
        if (c.ownedPagesRef) maps.push_back(c.ownedPagesRef);
        if (c.freePagesRef) maps.push_back(c.freePagesRef);
    }
    for (const auto& idx : def.indexes)
        if (idx.usageMapRef) maps.push_back(idx.usageMapRef);
    std::set<std::uint32_t> listed;
    for (const auto& c : def.columns) {
        if (!c.ownedPagesRef) continue;
        const auto map = UsageMap::readReference(pager, c.ownedPagesRef);
        listed.insert(map->pages().begin(), map->pages().end());
    }
    for (std::uint32_t p : owned->pages())
        listed.insert(p);
    for (std::uint32_t p : longPages)
        if (listed.count(p) && isDataPageOf(pager, p, kLongValueOwner)) toFree.insert(p);

    // The usage-map pages of reference maps, and the pages of the map rows.
    std::map<std::uint32_t, std::set<std::uint16_t>> mapRows;
    for (std::uint32_t ref : maps) {
        if (ref == 0) continue;
        for (std::uint32_t p : usageMapPages(pager, ref))
            toFree.insert(p);
        mapRows[ref >> 8].insert(static_cast<std::uint16_t>(ref & 0xFF));
    }
    for (const auto& [page, rows] : mapRows) {
        const PageRef p = pager.page(page);
        const ByteReader r(p->span(), "usage map page", page);
        const DataPage dp(r, pager.format());
        bool others = false;
        for (std::uint16_t i = 0; i < dp.rowCount(); ++i)
            if (!dp.slot(i).deleted && !rows.count(i)) others = true;
        if (!others) {
            toFree.insert(page);
            continue;
        }
        for (std::uint16_t row : rows)
            deleteRowAt(pager, RowId{page, static_cast<std::uint8_t>(row)});
    }
    for (std::uint32_t p : def.pages)
        toFree.insert(p);

    for (std::uint32_t p : toFree)
        if (p > 2 && p < pager.pageCount() && !pager.isFree(p)) pager.freePage(p);
}

}  // namespace jet
