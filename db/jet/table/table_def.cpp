// Joining the pages of a table definition and decoding it.
#include "db/jet/table/table_def.h"

#include <algorithm>
#include <unordered_set>

#include "db/jet/base/byte_reader.h"
#include "db/jet/base/error.h"

namespace jet {

namespace {

constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr int kIndexColumnSlots = 10;
constexpr std::size_t kContinuationHeader = 8;  // bytes of a later definition page skipped

// Reads the chain of definition pages into one buffer.
std::vector<std::uint8_t> joinPages(Pager& pager, std::uint32_t first,
                                    std::vector<std::uint32_t>& pages) {
    const Format& f = pager.format();
    std::vector<std::uint8_t> buffer;
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t current = first;
    while (current != 0) {
        if (!seen.insert(current).second)
            throwCorrupt("the pages of a table definition form a loop", current);
        const PageRef p = pager.page(current);
        const ByteReader r(p->span(), "table definition", current);
        if (r.u8(0) != page_type::kTableDef)
            r.fail(current == first ? "the page is not a table definition"
                                    : "a continuation of a table definition is not one",
                   0);
        if (buffer.empty())
            buffer.assign(p->bytes.begin(), p->bytes.end());
        else
            buffer.insert(buffer.end(), p->bytes.begin() + kContinuationHeader, p->bytes.end());
        pages.push_back(current);
        current = r.u32(f.tdefNextPageOffset);
    }
    return buffer;
}

class NameReader {
  public:
    NameReader(const ByteReader& r, const Format& f, const CodePage& cp) : r_(r), f_(f), cp_(cp) {}
    std::string read(std::size_t& pos) const {
        const std::size_t len = f_.nameLengthSize == 1 ? r_.u8(pos) : r_.u16(pos);
        pos += f_.nameLengthSize;
        const ByteSpan bytes = r_.bytes(pos, len);
        pos += len;
        if (f_.unicodeText) {
            std::string s;
            appendUtf16le(s, bytes);
            return s;
        }
        return cp_.decode(bytes);
    }

