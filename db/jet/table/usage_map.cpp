// Usage maps: the row layout, reading a map's pages, and changing the maps of tables.
#include "db/jet/table/usage_map.h"

#include <algorithm>
#include <string>

#include "db/jet/base/error.h"
#include "db/jet/table/data_page.h"

namespace jet {

// ---- the row ----

const UsageMapRow::Kind UsageMapRow::kTableMap = {
    "usage map",
    "a usage map is not on a data page",
    "a usage map refers to a row the page does not have",
    "a usage map's row is empty or deleted",
    "a usage map of unknown kind",
    "an inline usage map too short",
    "a reference usage map points to a page that is not a usage-map page",
    0,
};

UsageMapRow UsageMapRow::read(Pager& pager, std::uint32_t page, std::uint16_t row,
                              const Kind& kind) {
    return locate(pager, page, row, kind, false);
}

UsageMapRow UsageMapRow::write(Pager& pager, std::uint32_t page, std::uint16_t row,
                               const Kind& kind) {
    return locate(pager, page, row, kind, true);
}

UsageMapRow UsageMapRow::locate(Pager& pager, std::uint32_t page, std::uint16_t row,
                                const Kind& kind, bool writable) {
    if (page == 0) throwCorrupt("a usage map refers to the header page", page);
    // A damaged page is refused before a writable copy of it is made.
    PageRef p = pager.page(page);
    const ByteReader r(p->span(), kind.what, page);
    const DataPage dp(r, pager.format());
    if (dp.type() != page_type::kData) r.fail(kind.notOnData, 0);
    if (row >= dp.rowCount()) r.fail(kind.noSuchRow, 0);
    const RowSlot s = dp.slot(row);
    if (kind.minimumSize > 0 && (s.deleted || std::size_t{s.end} - s.start < kind.minimumSize))
        r.fail(kind.emptyRow, s.start);
    std::optional<ByteWriter> writer;
    if (writable) {
        PageHandle h = pager.writablePage(page);
        writer.emplace(h->mutableSpan().subspan(s.start, s.end - s.start), kind.what, page,
                       s.start);
        p = std::move(h);
    }
    const ByteReader mapRow = ByteReader(p->span(), kind.what, page).sub(s.start, s.end - s.start);
    const std::uint8_t type = mapRow.u8(0);
    if (type != kInlineUsageMap && type != kReferenceUsageMap) mapRow.fail(kind.unknownKind, 0);
    if (type == kInlineUsageMap && mapRow.size() < kInlineUsageMapHeader)
        mapRow.fail(kind.shortInline, 0);
    return UsageMapRow(kind, pager, page, std::move(p), mapRow, writer);
}

std::uint32_t UsageMapRow::bitmapPage(std::size_t j) const {
    const Format& f = pager_->format();
    if (!slotInFile(f, j, pager_->pageCount())) return 0;
    const std::uint32_t number = row_.u32(1 + 4 * j);
    const std::uint32_t atBegin = pager_->pageCountAtBegin();
    if (!slotInFile(f, j, atBegin) && (number < atBegin || number >= pager_->pageCount()))
        return 0;  // not a page the open transaction made for it
    return number;
}

ByteWriter& UsageMapRow::writer() {
    if (!writer_) throw Error(ErrorKind::Engine, "A usage map read for reading was changed.");
    return *writer_;
}

bool UsageMapRow::test(std::uint64_t page) const {
    return testUsageBit(row_.bytes(kInlineUsageMapHeader, size() - kInlineUsageMapHeader),
                        page - firstPage());
}

void UsageMapRow::set(std::uint64_t page, bool on) {
    setUsageBit(writer().span().subspan(kInlineUsageMapHeader), page - firstPage(), on);
}

void UsageMapRow::restartWindow(std::uint32_t first) {
    ByteWriter& w = writer();
    w.fill(1, size() - 1);
    w.u32(1, first);
}

void UsageMapRow::reset(std::uint8_t kind) {
    ByteWriter& w = writer();
    w.fill(0, size());
    w.u8(0, kind);
}

ByteSpan UsageMapRow::readBitmap(Pager& pager, std::uint32_t number, PageRef& keep) const {
    keep = pager.page(number);
    const ByteReader r(keep->span(), "usage map page", number);
    if (r.u8(0) != page_type::kUsageMap) r.fail(kind_->notBitmapPage, 0);
    const std::size_t header = pager.format().usageMapPageHeader;
    return r.bytes(header, r.size() - header);
}

std::span<std::uint8_t> UsageMapRow::writeBitmap(Pager& pager, std::uint32_t number,
                                                 PageHandle& keep) const {
    {
        PageRef clean;
        readBitmap(pager, number, clean);  // refuses a page of the wrong kind
    }
    keep = pager.writablePage(number);
    return keep->mutableSpan().subspan(pager.format().usageMapPageHeader);
}

// ---- reading ----

bool UsageMap::contains(std::uint32_t page) const {
    return std::binary_search(pages_.begin(), pages_.end(), page);
}

std::unique_ptr<UsageMap> UsageMap::read(Pager& pager, std::uint32_t page, std::uint8_t row) {
    const UsageMapRow map = UsageMapRow::read(pager, page, row);
    const std::uint32_t pageCount = pager.pageCount();
    auto out = std::unique_ptr<UsageMap>(new UsageMap);
    // A page the file does not have means the file lost its end.
    auto add = [&](std::uint64_t p) {
        if (p >= pageCount)
            throwCorrupt("a usage map lists page " + std::to_string(p) +
                         ", but the file has only " + std::to_string(pageCount) + " pages");
        out->pages_.push_back(static_cast<std::uint32_t>(p));
        return true;
    };
    if (map.isInline()) {
        map.forEachInlinePage(add);
        return out;
    }
    const std::uint64_t per = UsageMapRow::pagesPerBitmapPage(pager.format());
    for (std::size_t j = 0; j < map.slots(); ++j) {
        const std::uint32_t bitmapPage = map.bitmapPage(j);
        if (bitmapPage == 0) continue;
        PageRef keep;
        forEachUsageBit(map.readBitmap(pager, bitmapPage, keep), j * per, add);
    }
    std::sort(out->pages_.begin(), out->pages_.end());
    out->pages_.erase(std::unique(out->pages_.begin(), out->pages_.end()), out->pages_.end());
    return out;
}

// ---- changing the maps of tables ----

namespace {

UsageMapRow writableMap(Pager& pager, std::uint32_t reference) {
    static const UsageMapRow::Kind kind = [] {
        UsageMapRow::Kind k = UsageMapRow::kTableMap;
        k.minimumSize = 2;
        return k;
    }();
    return UsageMapRow::write(pager, reference >> 8, static_cast<std::uint16_t>(reference & 0xFF),
                              kind);
}

// Sets or clears `page` in the reference map `map`, making its usage-map page when a page is
// added to a stretch that has none.
void setReferenceBit(Pager& pager, UsageMapRow& map, std::uint32_t page, bool on) {
    const std::uint64_t per = UsageMapRow::pagesPerBitmapPage(pager.format());
    const auto j = static_cast<std::size_t>(page / per);
    if (j >= map.slots()) {
        if (!on) return;
        throw Error(ErrorKind::NotSupported,
                    "The usage map cannot reach page " + std::to_string(page) + " of the file.");
    }
    PageHandle keep;
    std::span<std::uint8_t> bitmap;
    if (const std::uint32_t number = map.bitmapPage(j); number != 0) {
        bitmap = map.writeBitmap(pager, number, keep);
    } else {
        if (!on) return;
        keep = pager.allocatePage(page_type::kUsageMap);
        map.setBitmapPage(j, keep->number);
        bitmap = keep->mutableSpan().subspan(pager.format().usageMapPageHeader);
    }
    setUsageBit(bitmap, page % per, on);
}

}  // namespace

void addToUsageMap(Pager& pager, std::uint32_t reference, std::uint32_t page) {
    UsageMapRow map = writableMap(pager, reference);
    if (!map.isInline()) {
        setReferenceBit(pager, map, page, true);
        return;
    }
    if (map.inWindow(page)) {
        map.set(page, true);
        return;
    }
    std::vector<std::uint32_t> pages;
    map.forEachInlinePage([&](std::uint64_t p) { pages.push_back(static_cast<std::uint32_t>(p)); });
    pages.push_back(page);
    const auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
    const std::uint32_t start = *lo - *lo % 8;
    if (std::uint64_t{*hi} - start < map.windowPages()) {
        map.restartWindow(start);
        for (std::uint32_t p : pages)
            map.set(p, true);
        return;
    }
    // Too far apart for the window: the map becomes a reference map of the same size.
    map.reset(kReferenceUsageMap);
    for (std::uint32_t p : pages)
        setReferenceBit(pager, map, p, true);
}

void removeFromUsageMap(Pager& pager, std::uint32_t reference, std::uint32_t page) {
    UsageMapRow map = writableMap(pager, reference);
    if (!map.isInline()) {
        setReferenceBit(pager, map, page, false);
        return;
    }
    if (map.inWindow(page)) map.set(page, false);
}

void clearUsageMap(Pager& pager, std::uint32_t reference) {
    UsageMapRow map = writableMap(pager, reference);
    if (map.isInline()) {
        map.restartWindow(map.firstPage());
        return;
    }
    for (std::size_t j = 0; j < map.slots(); ++j) {
        if (map.bitmapPage(j) == 0) continue;
        PageHandle keep;
        const auto bitmap = map.writeBitmap(pager, map.bitmapPage(j), keep);
        std::fill(bitmap.begin(), bitmap.end(), 0);
    }
}

std::vector<std::uint32_t> usageMapPages(Pager& pager, std::uint32_t reference) {
    const UsageMapRow map =
        UsageMapRow::read(pager, reference >> 8, static_cast<std::uint16_t>(reference & 0xFF));
    std::vector<std::uint32_t> out;
    if (map.isInline()) return out;
    for (std::size_t j = 0; j < map.slots(); ++j)
        if (const std::uint32_t number = map.bitmapPage(j); number != 0) out.push_back(number);
    return out;
}

std::vector<std::uint8_t> emptyInlineMap(const Format& f, std::uint32_t firstPage) {
    std::vector<std::uint8_t> row(kInlineUsageMapHeader + f.usageMapInlineBytes, 0);
    ByteWriter w(row, "usage map");
    w.u8(0, kInlineUsageMap);
    w.u32(1, firstPage);
    return row;
}

}  // namespace jet
