// Placing, deleting and walking rows.
#include "db/jet/write/row_store.h"

#include "db/jet/base/error.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/usage_map.h"
#include "db/jet/table/usage_map_writer.h"

namespace jet {

namespace {

std::uint16_t get16(std::span<const std::uint8_t> p, std::size_t at) {
    return static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8));
}
void put16(std::span<std::uint8_t> p, std::size_t at, std::size_t v) {
    p[at] = static_cast<std::uint8_t>(v);
    p[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
std::uint32_t get32(std::span<const std::uint8_t> p, std::size_t at) {
    return static_cast<std::uint32_t>(get16(p, at)) |
           (static_cast<std::uint32_t>(get16(p, at + 2)) << 16);
}

bool ownedBy(const Pager& pager, const Page& p, std::uint32_t owner) {
    const Format& f = pager.format();
    return p.bytes[0] == page_type::kData && get32(p.bytes, f.dataOwnerOffset) == owner;
}

// The page new rows of `home` should try first: the last page of its free-space map that is
// one of its data pages; 0 when there is none.
std::uint32_t lookUpInsertPage(Pager& pager, const RowHome& home) {
    if (home.freePagesRef == 0) return 0;
    const auto map = UsageMap::readReference(pager, home.freePagesRef);
    const auto& pages = map->pages();
    for (auto it = pages.rbegin(); it != pages.rend(); ++it) {
        if (*it == 0 || *it >= pager.pageCount() || pager.isFree(*it)) continue;
        const PageRef p = pager.page(*it);
        if (ownedBy(pager, *p, home.owner)) return *it;
    }
    return 0;
}

std::uint32_t newPage(Pager& pager, RowHome& home) {
    const Format& f = pager.format();
    PageHandle p = pager.allocatePage(page_type::kData);
    const std::size_t free = f.pageSize - f.dataRowTableOffset;
    put16(p->bytes, f.dataFreeSpaceOffset, free);
    for (int i = 0; i < 4; ++i)
        p->bytes[f.dataOwnerOffset + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(home.owner >> (8 * i));
    const std::uint32_t number = p->number;
    if (home.ownedPagesRef) addToUsageMap(pager, home.ownedPagesRef, number);
    if (home.freePagesRef) addToUsageMap(pager, home.freePagesRef, number);
    return number;
}

}  // namespace

int appendRow(std::span<std::uint8_t> page, const Format& f, std::span<const std::uint8_t> bytes) {
    const std::size_t rows = get16(page, f.dataRowCountOffset);
    if (rows >= f.maxRowsPerDataPage) return -1;
    const std::size_t slotsEnd = f.dataRowTableOffset + (rows + 1) * f.rowSlotSize;
    if (slotsEnd > page.size()) throwCorrupt("the slot table of a data page runs past the page");
    // Rows are packed: the new one ends where the lowest row starts.
    std::size_t end = page.size();
    for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t start =
            get16(page, f.dataRowTableOffset + i * f.rowSlotSize) & kRowOffsetMask;
        if (start >= slotsEnd - f.rowSlotSize && start < end) end = start;
    }
    const std::size_t free = get16(page, f.dataFreeSpaceOffset);
    if (bytes.size() + f.rowSlotSize > free || end < slotsEnd || end - slotsEnd < bytes.size())
        return -1;
    const std::size_t start = end - bytes.size();
    std::copy(bytes.begin(), bytes.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    put16(page, f.dataRowTableOffset + rows * f.rowSlotSize, start);
    put16(page, f.dataRowCountOffset, rows + 1);
    put16(page, f.dataFreeSpaceOffset, free - bytes.size() - f.rowSlotSize);
    return static_cast<int>(rows);
}

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
            !ownedBy(pager, *pager.page(home.insertPage), home.owner))
            home.insertPage = 0;
    }
    if (home.insertPage == 0) home.insertPage = lookUpInsertPage(pager, home);
    if (home.insertPage != 0) {
        PageHandle p = pager.writablePage(home.insertPage);
        const int row = appendRow(p->bytes, f, bytes);
        if (row >= 0) return RowId{home.insertPage, static_cast<std::uint8_t>(row)};
        // Full: it leaves the map of pages with free space, as Access does.
        if (home.freePagesRef) removeFromUsageMap(pager, home.freePagesRef, home.insertPage);
    }
    home.insertPage = newPage(pager, home);
    PageHandle p = pager.writablePage(home.insertPage);
    const int row = appendRow(p->bytes, f, bytes);
    if (row < 0) throw Error(ErrorKind::Engine, "A row did not fit an empty page.");
    return RowId{home.insertPage, static_cast<std::uint8_t>(row)};
}

void deleteRowAt(Pager& pager, RowId id) {
    const Format& f = pager.format();
    PageHandle p = pager.writablePage(id.page);
    if (p->bytes[0] != page_type::kData)
        throwCorrupt("a row to delete is not on a data page", id.page);
    const std::size_t rows = get16(p->bytes, f.dataRowCountOffset);
    if (id.row >= rows) throwCorrupt("a row to delete is not on its page", id.page);
    const std::size_t at = f.dataRowTableOffset + std::size_t{id.row} * f.rowSlotSize;
    put16(p->bytes, at, get16(p->bytes, at) | kRowDeletedFlag | kRowOverflowFlag);
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
