// Reading and changing the free-page map on page 1, inline or by reference.
#include "db/jet/table/free_pages.h"

#include <string>
#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/usage_map.h"

namespace jet {

namespace {

constexpr std::uint32_t kFirstAllocatable = 3;  // pages 0-2: header, this map, the catalogue
// Inline maps grow by this many pages at a time.
constexpr std::uint32_t kInlineGrowthPages = 256;

const UsageMapRow::Kind kFreeMap = {
    "free-page map",
    "page 1 is not a data page",
    "page 1 holds no free-page map",
    "the free-page map row is too short",
    "the free-page map is of an unknown kind",
    "the free-page map row is too short",
    "the free-page map refers to a page that is not a usage-map page",
    5,
};

UsageMapRow readMap(Pager& pager) {
    return UsageMapRow::read(pager, kFreePageMapPage, kFreePageMapRow, kFreeMap);
}
UsageMapRow writeMap(Pager& pager) {
    return UsageMapRow::write(pager, kFreePageMapPage, kFreePageMapRow, kFreeMap);
}

// Bitmap page pointers in a reference map row, as Access sizes the row.
std::size_t referenceSlots(const Format& f) {
    return (f.usageMapInlineBytes + 4) / 4;
}

[[noreturn]] void fileTooLarge(Pager& pager) {
    throw Error(ErrorKind::NotSupported,
                "The database \"" + pager.file().name() +
                    "\" has reached the largest size its free-page map can describe.");
}

}  // namespace

bool FreePageMap::isFree(std::uint32_t page) {
    if (page < kFirstAllocatable || page >= pager_.pageCount()) return false;
    const UsageMapRow map = readMap(pager_);
    if (map.isInline()) return map.inWindow(page) && map.test(page);
    const std::uint32_t per = UsageMapRow::pagesPerBitmapPage(pager_.format());
    const std::size_t slot = page / per;
    if (slot >= map.slots()) return false;
    const std::uint32_t bitmapPage = map.bitmapPage(slot);
    if (bitmapPage == 0) return false;
    PageRef keep;
    return testUsageBit(map.readBitmap(pager_, bitmapPage, keep), page % per);
}

std::optional<std::uint32_t> FreePageMap::takeLowest(
    const std::function<bool(std::uint32_t)>& skip) {
    const std::uint32_t count = pager_.pageCount();
    std::optional<std::uint32_t> found;
    auto scan = [&](std::uint64_t page) {
        if (page >= count) return false;
        if (page < kFirstAllocatable) return true;
        if (skip && skip(static_cast<std::uint32_t>(page))) return true;
        found = static_cast<std::uint32_t>(page);
        return false;
    };
    {
        const UsageMapRow map = readMap(pager_);
        if (map.isInline()) {
            forEachUsageBit(map.bytes().subspan(kInlineUsageMapHeader), map.firstPage(), scan);
        } else {
            const std::uint32_t per = UsageMapRow::pagesPerBitmapPage(pager_.format());
            for (std::size_t slot = 0; slot < map.slots() && !found; ++slot) {
                if (std::uint64_t{slot} * per >= count) break;
                const std::uint32_t bitmapPage = map.bitmapPage(slot);
                if (bitmapPage == 0) continue;
                PageRef keep;
                forEachUsageBit(map.readBitmap(pager_, bitmapPage, keep), std::uint64_t{slot} * per,
                                scan);
            }
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
    if (readMap(pager_).isInline())
        setInline(page, free);
    else
        setReference(page, free);
}

void FreePageMap::setInline(std::uint32_t page, bool free) {
    {
        UsageMapRow map = writeMap(pager_);
        if (map.inWindow(page)) {
            map.set(page, free);
            return;
        }
        // Out of range: a page before the map's start stays used; one past its end is covered
        // by growing the map when it becomes used (a page past the end counts as used already).
        if (free || page < map.firstPage()) return;
    }
    growInline(page);
    set(page, false);
}

void FreePageMap::growInline(std::uint32_t page) {
    const Format& f = pager_.format();
    std::vector<std::uint8_t> newRow;
    {
        const UsageMapRow map = writeMap(pager_);
        const std::uint32_t first = map.firstPage();
        const auto oldBits = static_cast<std::uint32_t>(map.windowPages());
        std::uint32_t newBits = page - first + 1;
        newBits = (newBits + kInlineGrowthPages - 1) / kInlineGrowthPages * kInlineGrowthPages;
        newRow.assign(kInlineUsageMapHeader + newBits / 8, 0);
        ByteWriter(newRow, "free-page map").bytes(0, map.bytes());
        const std::uint32_t count = pager_.pageCount();
        auto bitmap = std::span<std::uint8_t>(newRow).subspan(kInlineUsageMapHeader);
        for (std::uint32_t i = oldBits; i < newBits; ++i)
            setUsageBit(bitmap, i, std::uint64_t{first} + i >= count);
    }
    PageHandle p = pager_.writablePage(kFreePageMapPage);
    if (replaceDataPageRow(p->mutableSpan(), f, kFreePageMapRow, newRow)) return;
    convertToReference();
}

std::uint32_t FreePageMap::newBitmapPage(std::uint32_t rangeIndex) {
    // A range without a bitmap page holds no page of the file yet, except pages appended just
    // now: those below the page count are used, the rest free.
    const Format& f = pager_.format();
    const std::uint32_t per = UsageMapRow::pagesPerBitmapPage(f);
    PageHandle m = pager_.appendPage();
    ByteWriter w(m->mutableSpan(), "usage map page", m->number);
    w.u8(0, page_type::kUsageMap);
    w.u8(1, 0x01);
    const std::uint32_t count = pager_.pageCount();
    auto bitmap = m->mutableSpan().subspan(f.usageMapPageHeader);
    const std::uint64_t first = std::uint64_t{rangeIndex} * per;
    for (std::uint32_t i = 0; i < per; ++i)
        setUsageBit(bitmap, i, first + i >= count);
    return m->number;
}

void FreePageMap::setReference(std::uint32_t page, bool free) {
    const std::uint32_t per = UsageMapRow::pagesPerBitmapPage(pager_.format());
    const std::uint32_t slot = page / per;
    std::uint32_t bitmapPage;
    {
        const UsageMapRow map = writeMap(pager_);
        if (slot >= map.slots()) {
            if (free) return;
            fileTooLarge(pager_);
        }
        bitmapPage = map.bitmapPage(slot);
    }
    if (bitmapPage == 0) {
        if (free) return;  // a range without its bitmap page counts as used
        bitmapPage = newBitmapPage(slot);
        writeMap(pager_).setBitmapPage(slot, bitmapPage);
        // The bitmap page itself may fall in another range.
        if (bitmapPage / per != slot) set(bitmapPage, false);
    }
    PageHandle keep;
    setUsageBit(readMap(pager_).writeBitmap(pager_, bitmapPage, keep), page % per, free);
}

void FreePageMap::convertToReference() {
    const Format& f = pager_.format();
    // What the inline map says, before its row is replaced.
    std::vector<std::uint8_t> oldRow;
    std::uint32_t first = 0;
    std::uint64_t oldBits = 0;
    {
        const UsageMapRow map = readMap(pager_);
        oldRow.assign(map.bytes().begin(), map.bytes().end());
        first = map.firstPage();
        oldBits = map.windowPages();
    }
    const ByteSpan oldBitmap = ByteSpan(oldRow).subspan(kInlineUsageMapHeader);
    auto wasFree = [&](std::uint64_t page) {
        if (page < first || page - first >= oldBits) return false;
        return testUsageBit(oldBitmap, page - first);
    };

    std::vector<std::uint8_t> newRow(1 + referenceSlots(f) * 4, 0);
    newRow[0] = kReferenceUsageMap;
    {
        PageHandle p = pager_.writablePage(kFreePageMapPage);
        if (!replaceDataPageRow(p->mutableSpan(), f, kFreePageMapRow, newRow))
            throwCorrupt("page 1 has no room for the free-page map", kFreePageMapPage);
    }
    const std::uint32_t per = UsageMapRow::pagesPerBitmapPage(f);
    for (std::uint32_t slot = 0; std::uint64_t{slot} * per < pager_.pageCount(); ++slot) {
        if (slot >= referenceSlots(f)) fileTooLarge(pager_);
        if (readMap(pager_).bitmapPage(slot) != 0) continue;
        const std::uint32_t bitmapPage = newBitmapPage(slot);
        {
            PageHandle m = pager_.writablePage(bitmapPage);
            auto bitmap = m->mutableSpan().subspan(f.usageMapPageHeader);
            const std::uint64_t start = std::uint64_t{slot} * per;
            for (std::uint32_t i = 0; i < per; ++i)
                if (wasFree(start + i) && start + i < bitmapPage) setUsageBit(bitmap, i, true);
        }
        writeMap(pager_).setBitmapPage(slot, bitmapPage);
    }
    // Bitmap pages appended for later ranges are used in the ranges that hold them: the loop
    // above built those ranges after the pages existed, so their bits are clear already.
}

std::vector<std::uint32_t> FreePageMap::freePages() {
    const std::uint32_t count = pager_.pageCount();
    const UsageMapRow map = readMap(pager_);
    std::vector<std::uint32_t> out;
    auto collect = [&](std::uint64_t page) {
        if (page < count) out.push_back(static_cast<std::uint32_t>(page));
        return true;
    };
    if (map.isInline()) {
        forEachUsageBit(map.bytes().subspan(kInlineUsageMapHeader), map.firstPage(), collect);
        return out;
    }
    const std::uint32_t per = UsageMapRow::pagesPerBitmapPage(pager_.format());
    for (std::size_t slot = 0; slot < map.slots(); ++slot) {
        const std::uint32_t bitmapPage = map.bitmapPage(slot);
        if (bitmapPage == 0) continue;
        PageRef keep;
        forEachUsageBit(map.readBitmap(pager_, bitmapPage, keep), std::uint64_t{slot} * per,
                        collect);
    }
    return out;
}

std::vector<std::uint32_t> FreePageMap::bitmapPages() {
    const UsageMapRow map = readMap(pager_);
    std::vector<std::uint32_t> out;
    if (map.isInline()) return out;
    for (std::size_t slot = 0; slot < map.slots(); ++slot)
        if (const std::uint32_t m = map.bitmapPage(slot); m != 0) out.push_back(m);
    return out;
}

}  // namespace jet
