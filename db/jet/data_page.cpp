// The slot table of data pages.
#include "db/jet/data_page.h"

namespace jet {

DataPage::DataPage(const ByteReader& page, const Format& format)
    : page_(page), format_(format), rowCount_(page.u16(format.dataRowCountOffset)) {
    if (!page_.has(format_.dataRowTableOffset, std::size_t{rowCount_} * format_.rowSlotSize))
        page_.fail("the row count does not fit the page", format_.dataRowCountOffset);
}

RowSlot DataPage::slot(std::uint16_t row) const {
    const std::size_t slotOffset =
        format_.dataRowTableOffset + std::size_t{row} * format_.rowSlotSize;
    const std::uint16_t raw = page_.u16(slotOffset);
    RowSlot s;
    s.deleted = (raw & kRowDeletedFlag) != 0;
    s.overflow = (raw & kRowOverflowFlag) != 0;
    s.start = raw & kRowOffsetMask;
    if (row == 0) {
        s.end = static_cast<std::uint16_t>(page_.size());
    } else {
        s.end = page_.u16(slotOffset - format_.rowSlotSize) & kRowOffsetMask;
    }
    if (s.deleted) return s;
    // A row lies between the slot table and the end of the page, and does not run backwards.
    const std::size_t slotsEnd =
        format_.dataRowTableOffset + std::size_t{rowCount_} * format_.rowSlotSize;
    if (s.end > page_.size() || s.start > s.end || s.start < slotsEnd)
        page_.fail("a row slot points outside the page's row area", slotOffset);
    return s;
}

ByteReader DataPage::row(std::uint16_t row) const {
    RowSlot s = slot(row);
    if (s.deleted && (s.end > page_.size() || s.start > s.end)) s.start = s.end = 0;
    return page_.sub(s.start, s.end - s.start);
}

}  // namespace jet
