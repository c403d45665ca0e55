// Placing, deleting and walking rows.
#include "db/jet/write/row_store.h"

#include "db/jet/base/error.h"
#include "db/jet/catalog/catalog.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/usage_map.h"

namespace jet {

namespace {

bool ownedBy(const Pager& pager, const Page& p, std::uint32_t owner) {
    const Format& f = pager.format();
    const ByteReader r(p.span(), "data page", p.number);
    return r.u8(0) == page_type::kData && r.u32(f.dataOwnerOffset) == owner;
}

// Whether new rows of `home` may go onto a page other programs already see. They may not in a
// transaction of many statements (pager.h), except rows nothing refers to yet (long values)
// and the catalogue's, whose one new row is what makes a table appear.
bool mayUseOldPages(const Pager& pager, const RowHome& home) {
    return !pager.rowsOnNewPagesOnly() || home.owner == kLongValueOwner ||
           home.owner == kCatalogPage;
}

// The page new rows of `home` should try first: the last page of its free-space map that is
// one of its data pages (and new, when it must be); 0 when there is none.
std::uint32_t lookUpInsertPage(Pager& pager, const RowHome& home) {
    if (home.freePagesRef == 0) return 0;
    const bool old = mayUseOldPages(pager, home);
    const auto map = UsageMap::readReference(pager, home.freePagesRef);
    const auto& pages = map->pages();
    for (auto it = pages.rbegin(); it != pages.rend(); ++it) {
        if (*it == 0 || *it >= pager.pageCount() || (!old && !pager.isNew(*it)) ||
            pager.isFree(*it))
            continue;
        const PageRef p = pager.page(*it);
        if (ownedBy(pager, *p, home.owner)) return *it;
    }
    return 0;
}

std::uint32_t newPage(Pager& pager, RowHome& home) {
    const Format& f = pager.format();
    PageHandle p = pager.allocatePage(page_type::kData);
    startDataPage(p->mutableSpan(), f, home.owner);
    const std::uint32_t number = p->number;
    if (home.ownedPagesRef) addToUsageMap(pager, home.ownedPagesRef, number);
    if (home.freePagesRef) addToUsageMap(pager, home.freePagesRef, number);
    return number;
}

}  // namespace

RowId placeRow(Pager& pager, RowHome& home, std::span<const std::uint8_t> bytes) {
    const Format& f = pager.format();
    const std::size_t limit = home.owner == kLongValueOwner ? f.longValueRowMax : f.maxRowSize;
    if (bytes.size() > limit)
        throw Error(ErrorKind::Constraint,
                    "The row is too large: it takes " + std::to_string(bytes.size()) +
                        " bytes, and a row of an Access table holds at most " +
                        std::to_string(limit) + ".");
    if (home.insertPage != 0) {
        // A remembered page must still be one of the owner's: a statement that was undone may
        // have given it back.
        if (home.insertPage >= pager.pageCount() || pager.isFree(home.insertPage) ||
            !ownedBy(pager, *pager.page(home.insertPage), home.owner) ||
            (!mayUseOldPages(pager, home) && !pager.isNew(home.insertPage)))
            home.insertPage = 0;
    }
    if (home.insertPage == 0) home.insertPage = lookUpInsertPage(pager, home);
    if (home.insertPage != 0) {
        PageHandle p = pager.writablePage(home.insertPage);
        const int row = appendDataPageRow(p->bytes, f, bytes);
        if (row >= 0) return RowId{home.insertPage, static_cast<std::uint8_t>(row)};
        // Full: it leaves the map of pages with free space, as Access does.
        if (home.freePagesRef) removeFromUsageMap(pager, home.freePagesRef, home.insertPage);
    }
    home.insertPage = newPage(pager, home);
    PageHandle p = pager.writablePage(home.insertPage);
    const int row = appendDataPageRow(p->bytes, f, bytes);
    if (row < 0) throw Error(ErrorKind::Engine, "A row did not fit an empty page.");
    return RowId{home.insertPage, static_cast<std::uint8_t>(row)};
}

void deleteRowAt(Pager& pager, RowId id) {
    const Format& f = pager.format();
    PageHandle p = pager.writablePage(id.page);
    if (p->bytes[0] != page_type::kData)
        throwCorrupt("a row to delete is not on a data page", id.page);
    const std::size_t rows = ByteReader(p->span(), "data page", id.page).u16(f.dataRowCountOffset);
    if (id.row >= rows) throwCorrupt("a row to delete is not on its page", id.page);
    markDataPageRowDeleted(p->mutableSpan(), f, id.row);
}

void forEachRow(Pager& pager, const TableDef& def,
                const std::function<void(RowId, const ByteReader&)>& visit) {
    const Format& f = pager.format();
    const auto map = UsageMap::readReference(pager, def.ownedPagesRef);
    for (std::uint32_t number : map->pages()) {
        if (number == 0) continue;
        const PageRef page = pager.page(number);
        if (!ownedBy(pager, *page, def.page)) continue;
        const ByteReader r(page->span(), "data page", number);
        const DataPage dp(r, f);
        for (std::uint16_t i = 0; i < dp.rowCount(); ++i) {
            const RowSlot s = dp.slot(i);
            if (s.deleted) continue;
            const ByteReader row = r.sub(s.start, s.end - s.start);
            const RowId id{number, static_cast<std::uint8_t>(i)};
            if (!s.overflow) {
                visit(id, row);
                continue;
            }
            // The row moved: its slot holds the row number, then the page, of where it is now.
            const std::uint32_t where = row.u32(0);
            const std::uint32_t target = where >> 8;
            const auto targetRow = static_cast<std::uint16_t>(where & 0xFF);
            const PageRef tp = pager.page(target);
            const ByteReader tr(tp->span(), "data page", target);
            const DataPage tdp(tr, f);
            if (tdp.type() != page_type::kData || targetRow >= tdp.rowCount())
                tr.fail("an overflow row points to a row that does not exist", 0);
            const RowSlot ts = tdp.slot(targetRow);
            visit(id, tr.sub(ts.start, ts.end - ts.start));
        }
    }
}

}  // namespace jet
