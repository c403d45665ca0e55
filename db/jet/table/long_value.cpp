// Following long-value references and chains.
#include "db/jet/table/long_value.h"

#include <unordered_set>

#include "db/jet/base/error.h"
#include "db/jet/table/data_page.h"

namespace jet {

namespace {

constexpr std::uint8_t kInline = 0x80;
constexpr std::uint8_t kOnePage = 0x40;
constexpr std::uint8_t kChain = 0x00;
constexpr std::size_t kHeaderSize = 12;

}  // namespace

std::vector<std::uint8_t> readLongValue(Pager& pager, const ByteReader& ref) {
    const Format& f = pager.format();
    // The top two bits of the first four bytes give the kind, the other 30 the length.
    const std::uint32_t word = ref.u32(0);
    const std::uint32_t length = word & 0x3FFFFFFFu;
    const auto kind = static_cast<std::uint8_t>((word >> 24) & 0xC0);
    std::vector<std::uint8_t> out;

    if (kind == kInline) {
        if (ref.size() - kHeaderSize < length)
            ref.fail("an inline long value is shorter than its length says", 0);
        const ByteSpan b = ref.bytes(kHeaderSize, length);
        out.assign(b.begin(), b.end());
        return out;
    }
    if (kind != kOnePage && kind != kChain) ref.fail("a long value of unknown kind", 3);
    if (ref.size() != f.longValueDefSize) ref.fail("a long-value reference of the wrong size", 0);
    if (length == 0) return out;
    // A value can never be larger than the file that holds it.
    if (std::uint64_t{length} > std::uint64_t{pager.pageCount()} * f.pageSize)
        ref.fail("a long value longer than the file", 0);

    std::uint32_t location = ref.u32(4);  // row number in the low byte, page above
    std::unordered_set<std::uint32_t> seen;
    out.reserve(length);
    while (true) {
        const std::uint32_t pageNumber = location >> 8;
        const auto rowNumber = static_cast<std::uint16_t>(location & 0xFF);
        if (!seen.insert(location).second)
            throwCorrupt("the pages of a long value form a loop", pageNumber);
        if (pageNumber == 0) throwCorrupt("a long value refers to the header page");
        const PageRef p = pager.page(pageNumber);
        const ByteReader r(p->span(), "long-value page", pageNumber);
        const DataPage dp(r, f);
        if (dp.type() != page_type::kData)
            r.fail("a long value points to a page that holds no rows", 0);
        if (rowNumber >= dp.rowCount())
            r.fail("a long value points to a row the page does not have", 0);
        const RowSlot slot = dp.slot(rowNumber);
        if (slot.deleted) r.fail("a long value points to a deleted row", 0);
        const ByteReader row = r.sub(slot.start, slot.end - slot.start);

        if (kind == kOnePage) {
            if (row.size() < length) row.fail("a long value is shorter than its length says", 0);
            const ByteSpan b = row.bytes(0, length);
            out.assign(b.begin(), b.end());
            return out;
        }
        if (row.size() < 4) row.fail("a part of a long value is too short for its link", 0);
        const std::uint32_t next = row.u32(0);
        const std::size_t want = length - out.size();
        const std::size_t part = row.size() - 4;
        const ByteSpan b = row.bytes(4, part < want ? part : want);
        out.insert(out.end(), b.begin(), b.end());
        if (out.size() == length) return out;
        if (next == 0) row.fail("a long value ends before its length says", 0);
        location = next;
    }
}

}  // namespace jet