  private:
    const ByteReader& r_;
    const Format& f_;
    const CodePage& cp_;
};

}  // namespace

const ColumnDef* TableDef::column(std::string_view name) const {
    for (const auto& c : columns)
        if (asciiEqualNoCase(c.name, name)) return &c;
    return nullptr;
}

TableDef readTableDef(Pager& pager, std::uint32_t page, const CodePage& codePage) {
    const Format& f = pager.format();
    TableDef t;
    t.page = page;
    const std::vector<std::uint8_t> buffer = joinPages(pager, page, t.pages);
    const ByteReader r(buffer, "table definition", page);
    const NameReader names(r, f, codePage);

    t.rowCount = r.u32(f.tdefRowCountOffset);
    t.autoNumber = r.u32(f.tdefAutoNumberOffset);
    if (f.tdefComplexAutoNumberOffset >= 0)
        t.complexAutoNumber = r.u32(static_cast<std::size_t>(f.tdefComplexAutoNumberOffset));
    t.tableKind = r.u8(f.tdefTableTypeOffset);
    t.maxColumns = r.u16(f.tdefMaxColumnsOffset);
    t.varColumns = r.u16(f.tdefVarColumnsOffset);
    const std::uint16_t columnCount = r.u16(f.tdefColumnCountOffset);
    const std::uint32_t logicalCount = r.u32(f.tdefLogicalIndexCountOffset);
    const std::uint32_t indexCount = r.u32(f.tdefIndexCountOffset);
    t.ownedPagesRef = r.u32(f.tdefOwnedPagesOffset);
    t.freePagesRef = r.u32(f.tdefFreePagesOffset);

    if (columnCount > t.maxColumns)
        r.fail("the table has more columns than rows may carry", f.tdefColumnCountOffset);
    // Counts are checked against the room they need before anything is allocated for them.
    std::size_t pos = f.tdefIndexBlockOffset;
    if (!r.has(pos, std::size_t{indexCount} * f.tdefIndexCountEntrySize))
        r.fail("the index count does not fit the table definition", f.tdefIndexCountOffset);
    t.indexes.resize(indexCount);
    for (std::uint32_t i = 0; i < indexCount; ++i)
        t.indexes[i].rowCount = r.u32(pos + i * f.tdefIndexCountEntrySize + 4);
    pos += std::size_t{indexCount} * f.tdefIndexCountEntrySize;

    if (!r.has(pos, std::size_t{columnCount} * f.columnDescriptorSize))
        r.fail("the column count does not fit the table definition", f.tdefColumnCountOffset);
    t.columns.resize(columnCount);
    for (std::uint16_t i = 0; i < columnCount; ++i) {
        const ByteReader d =
            r.sub(pos + std::size_t{i} * f.columnDescriptorSize, f.columnDescriptorSize);
        ColumnDef& c = t.columns[i];
        c.typeCode = d.u8(f.colTypeOffset);
        c.type = columnTypeFromCode(c.typeCode);
        c.number = d.u16(f.colNumberOffset);
        c.varIndex = d.u16(f.colVarIndexOffset);
        c.index = d.u16(f.colIndexOffset);
        c.sortOrder = d.u16(f.colSortOrderOffset);
        if (f.sortOrderLength == 4) c.sortOrderVersion = d.u8(f.colSortOrderOffset + 3);
        if (f.colCodePageOffset >= 0)
            c.codePage = d.u16(static_cast<std::size_t>(f.colCodePageOffset));
        c.precision = d.u8(f.colPrecisionOffset);
        c.scale = d.u8(f.colScaleOffset);
        if (f.colComplexIdOffset >= 0)
            c.complexId = d.u32(static_cast<std::size_t>(f.colComplexIdOffset));
        c.flags = d.u8(f.colFlagsOffset);
        if (f.colExtFlagsOffset >= 0)
            c.extFlags = d.u8(static_cast<std::size_t>(f.colExtFlagsOffset));
        c.fixedOffset = d.u16(f.colFixedOffsetOffset);
        c.length = d.u16(f.colLengthOffset);
        if (c.number >= t.maxColumns)
            d.fail("a column number is beyond the columns rows may carry", f.colNumberOffset);
    }
    pos += std::size_t{columnCount} * f.columnDescriptorSize;
    for (auto& c : t.columns)
        c.name = names.read(pos);

    for (auto& index : t.indexes) {
        const ByteReader b = r.sub(pos, f.indexColumnBlockSize);
        std::size_t p = f.indexColumnBlockSkip;
        for (int k = 0; k < kIndexColumnSlots; ++k, p += 3) {
            const std::uint16_t number = b.u16(p);
            if (number == kNoColumn) continue;
            index.columns.push_back({number, (b.u8(p + 2) & 0x01) != 0});
        }
        index.usageMapRef = b.u32(p);
        index.firstPage = b.u32(p + 4);
        index.flags = b.u8(p + 8 + f.indexColumnBlockSkip);
        pos += f.indexColumnBlockSize;
    }

    if (!r.has(pos, std::size_t{logicalCount} * f.logicalIndexSize))
        r.fail("the logical index count does not fit the table definition",
               f.tdefLogicalIndexCountOffset);
    t.logicalIndexes.resize(logicalCount);
    for (auto& li : t.logicalIndexes) {
        const ByteReader b = r.sub(pos, f.logicalIndexSize);
        std::size_t p = f.logicalIndexSkip;
        li.number = b.u32(p);
        li.physicalIndex = b.u32(p + 4);
        li.relatedTableKind = b.u8(p + 8);
        li.relatedIndex = b.i32(p + 9);
        li.relatedTablePage = b.u32(p + 13);
        li.cascadeUpdates = b.u8(p + 17);
        li.cascadeDeletes = b.u8(p + 18);
        li.kind = b.u8(p + 19);
        if (li.physicalIndex >= t.indexes.size() && !t.indexes.empty())
            b.fail("a logical index refers to a physical index that does not exist", p + 4);
        pos += f.logicalIndexSize;
    }
    for (auto& li : t.logicalIndexes)
        li.name = names.read(pos);

    // Usage maps of long-value columns, until the end marker. Access does not always write them,
    // and a table definition may end without the marker.
    while (r.has(pos, 2)) {
        const std::uint16_t number = r.u16(pos);
        if (number == kNoColumn || !r.has(pos, 10)) break;
        for (auto& c : t.columns)
            if (c.number == number) {
                c.ownedPagesRef = r.u32(pos + 2);
                c.freePagesRef = r.u32(pos + 6);
            }
        pos += 10;
    }

    std::stable_sort(t.columns.begin(), t.columns.end(),
                     [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
    return t;
}

}  // namespace jet
