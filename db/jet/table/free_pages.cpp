// Reading and changing the free-page map on page 1, inline or by reference.
#include "db/jet/table/free_pages.h"

#include <functional>
#include <string>
#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/data_page.h"

namespace jet {

namespace {

constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kReferenceMap = 0x01;
constexpr std::uint32_t kFirstAllocatable = 3;  // pages 0-2: header, this map, the catalogue
// Inline maps grow by this many pages at a time.
constexpr std::uint32_t kInlineGrowthPages = 256;

std::uint32_t load32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void store32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Where row 0 of page 1 lies.
struct MapRow {
    std::size_t start = 0;
    std::size_t end = 0;
};

MapRow locate(const Page& page, const Format& f) {
    const ByteReader r(page.span(), "free-page map", kFreePageMapPage);
    const DataPage dp(r, f);
    if (dp.type() != page_type::kData) r.fail("page 1 is not a data page", 0);
    if (dp.rowCount() == 0) r.fail("page 1 holds no free-page map", f.dataRowCountOffset);
    const RowSlot s = dp.slot(kFreePageMapRow);
    if (s.deleted || s.end - s.start < 5) r.fail("the free-page map row is too short", s.start);
    const std::uint8_t kind = page.bytes[s.start];
    if (kind != kInlineMap && kind != kReferenceMap)
        r.fail("the free-page map is of an unknown kind", s.start);
    return {s.start, s.end};
}

// Pages covered by one bitmap page of a reference map.
std::uint32_t pagesPerBitmapPage(const Format& f) {
    return (f.pageSize - static_cast<std::uint32_t>(f.usageMapPageHeader)) * 8;
}

// Bitmap page pointers in a reference map row, as Access sizes the row.
std::size_t referenceSlots(const Format& f) {
    return (f.usageMapInlineBytes + 4) / 4;
}

bool bit(std::span<const std::uint8_t> bitmap, std::uint32_t i) {
    return (bitmap[i / 8] >> (i % 8)) & 1u;
}

void setBit(std::span<std::uint8_t> bitmap, std::uint32_t i, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << (i % 8));
    if (on)
        bitmap[i / 8] |= mask;
    else
        bitmap[i / 8] &= static_cast<std::uint8_t>(~mask);
}

}  // namespace

bool FreePageMap::isFree(std::uint32_t page) {
    if (page < kFirstAllocatable || page >= pager_.pageCount()) return false;
    const Format& f = pager_.format();
    const PageRef p = pager_.page(kFreePageMapPage);
    const MapRow row = locate(*p, f);
    const auto bytes = p->span();
    if (bytes[row.start] == kInlineMap) {
        const std::uint32_t first = load32(bytes, row.start + 1);
        const std::uint64_t bits = std::uint64_t{row.end - row.start - 5} * 8;
        if (page < first || page - first >= bits) return false;
        return bit(bytes.subspan(row.start + 5), page - first);
    }
    const std::uint32_t per = pagesPerBitmapPage(f);
    const std::size_t slot = page / per;
    if (1 + (slot + 1) * 4 > row.end - row.start) return false;
    const std::uint32_t mapPage = load32(bytes, row.start + 1 + slot * 4);
    if (mapPage == 0) return false;
    const PageRef m = pager_.page(mapPage);
    if (m->bytes[0] != page_type::kUsageMap)
        throwCorrupt("the free-page map refers to a page that is not a usage-map page", mapPage);
    return bit(m->span().subspan(f.usageMapPageHeader), page % per);
}

std::optional<std::uint32_t> FreePageMap::takeLowest() {
    const Format& f = pager_.format();
    const std::uint32_t count = pager_.pageCount();
    const PageRef p = pager_.page(kFreePageMapPage);
    const MapRow row = locate(*p, f);
    const auto bytes = p->span();
    std::optional<std::uint32_t> found;
    auto scan = [&](std::span<const std::uint8_t> bitmap, std::uint64_t first) {
        for (std::size_t i = 0; i < bitmap.size() && !found; ++i) {
            if (bitmap[i] == 0) continue;
            for (std::uint32_t b = 0; b < 8; ++b) {
                const std::uint64_t page = first + i * 8 + b;
                if (page >= count) return;
                if (page >= kFirstAllocatable && ((bitmap[i] >> b) & 1u)) {
                    found = static_cast<std::uint32_t>(page);
                    return;
                }
            }
        }
    };
    if (bytes[row.start] == kInlineMap) {
        scan(bytes.subspan(row.start + 5, row.end - row.start - 5), load32(bytes, row.start + 1));
    } else {
        const std::uint32_t per = pagesPerBitmapPage(f);
        for (std::size_t slot = 0; 1 + (slot + 1) * 4 <= row.end - row.start && !found; ++slot) {
            const std::uint32_t mapPage = load32(bytes, row.start + 1 + slot * 4);
            if (mapPage == 0) continue;
            if (std::uint64_t{slot} * per >= count) break;
            const PageRef m = pager_.page(mapPage);
            if (m->bytes[0] != page_type::kUsageMap)
                throwCorrupt("the free-page map refers to a page that is not a usage-map page",
                             mapPage);
            scan(m->span().subspan(f.usageMapPageHeader), std::uint64_t{slot} * per);
        }
    }
    if (found) set(*found, false);
    return found;
}

