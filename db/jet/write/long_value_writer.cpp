// Inline values, single rows and chains of long values.
#include "db/jet/write/long_value_writer.h"

#include <unordered_set>

#include "db/jet/base/error.h"
#include "db/jet/table/data_page.h"

namespace jet {

namespace {

constexpr std::uint32_t kInline = 0x80000000u;
constexpr std::uint32_t kOnePage = 0x40000000u;
constexpr std::size_t kReferenceSize = 12;
constexpr std::size_t kLinkSize = 4;
constexpr std::uint32_t kMaxLength = 0x3FFFFFFFu;

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t location(RowId id) {
    return (id.page << 8) | id.row;
}

}  // namespace

std::vector<std::uint8_t> inlineLongValue(std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> out(kReferenceSize, 0);
    put32(out, 0, static_cast<std::uint32_t>(data.size()) | kInline);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<std::uint8_t> writeLongValue(Pager& pager, RowHome& home,
                                         std::span<const std::uint8_t> data) {
    const Format& f = pager.format();
    if (data.size() > kMaxLength)
        throw Error(ErrorKind::Constraint, "A value of " + std::to_string(data.size()) +
                                               " bytes is longer than Access keeps in a field.");
    std::vector<std::uint8_t> ref(kReferenceSize, 0);
    if (data.size() <= f.longValueRowMax) {
        const RowId id = placeRow(pager, home, data);
        put32(ref, 0, static_cast<std::uint32_t>(data.size()) | kOnePage);
        put32(ref, 4, location(id));
        return ref;
    }
    // A chain, written from its last part back, so each part knows where the next one is.
    const std::size_t part = f.longValueRowMax - kLinkSize;
    const std::size_t parts = (data.size() + part - 1) / part;
    std::uint32_t next = 0;
    std::vector<std::uint8_t> row;
    for (std::size_t k = parts; k-- > 0;) {
        const std::size_t start = k * part;
        const std::size_t size = std::min(part, data.size() - start);
        row.assign(kLinkSize, 0);
        put32(row, 0, next);
        row.insert(row.end(), data.begin() + static_cast<std::ptrdiff_t>(start),
                   data.begin() + static_cast<std::ptrdiff_t>(start + size));
        next = location(placeRow(pager, home, row));
    }
    put32(ref, 0, static_cast<std::uint32_t>(data.size()));
    put32(ref, 4, next);
    return ref;
}

void deleteLongValue(Pager& pager, std::span<const std::uint8_t> reference) {
    if (reference.size() < kReferenceSize) return;
    const ByteReader r(reference, "long-value reference");
    const std::uint32_t word = r.u32(0);
    if (word & kInline) return;
    const std::uint32_t length = word & kMaxLength;
    if (length == 0) return;
    std::uint32_t where = r.u32(4);
    std::unordered_set<std::uint32_t> seen;
    while (where != 0 && seen.insert(where).second) {
        const RowId id{where >> 8, static_cast<std::uint8_t>(where & 0xFF)};
        std::uint32_t next = 0;
        if (!(word & kOnePage)) {
            const PageRef p = pager.page(id.page);
            const ByteReader pr(p->span(), "long-value page", id.page);
            const DataPage dp(pr, pager.format());
            if (dp.type() != page_type::kData || id.row >= dp.rowCount())
                pr.fail("a long value points to a row that does not exist", 0);
            const RowSlot s = dp.slot(id.row);
            if (std::size_t{s.end} >= std::size_t{s.start} + kLinkSize) next = pr.u32(s.start);
        }
        deleteRowAt(pager, id);
        where = next;
    }
}

RowHome longValueHome(const TableDef& table, const ColumnDef& column) {
    RowHome home;
    home.owner = kLongValueOwner;
    if (column.ownedPagesRef != 0) {
        home.ownedPagesRef = column.ownedPagesRef;
        home.freePagesRef = column.freePagesRef;
    } else {
        home.ownedPagesRef = table.ownedPagesRef;
        home.freePagesRef = 0;
    }
    return home;
}

}  // namespace jet
