// Inline values, single rows and chains of long values.
#include "db/jet/write/long_value_writer.h"

#include <unordered_set>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/long_value.h"

namespace jet {

namespace {

std::uint32_t location(RowId id) {
    return (id.page << 8) | id.row;
}

}  // namespace

std::vector<std::uint8_t> inlineLongValue(std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> out(kLongValueReferenceSize, 0);
    ByteWriter(out, "long value reference")
        .u32(0, static_cast<std::uint32_t>(data.size()) | kLongValueInline);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<std::uint8_t> writeLongValue(Pager& pager, RowHome& home,
                                         std::span<const std::uint8_t> data) {
    const Format& f = pager.format();
    if (data.size() > kLongValueLengthMask)
        throw Error(ErrorKind::Constraint, "A value of " + std::to_string(data.size()) +
                                               " bytes is longer than Access keeps in a field.");
    std::vector<std::uint8_t> ref(kLongValueReferenceSize, 0);
    ByteWriter refWriter(ref, "long value reference");
    if (data.size() <= f.longValueRowMax) {
        const RowId id = placeRow(pager, home, data);
        refWriter.u32(0, static_cast<std::uint32_t>(data.size()) | kLongValueOnePage);
        refWriter.u32(4, location(id));
        return ref;
    }
    // A chain, written from its last part back, so each part knows where the next one is.
    const std::size_t part = f.longValueRowMax - kLongValueLinkSize;
    const std::size_t parts = (data.size() + part - 1) / part;
    std::uint32_t next = 0;
    std::vector<std::uint8_t> row;
    for (std::size_t k = parts; k-- > 0;) {
        const std::size_t start = k * part;
        const std::size_t size = std::min(part, data.size() - start);
        row.clear();
        ByteBuilder b(row, "long value part");
        b.u32(next);
        b.bytes(data.subspan(start, size));
        next = location(placeRow(pager, home, row));
    }
    refWriter.u32(0, static_cast<std::uint32_t>(data.size()));
    refWriter.u32(4, next);
    return ref;
}

void deleteLongValue(Pager& pager, std::span<const std::uint8_t> reference) {
    if (reference.size() < kLongValueReferenceSize) return;
    const ByteReader r(reference, "long-value reference");
    const std::uint32_t word = r.u32(0);
    if (word & kLongValueInline) return;
    const std::uint32_t length = word & kLongValueLengthMask;
    if (length == 0) return;
    std::uint32_t where = r.u32(4);
    std::unordered_set<std::uint32_t> seen;
    while (where != 0 && seen.insert(where).second) {
        const RowId id{where >> 8, static_cast<std::uint8_t>(where & 0xFF)};
        std::uint32_t next = 0;
        if (!(word & kLongValueOnePage)) {
            const PageRef p = pager.page(id.page);
            const ByteReader pr(p->span(), "long-value page", id.page);
            const DataPage dp(pr, pager.format());
            if (dp.type() != page_type::kData || id.row >= dp.rowCount())
                pr.fail("a long value points to a row that does not exist", 0);
            const RowSlot s = dp.slot(id.row);
            if (std::size_t{s.end} >= std::size_t{s.start} + kLongValueLinkSize)
                next = pr.u32(s.start);
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
