// Following long-value references and chains.
#include "db/jet/table/long_value.h"

#include <array>
#include <unordered_set>

#include "db/jet/base/error.h"
#include "db/jet/table/data_page.h"

namespace jet {

namespace {

constexpr std::size_t kHeaderSize = kLongValueReferenceSize;

// The rows of a chain seen so far, to tell a loop: a short list for the usual chain of a few
// rows, a set once it grows long.
class SeenRows {
  public:
    // False when `location` was seen before.
    bool insert(std::uint32_t location) {
        if (!set_.empty()) return set_.insert(location).second;
        for (std::size_t i = 0; i < count_; ++i)
            if (few_[i] == location) return false;
        if (count_ < few_.size()) {
            few_[count_++] = location;
            return true;
        }
        set_.insert(few_.begin(), few_.end());
        return set_.insert(location).second;
    }

  private:
    std::array<std::uint32_t, 32> few_{};
    std::size_t count_ = 0;
    std::unordered_set<std::uint32_t> set_;
};

}  // namespace

std::vector<std::uint8_t> readLongValue(Pager& pager, const ByteReader& ref) {
    std::vector<std::uint8_t> out;
    readLongValue(pager, ref, out);
    return out;
}

void readLongValue(Pager& pager, const ByteReader& ref, std::vector<std::uint8_t>& out) {
    const Format& f = pager.format();
    // The top two bits of the first four bytes give the kind, the other 30 the length.
    const std::uint32_t word = ref.u32(0);
    const std::uint32_t length = word & kLongValueLengthMask;
    const std::uint32_t kind = word & kLongValueKindMask;
    out.clear();

    if (kind == kLongValueInline) {
        if (ref.size() - kHeaderSize < length)
            ref.fail("an inline long value is shorter than its length says", 0);
        const ByteSpan b = ref.bytes(kHeaderSize, length);
        out.assign(b.begin(), b.end());
        return;
    }
    if (kind != kLongValueOnePage && kind != kLongValueChain)
        ref.fail("a long value of unknown kind", 3);
    if (ref.size() != f.longValueDefSize) ref.fail("a long-value reference of the wrong size", 0);
    if (length == 0) return;
    // A value can never be larger than the file that holds it.
    if (std::uint64_t{length} > std::uint64_t{pager.pageCount()} * f.pageSize)
        ref.fail("a long value longer than the file", 0);

    std::uint32_t location = ref.u32(4);  // row number in the low byte, page above
    SeenRows seen;
    out.reserve(length);
    while (true) {
        const std::uint32_t pageNumber = location >> 8;
        const auto rowNumber = static_cast<std::uint16_t>(location & 0xFF);
        if (!seen.insert(location))
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

        if (kind == kLongValueOnePage) {
            if (row.size() < length) row.fail("a long value is shorter than its length says", 0);
            const ByteSpan b = row.bytes(0, length);
            out.assign(b.begin(), b.end());
            return;
        }
        if (row.size() < kLongValueLinkSize)
            row.fail("a part of a long value is too short for its link", 0);
        const std::uint32_t next = row.u32(0);
        const std::size_t want = length - out.size();
        const std::size_t part = row.size() - kLongValueLinkSize;
        const ByteSpan b = row.bytes(kLongValueLinkSize, part < want ? part : want);
        out.insert(out.end(), b.begin(), b.end());
        if (out.size() == length) return;
        if (next == 0) row.fail("a long value ends before its length says", 0);
        location = next;
    }
}

}  // namespace jet