void FreePageMap::markUsed(std::uint32_t page) {
    set(page, false);
}

void FreePageMap::markFree(std::uint32_t page) {
    set(page, true);
}

void FreePageMap::set(std::uint32_t page, bool free) {
    const PageRef p = pager_.page(kFreePageMapPage);
    const MapRow row = locate(*p, pager_.format());
    if (p->bytes[row.start] == kInlineMap)
        setInline(page, free);
    else
        setReference(page, free);
}

void FreePageMap::setInline(std::uint32_t page, bool free) {
    const Format& f = pager_.format();
    PageHandle p = pager_.writablePage(kFreePageMapPage);
    const MapRow row = locate(*p, f);
    const std::uint32_t first = load32(p->span(), row.start + 1);
    const std::uint64_t bits = std::uint64_t{row.end - row.start - 5} * 8;
    if (page >= first && page - first < bits) {
        setBit(p->mutableSpan().subspan(row.start + 5), page - first, free);
        return;
    }
    // Out of range: a page before the map's start stays used; one past its end is covered by
    // growing the map when it becomes used (a page past the end counts as used already).
    if (free || page < first) return;
    growInline(page);
    set(page, false);
}

void FreePageMap::growInline(std::uint32_t page) {
    const Format& f = pager_.format();
    PageHandle p = pager_.writablePage(kFreePageMapPage);
    const MapRow row = locate(*p, f);
    const std::uint32_t first = load32(p->span(), row.start + 1);
    const std::uint32_t oldBits = static_cast<std::uint32_t>((row.end - row.start - 5) * 8);
    std::uint32_t newBits = page - first + 1;
    newBits = (newBits + kInlineGrowthPages - 1) / kInlineGrowthPages * kInlineGrowthPages;
    std::vector<std::uint8_t> newRow(5 + newBits / 8, 0);
    std::copy(p->bytes.begin() + static_cast<std::ptrdiff_t>(row.start),
              p->bytes.begin() + static_cast<std::ptrdiff_t>(row.end), newRow.begin());
    const std::uint32_t count = pager_.pageCount();
    auto bitmap = std::span<std::uint8_t>(newRow).subspan(5);
    for (std::uint32_t i = oldBits; i < newBits; ++i)
        setBit(bitmap, i, std::uint64_t{first} + i >= count);
    if (replaceDataPageRow(p->mutableSpan(), f, kFreePageMapRow, newRow)) return;
    convertToReference();
}

std::uint32_t FreePageMap::newBitmapPage(std::uint32_t rangeIndex) {
    // A range without a bitmap page holds no page of the file yet, except pages appended just
    // now: those below the page count are used, the rest free.
    const Format& f = pager_.format();
    const std::uint32_t per = pagesPerBitmapPage(f);
    PageHandle m = pager_.appendPage();
    m->bytes[0] = page_type::kUsageMap;
    m->bytes[1] = 0x01;
    const std::uint32_t count = pager_.pageCount();
    auto bitmap = m->mutableSpan().subspan(f.usageMapPageHeader);
    const std::uint64_t first = std::uint64_t{rangeIndex} * per;
    for (std::uint32_t i = 0; i < per; ++i)
        setBit(bitmap, i, first + i >= count);
    return m->number;
}

void FreePageMap::setReference(std::uint32_t page, bool free) {
    const Format& f = pager_.format();
    const std::uint32_t per = pagesPerBitmapPage(f);
    const std::uint32_t slot = page / per;
    std::uint32_t mapPage;
    {
        PageHandle p = pager_.writablePage(kFreePageMapPage);
        const MapRow row = locate(*p, f);
        if (1 + (std::size_t{slot} + 1) * 4 > row.end - row.start) {
            if (free) return;
            throw Error(ErrorKind::NotSupported,
                        "The database \"" + pager_.file().name() +
                            "\" has reached the largest size its free-page map can describe.");
        }
        mapPage = load32(p->span(), row.start + 1 + std::size_t{slot} * 4);
    }
    if (mapPage == 0) {
        if (free) return;  // a range without its bitmap page counts as used
        mapPage = newBitmapPage(slot);
        {
            PageHandle p = pager_.writablePage(kFreePageMapPage);
            const MapRow row = locate(*p, f);
            store32(p->mutableSpan(), row.start + 1 + std::size_t{slot} * 4, mapPage);
        }
        // The bitmap page itself may fall in another range.
        if (mapPage / per != slot) set(mapPage, false);
    }
    PageHandle m = pager_.writablePage(mapPage);
    if (m->bytes[0] != page_type::kUsageMap)
        throwCorrupt("the free-page map refers to a page that is not a usage-map page", mapPage);
    setBit(m->mutableSpan().subspan(f.usageMapPageHeader), page % per, free);
}

