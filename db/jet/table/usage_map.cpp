// Reading inline and reference usage maps.
#include "db/jet/table/usage_map.h"

#include <algorithm>
#include <string>

#include "db/jet/table/data_page.h"

namespace jet {

namespace {

constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kReferenceMap = 0x01;

// Adds the pages of `bitmap` (bit i: page first + i). A page the file does not have means the
// file lost its end.
void collect(ByteSpan bitmap, std::uint64_t first, std::uint32_t pageCount,
             std::vector<std::uint32_t>& out) {
    for (std::size_t i = 0; i < bitmap.size(); ++i) {
        const std::uint8_t b = bitmap[i];
        if (b == 0) continue;
        for (int bit = 0; bit < 8; ++bit) {
            if (!(b & (1u << bit))) continue;
            const std::uint64_t page = first + i * 8 + static_cast<unsigned>(bit);
            if (page >= pageCount)
                throwCorrupt("a usage map lists page " + std::to_string(page) +
                             ", but the file has only " + std::to_string(pageCount) + " pages");
            out.push_back(static_cast<std::uint32_t>(page));
        }
    }
}

}  // namespace

bool UsageMap::contains(std::uint32_t page) const {
    return std::binary_search(pages_.begin(), pages_.end(), page);
}

std::unique_ptr<UsageMap> UsageMap::read(Pager& pager, std::uint32_t page, std::uint8_t row) {
    if (page == 0) throwCorrupt("a usage map refers to the header page", page);
    const PageRef p = pager.page(page);
    const ByteReader r(p->span(), "usage map", page);
    const DataPage dp(r, pager.format());
    if (dp.type() != page_type::kData) r.fail("a usage map is not on a data page", 0);
    if (row >= dp.rowCount()) r.fail("a usage map refers to a row the page does not have", 0);
    const ByteReader mapRow = dp.row(row);
    switch (mapRow.u8(0)) {
        case kInlineMap:
            return std::make_unique<InlineUsageMap>(mapRow, pager.pageCount());
        case kReferenceMap:
            return std::make_unique<ReferenceUsageMap>(pager, mapRow);
        default:
            mapRow.fail("a usage map of unknown kind", 0);
    }
}

InlineUsageMap::InlineUsageMap(const ByteReader& row, std::uint32_t pageCount) {
    const std::uint32_t first = row.u32(1);
    collect(row.bytes(5, row.size() - 5), first, pageCount, pages_);
}

ReferenceUsageMap::ReferenceUsageMap(Pager& pager, const ByteReader& row) {
    const Format& f = pager.format();
    const std::uint64_t pagesPerMapPage = std::uint64_t{f.pageSize - f.usageMapPageHeader} * 8;
    const std::size_t references = (row.size() - 1) / 4;
    for (std::size_t j = 0; j < references; ++j) {
        const std::uint32_t mapPage = row.u32(1 + j * 4);
        if (mapPage == 0) continue;
        const PageRef p = pager.page(mapPage);
        const ByteReader r(p->span(), "usage map page", mapPage);
        if (r.u8(0) != page_type::kUsageMap)
            r.fail("a reference usage map points to a page that is not a usage-map page", 0);
        collect(r.bytes(f.usageMapPageHeader, f.pageSize - f.usageMapPageHeader),
                j * pagesPerMapPage, pager.pageCount(), pages_);
    }
    std::sort(pages_.begin(), pages_.end());
    pages_.erase(std::unique(pages_.begin(), pages_.end()), pages_.end());
}

}  // namespace jet
