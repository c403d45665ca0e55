// The slot table of data pages.
#include "db/jet/table/data_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"

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

// ---- writing ----

namespace jet {

namespace {

// The row area of a page: each row's flags and bytes, in slot order.
struct Rows {
    std::vector<std::uint16_t> flags;
    std::vector<std::vector<std::uint8_t>> bytes;
};

Rows readRows(std::span<const std::uint8_t> page, const Format& format) {
    const ByteReader r(page, "data page");
    const DataPage dp(r, format);
    Rows rows;
    std::uint16_t end = static_cast<std::uint16_t>(page.size());
    for (std::uint16_t i = 0; i < dp.rowCount(); ++i) {
        const std::uint16_t raw =
            r.u16(format.dataRowTableOffset + std::size_t{i} * format.rowSlotSize);
        const std::uint16_t start = raw & kRowOffsetMask;
        const std::size_t slotsEnd =
            format.dataRowTableOffset + std::size_t{dp.rowCount()} * format.rowSlotSize;
        rows.flags.push_back(raw & static_cast<std::uint16_t>(~kRowOffsetMask));
        if (start > end || start < slotsEnd) {
            // A deleted row may keep a stale offset; it has no bytes worth keeping.
            if (raw & kRowDeletedFlag) {
                rows.bytes.emplace_back();
                continue;
            }
            r.fail("a row slot points outside the page's row area",
                   format.dataRowTableOffset + std::size_t{i} * format.rowSlotSize);
        }
        rows.bytes.emplace_back(page.begin() + start, page.begin() + end);
        end = start;
    }
    return rows;
}

// Lays `rows` out from the end of `page`. Returns false, changing nothing, when they do not fit.
bool writeRows(std::span<std::uint8_t> page, const Format& format, const Rows& rows) {
    ByteWriter w(page, "data page");
    std::size_t total = 0;
    for (const auto& b : rows.bytes)
        total += b.size();
    const std::size_t slotsEnd = format.dataRowTableOffset + rows.bytes.size() * format.rowSlotSize;
    if (slotsEnd + total > page.size()) return false;
    std::vector<std::uint8_t> area(total);
    std::size_t end = page.size();
    for (std::size_t i = 0; i < rows.bytes.size(); ++i) {
        const std::size_t start = end - rows.bytes[i].size();
        std::copy(rows.bytes[i].begin(), rows.bytes[i].end(),
                  area.begin() + static_cast<std::ptrdiff_t>(start - (page.size() - total)));
        w.u16(format.dataRowTableOffset + i * format.rowSlotSize,
              static_cast<std::uint16_t>(start | rows.flags[i]));
        end = start;
    }
    w.fill(slotsEnd, page.size() - total - slotsEnd);
    w.bytes(page.size() - total, area);
    w.u16(format.dataRowCountOffset, static_cast<std::uint16_t>(rows.bytes.size()));
    w.u16(format.dataFreeSpaceOffset, static_cast<std::uint16_t>(page.size() - slotsEnd - total));
    return true;
}

}  // namespace

std::size_t dataPageFreeSpace(std::span<const std::uint8_t> page, const Format& format) {
    const Rows rows = readRows(page, format);
    std::size_t total = 0;
    for (const auto& b : rows.bytes)
        total += b.size();
    return page.size() - format.dataRowTableOffset - rows.bytes.size() * format.rowSlotSize - total;
}

bool replaceDataPageRow(std::span<std::uint8_t> page, const Format& format, std::uint16_t row,
                        std::span<const std::uint8_t> bytes) {
    Rows rows = readRows(page, format);
    if (row >= rows.bytes.size())
        throwCorrupt("a replacement of row " + std::to_string(row) + " of a page that has only " +
                     std::to_string(rows.bytes.size()));
    rows.bytes[row].assign(bytes.begin(), bytes.end());
    return writeRows(page, format, rows);
}

void startDataPage(std::span<std::uint8_t> page, const Format& format, std::uint32_t owner) {
    ByteWriter w(page, "data page");
    w.u8(0, page_type::kData);
    w.u8(1, 0x01);
    w.u16(format.dataFreeSpaceOffset,
          static_cast<std::uint16_t>(page.size() - format.dataRowTableOffset));
    w.u32(format.dataOwnerOffset, owner);
}

int appendDataPageRow(std::span<std::uint8_t> page, const Format& format,
                      std::span<const std::uint8_t> bytes) {
    ByteWriter w(page, "data page");
    const ByteReader r = w.reader();
    const std::size_t rows = r.u16(format.dataRowCountOffset);
    if (rows >= format.maxRowsPerDataPage) return -1;
    const std::size_t slotsEnd = format.dataRowTableOffset + (rows + 1) * format.rowSlotSize;
    if (slotsEnd > page.size()) throwCorrupt("the slot table of a data page runs past the page");
    // Rows are packed: the new one ends where the lowest row starts.
    std::size_t end = page.size();
    for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t start =
            r.u16(format.dataRowTableOffset + i * format.rowSlotSize) & kRowOffsetMask;
        if (start >= slotsEnd - format.rowSlotSize && start < end) end = start;
    }
    const std::size_t free = r.u16(format.dataFreeSpaceOffset);
    if (bytes.size() + format.rowSlotSize > free || end < slotsEnd || end - slotsEnd < bytes.size())
        return -1;
    const std::size_t start = end - bytes.size();
    w.bytes(start, bytes);
    w.u16(format.dataRowTableOffset + rows * format.rowSlotSize, static_cast<std::uint16_t>(start));
    w.u16(format.dataRowCountOffset, static_cast<std::uint16_t>(rows + 1));
    w.u16(format.dataFreeSpaceOffset,
          static_cast<std::uint16_t>(free - bytes.size() - format.rowSlotSize));
    return static_cast<int>(rows);
}

void markDataPageRowDeleted(std::span<std::uint8_t> page, const Format& format, std::uint16_t row) {
    ByteWriter w(page, "data page");
    const std::size_t at = format.dataRowTableOffset + std::size_t{row} * format.rowSlotSize;
    w.u16(at, static_cast<std::uint16_t>(w.reader().u16(at) | kRowDeletedFlag | kRowOverflowFlag));
}

}  // namespace jet