void FreePageMap::convertToReference() {
    const Format& f = pager_.format();
    // What the inline map says, before its row is replaced.
    std::vector<std::uint8_t> oldRow;
    {
        const PageRef p = pager_.page(kFreePageMapPage);
        const MapRow row = locate(*p, f);
        oldRow.assign(p->bytes.begin() + static_cast<std::ptrdiff_t>(row.start),
                      p->bytes.begin() + static_cast<std::ptrdiff_t>(row.end));
    }
    const std::uint32_t first = load32(oldRow, 1);
    const std::uint64_t oldBits = std::uint64_t{oldRow.size() - 5} * 8;
    auto wasFree = [&](std::uint64_t page) {
        if (page < first || page - first >= oldBits) return false;
        return bit(std::span<const std::uint8_t>(oldRow).subspan(5),
                   static_cast<std::uint32_t>(page - first));
    };

    std::vector<std::uint8_t> newRow(1 + referenceSlots(f) * 4, 0);
    newRow[0] = kReferenceMap;
    {
        PageHandle p = pager_.writablePage(kFreePageMapPage);
        if (!replaceDataPageRow(p->mutableSpan(), f, kFreePageMapRow, newRow))
            throwCorrupt("page 1 has no room for the free-page map", kFreePageMapPage);
    }
    const std::uint32_t per = pagesPerBitmapPage(f);
    for (std::uint32_t slot = 0; std::uint64_t{slot} * per < pager_.pageCount(); ++slot) {
        if (slot >= referenceSlots(f))
            throw Error(ErrorKind::NotSupported,
                        "The database \"" + pager_.file().name() +
                            "\" has reached the largest size its free-page map can describe.");
        {
            const PageRef p = pager_.page(kFreePageMapPage);
            const MapRow row = locate(*p, f);
            if (load32(p->span(), row.start + 1 + std::size_t{slot} * 4) != 0) continue;
        }
        const std::uint32_t mapPage = newBitmapPage(slot);
        {
            PageHandle m = pager_.writablePage(mapPage);
            auto bitmap = m->mutableSpan().subspan(f.usageMapPageHeader);
            const std::uint64_t start = std::uint64_t{slot} * per;
            for (std::uint32_t i = 0; i < per; ++i)
                if (wasFree(start + i) && start + i < mapPage) setBit(bitmap, i, true);
        }
        PageHandle p = pager_.writablePage(kFreePageMapPage);
        const MapRow row = locate(*p, f);
        store32(p->mutableSpan(), row.start + 1 + std::size_t{slot} * 4, mapPage);
    }
    // Bitmap pages appended for later ranges are used in the ranges that hold them: the loop
    // above built those ranges after the pages existed, so their bits are clear already.
}

std::vector<std::uint32_t> FreePageMap::freePages() {
    const Format& f = pager_.format();
    const std::uint32_t count = pager_.pageCount();
    const PageRef p = pager_.page(kFreePageMapPage);
    const MapRow row = locate(*p, f);
    const auto bytes = p->span();
    std::vector<std::uint32_t> out;
    auto collect = [&](std::span<const std::uint8_t> bitmap, std::uint64_t first) {
        for (std::size_t i = 0; i < bitmap.size(); ++i) {
            if (bitmap[i] == 0) continue;
            for (std::uint32_t b = 0; b < 8; ++b) {
                const std::uint64_t page = first + i * 8 + b;
                if (page < count && ((bitmap[i] >> b) & 1u))
                    out.push_back(static_cast<std::uint32_t>(page));
            }
        }
    };
    if (bytes[row.start] == kInlineMap) {
        collect(bytes.subspan(row.start + 5, row.end - row.start - 5),
                load32(bytes, row.start + 1));
        return out;
    }
    const std::uint32_t per = pagesPerBitmapPage(f);
    for (std::size_t slot = 0; 1 + (slot + 1) * 4 <= row.end - row.start; ++slot) {
        const std::uint32_t mapPage = load32(bytes, row.start + 1 + slot * 4);
        if (mapPage == 0) continue;
        const PageRef m = pager_.page(mapPage);
        if (m->bytes[0] != page_type::kUsageMap)
            throwCorrupt("the free-page map refers to a page that is not a usage-map page",
                         mapPage);
        collect(m->span().subspan(f.usageMapPageHeader), std::uint64_t{slot} * per);
    }
    return out;
}

std::vector<std::uint32_t> FreePageMap::bitmapPages() {
    const PageRef p = pager_.page(kFreePageMapPage);
    const MapRow row = locate(*p, pager_.format());
    std::vector<std::uint32_t> out;
    if (p->bytes[row.start] != kReferenceMap) return out;
    for (std::size_t at = row.start + 1; at + 4 <= row.end; at += 4)
        if (const std::uint32_t m = load32(p->span(), at); m != 0) out.push_back(m);
    return out;
}

}  // namespace jet
