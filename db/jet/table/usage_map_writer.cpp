// Setting and clearing bits of inline and reference usage maps.
#include "db/jet/table/usage_map_writer.h"

#include <algorithm>

#include "db/jet/base/error.h"
#include "db/jet/table/data_page.h"

namespace jet {

namespace {

constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kReferenceMap = 0x01;

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The map's row on its (writable) page.
struct MapRow {
    PageHandle page;
    std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
};

MapRow locate(Pager& pager, std::uint32_t reference) {
    const std::uint32_t pageNumber = reference >> 8;
    const auto row = static_cast<std::uint16_t>(reference & 0xFF);
    if (pageNumber == 0) throwCorrupt("a usage map refers to the header page");
    {
        const PageRef p = pager.page(pageNumber);
        const ByteReader r(p->span(), "usage map", pageNumber);
        const DataPage dp(r, pager.format());
        if (dp.type() != page_type::kData) r.fail("a usage map is not on a data page", 0);
        if (row >= dp.rowCount()) r.fail("a usage map refers to a row the page does not have", 0);
        const RowSlot s = dp.slot(row);
        if (s.deleted || s.end - s.start < 2) r.fail("a usage map's row is empty or deleted", 0);
    }
    MapRow m;
    m.page = pager.writablePage(pageNumber);
    const ByteReader r(m.page->span(), "usage map", pageNumber);
    const DataPage dp(r, pager.format());
    const RowSlot s = dp.slot(row);
    m.bytes = m.page->bytes.data() + s.start;
    m.size = s.end - s.start;
    if (m.bytes[0] != kInlineMap && m.bytes[0] != kReferenceMap)
        r.fail("a usage map of unknown kind", s.start);
    if (m.bytes[0] == kInlineMap && m.size < 5) r.fail("an inline usage map too short", s.start);
    return m;
}

std::uint64_t pagesPerMapPage(const Format& f) {
    return std::uint64_t{f.pageSize - f.usageMapPageHeader} * 8;
}

std::vector<std::uint32_t> inlinePages(const MapRow& m) {
    std::vector<std::uint32_t> out;
    const std::uint32_t first = get32(m.bytes + 1);
    for (std::size_t i = 5; i < m.size; ++i)
        for (int bit = 0; bit < 8; ++bit)
            if (m.bytes[i] & (1u << bit))
                out.push_back(first + static_cast<std::uint32_t>((i - 5) * 8 + bit));
    return out;
}

// The usage-map page `j` of a reference map, made when it does not exist yet.
PageHandle mapPage(Pager& pager, MapRow& m, std::size_t j, bool create) {
    std::uint32_t number = get32(m.bytes + 1 + 4 * j);
    if (number == 0) {
        if (!create) return nullptr;
        PageHandle fresh = pager.allocatePage(page_type::kUsageMap);
        number = fresh->number;
        put32(m.bytes + 1 + 4 * j, number);
        return fresh;
    }
    PageHandle h = pager.writablePage(number);
    if (h->bytes[0] != page_type::kUsageMap)
        throwCorrupt("a reference usage map points to a page that is not a usage-map page", number);
    return h;
}

void setReferenceBit(Pager& pager, MapRow& m, std::uint32_t page, bool on) {
    const Format& f = pager.format();
    const std::uint64_t per = pagesPerMapPage(f);
    const std::size_t j = static_cast<std::size_t>(page / per);
    const std::size_t slots = (m.size - 1) / 4;
    if (j >= slots) {
        if (!on) return;
        throw Error(ErrorKind::NotSupported,
                    "The usage map cannot reach page " + std::to_string(page) + " of the file.");
    }
    PageHandle h = mapPage(pager, m, j, on);
    if (!h) return;
    const std::uint64_t bitIndex = page % per;
    std::uint8_t& byte = h->bytes[f.usageMapPageHeader + static_cast<std::size_t>(bitIndex / 8)];
    const auto mask = static_cast<std::uint8_t>(1u << (bitIndex % 8));
    byte = on ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

// Turns the inline map `m` into a reference map holding `pages`.
void promote(Pager& pager, MapRow& m, const std::vector<std::uint32_t>& pages) {
    std::fill(m.bytes, m.bytes + m.size, 0);
    m.bytes[0] = kReferenceMap;
    for (std::uint32_t p : pages)
        setReferenceBit(pager, m, p, true);
}

}  // namespace

void addToUsageMap(Pager& pager, std::uint32_t reference, std::uint32_t page) {
    MapRow m = locate(pager, reference);
    if (m.bytes[0] == kReferenceMap) {
        setReferenceBit(pager, m, page, true);
        return;
    }
    const std::uint32_t first = get32(m.bytes + 1);
    const std::uint64_t bits = std::uint64_t{m.size - 5} * 8;
    if (page >= first && page - std::uint64_t{first} < bits) {
        const std::uint64_t i = page - first;
        m.bytes[5 + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
        return;
    }
    std::vector<std::uint32_t> pages = inlinePages(m);
    pages.push_back(page);
    const auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
    const std::uint32_t start = *lo - *lo % 8;
    if (std::uint64_t{*hi} - start < bits) {
        std::fill(m.bytes + 1, m.bytes + m.size, 0);
        put32(m.bytes + 1, start);
        for (std::uint32_t p : pages) {
            const std::uint64_t i = p - start;
            m.bytes[5 + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
        }
        return;
    }
    promote(pager, m, pages);
}

void removeFromUsageMap(Pager& pager, std::uint32_t reference, std::uint32_t page) {
    MapRow m = locate(pager, reference);
    if (m.bytes[0] == kReferenceMap) {
        setReferenceBit(pager, m, page, false);
        return;
    }
    const std::uint32_t first = get32(m.bytes + 1);
    const std::uint64_t bits = std::uint64_t{m.size - 5} * 8;
    if (page < first || page - std::uint64_t{first} >= bits) return;
    const std::uint64_t i = page - first;
    m.bytes[5 + i / 8] &= static_cast<std::uint8_t>(~(1u << (i % 8)));
}

void clearUsageMap(Pager& pager, std::uint32_t reference) {
    MapRow m = locate(pager, reference);
    if (m.bytes[0] == kInlineMap) {
        std::fill(m.bytes + 5, m.bytes + m.size, 0);
        return;
    }
    const Format& f = pager.format();
    for (std::size_t j = 0; j < (m.size - 1) / 4; ++j) {
        PageHandle h = mapPage(pager, m, j, false);
        if (h)
            std::fill(h->bytes.begin() + static_cast<std::ptrdiff_t>(f.usageMapPageHeader),
                      h->bytes.end(), 0);
    }
}

std::vector<std::uint32_t> usageMapPages(Pager& pager, std::uint32_t reference) {
    const std::uint32_t pageNumber = reference >> 8;
    const auto row = static_cast<std::uint16_t>(reference & 0xFF);
    const PageRef p = pager.page(pageNumber);
    const ByteReader r(p->span(), "usage map", pageNumber);
    const DataPage dp(r, pager.format());
    if (dp.type() != page_type::kData || row >= dp.rowCount())
        r.fail("a usage map reference leads to no map", 0);
    const ByteReader mapRow = dp.row(row);
    std::vector<std::uint32_t> out;
    if (mapRow.size() == 0 || mapRow.u8(0) != kReferenceMap) return out;
    for (std::size_t j = 0; j + 1 + 4 <= mapRow.size(); j += 4) {
        const std::uint32_t number = mapRow.u32(1 + j);
        if (number != 0) out.push_back(number);
    }
    return out;
}

std::vector<std::uint8_t> emptyInlineMap(const Format& f, std::uint32_t firstPage) {
    std::vector<std::uint8_t> row(f.usageMapInlineHeader + f.usageMapInlineBytes, 0);
    row[0] = kInlineMap;
    put32(row.data() + 1, firstPage);
    return row;
}

}  // namespace jet
