// Decoding the counts, null mask and variable-offset table of rows.
#include "db/jet/table/row_codec.h"

namespace jet {

RowView::RowView(const ByteReader& row, const Format& format, bool hasVarColumns)
    : row_(row), format_(format) {
    const std::size_t size = row.size();
    columnCount_ = format.rowColumnCountSize == 1 ? row.u8(0) : row.u16(0);
    dataStart_ = format.rowColumnCountSize;
    const std::size_t maskSize = (std::size_t{columnCount_} + 7) / 8;
    if (size < dataStart_ + maskSize) row.fail("the null mask does not fit the row", 0);
    nullMaskStart_ = size - maskSize;
    dataLimit_ = nullMaskStart_;
    if (!hasVarColumns) return;

    if (format.rowVarOffsetSize == 2) {
        if (nullMaskStart_ < dataStart_ + 2)
            row.fail("the variable-column count does not fit the row", 0);
        varCount_ = row.u16(nullMaskStart_ - 2);
        // Entry i of the offset table sits at top - 2i; entry varCount_ ends the last value.
        const std::size_t tableBytes = (std::size_t{varCount_} + 1) * 2;
        if (nullMaskStart_ < dataStart_ + 2 + tableBytes)
            row.fail("the variable-offset table does not fit the row", nullMaskStart_ - 2);
        varTableTop_ = nullMaskStart_ - 4;
        dataLimit_ = nullMaskStart_ - 2 - tableBytes;
        return;
    }

    // Jet 3: one-byte offsets, and a jump table for rows longer than 256 bytes.
    if (nullMaskStart_ < dataStart_ + 1)
        row.fail("the variable-column count does not fit the row", 0);
    varCount_ = row.u8(nullMaskStart_ - 1);
    std::size_t jumps = (size - 1) / 256;
    const std::size_t tableBytes = std::size_t{varCount_} + 1;
    if (nullMaskStart_ < dataStart_ + 1 + jumps + tableBytes)
        row.fail("the variable-offset table does not fit the row", nullMaskStart_ - 1);
    const std::size_t jumpTop = nullMaskStart_ - 2;            // jump entry 0
    const std::size_t offsetTop = nullMaskStart_ - 2 - jumps;  // offset entry 0
    dataLimit_ = offsetTop + 1 - tableBytes;
    // The jump table is sized by the row's length; when the offsets end below the last
    // 256-byte boundary its last entry is an unused placeholder.
    if (jumps > 0 && (offsetTop - varCount_) / 256 < jumps) --jumps;
    std::size_t used = 0;
    for (std::size_t i = 0; i <= varCount_; ++i) {
        while (used < jumps && row.u8(jumpTop - used) == i)
            ++used;
        jet3Offsets_[i] = static_cast<std::uint16_t>(row.u8(offsetTop - i) + 256 * used);
    }
}

ByteSpan RowView::fixedBytes(const ColumnDef& c, std::size_t size) const {
    const std::size_t start = dataStart_ + c.fixedOffset;
    if (start + size > dataLimit_)
        row_.fail("a fixed-length value runs past the row's data", start);
    return row_.span().subspan(start, size);
}

ByteSpan RowView::varBytes(const ColumnDef& c, bool& present) const {
    if (c.varIndex >= varCount_) {
        present = false;
        return {};
    }
    present = true;
    std::size_t start, end;
    if (format_.rowVarOffsetSize == 2) {
        start = row_.u16(varTableTop_ - 2 * std::size_t{c.varIndex});
        end = row_.u16(varTableTop_ - 2 * (std::size_t{c.varIndex} + 1));
    } else {
        start = jet3Offsets_[c.varIndex];
        end = jet3Offsets_[c.varIndex + 1];
    }
    if (start < dataStart_ || start > end || end > dataLimit_)
        row_.fail("a variable-length value lies outside the row's data", start);
    return row_.span().subspan(start, end - start);
}

}  // namespace jet
