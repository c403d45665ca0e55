// Laying out and encoding new table definitions.
#include "db/jet/write/table_def_writer.h"

#include <stdexcept>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/catalog/names.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/write/row_encoder.h"

namespace jet {

namespace {

constexpr std::uint32_t kDefinitionMarker = 0x0659;  // offset 12, and before columns and indexes
constexpr std::uint32_t kIndexMarker = 0x0783;       // before a physical index's columns
constexpr std::uint8_t kAutoNumberFlag = 0x01;
constexpr std::uint8_t kAscending = 0x01;
constexpr std::uint8_t kNoForeignKeyFlags = 0x04;
constexpr std::uint8_t kPrimaryKeyKind = 0x01;
constexpr std::size_t kIndexColumnSlots = 10;
constexpr std::uint16_t kEndOfLongValueMaps = 0xFFFF;

// The definition as it is built, with the names as Access stores them.
struct BufferBytes {
    std::vector<std::uint8_t> bytes_;
};
class Buffer : private BufferBytes, public ByteBuilder {
  public:
    Buffer() : ByteBuilder(bytes_, "table definition") {}
    void name(const Format& f, const std::string& utf8, const char* what) {
        const std::vector<std::uint8_t> enc = encodeUtf16le(utf8);
        if (enc.size() / 2 > kMaxNameLength)
            throw Error(ErrorKind::NotSupported, std::string("The ") + what + " name '" + utf8 +
                                                     "' is longer than the 64 characters Access "
                                                     "allows.");
        if (f.nameLengthSize == 1)
            u8(static_cast<std::uint8_t>(enc.size()));
        else
            u16(static_cast<std::uint16_t>(enc.size()));
        ByteBuilder::bytes(enc);
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }
};

bool isText(ColumnType t) {
    return t == ColumnType::Text || t == ColumnType::Memo;
}

}  // namespace

std::vector<ColumnDef> layoutColumns(const std::vector<ColumnPlan>& plans, SortOrder sortOrder) {
    std::vector<ColumnDef> out;
    std::uint16_t fixedOffset = 0, varIndex = 0;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const ColumnPlan& p = plans[i];
        ColumnDef c;
        c.name = p.name;
        c.type = p.type;
        c.typeCode = static_cast<std::uint8_t>(p.type);
        c.number = static_cast<std::uint16_t>(i);
        c.index = static_cast<std::uint16_t>(i);
        c.sortOrder = sortOrder.language;
        if (isText(p.type)) c.sortOrderVersion = sortOrder.version;
        c.precision = p.type == ColumnType::Decimal ? p.precision : 0;
        c.scale = p.type == ColumnType::Decimal ? p.scale : 0;
        // Every column Access creates is marked updatable (0x02).
        c.flags = column_flag::kNullable;
        if (p.autoNumber) c.flags |= column_flag::kAutoNumber;
        if (p.hyperlink) c.flags |= column_flag::kHyperlink;
        if (p.compressed && isText(p.type)) c.extFlags |= column_ext_flag::kCompressedUnicode;
        switch (p.type) {
            case ColumnType::Text:
                c.length = static_cast<std::uint16_t>(p.size * 2);
                break;
            case ColumnType::Binary:
                c.length = p.size;
                break;
            case ColumnType::Memo:
            case ColumnType::Ole:
                c.length = 0;
                break;
            case ColumnType::Boolean:
                c.length = 1;
                break;
            default:
                c.length = fixedSizeOf(p.type);
        }
        const bool fixed =
            (fixedSizeOf(p.type) != 0 || p.type == ColumnType::Boolean ||
             (p.fixedLength && (p.type == ColumnType::Text || p.type == ColumnType::Binary)));
        if (fixed) {
            c.flags |= column_flag::kFixed;
            c.varIndex = varIndex;
            if (p.type != ColumnType::Boolean) {
                c.fixedOffset = fixedOffset;
                fixedOffset = static_cast<std::uint16_t>(fixedOffset + fixedFieldSize(c));
            }
        } else {
            c.varIndex = varIndex++;
        }
        out.push_back(std::move(c));
    }
    return out;
}

std::vector<std::uint8_t> encodeTableDef(const Format& f, const NewTableDef& def) {
    if (def.columns.size() > f.maxColumns)
        throw Error(ErrorKind::NotSupported,
                    "A table holds at most " + std::to_string(f.maxColumns) + " columns.");
    std::uint16_t varColumns = 0;
    for (const auto& c : def.columns)
        if (!c.fixed()) ++varColumns;

    Buffer b;
    b.u8(page_type::kTableDef);
    b.u8(0x01);
    b.u16(0);  // free space, set per page
    b.u32(0);  // next page, set per page
    b.u32(0);  // length, set at the end
    while (b.size() < f.tdefRowCountOffset)
        b.u8(0);
    b.writer().u32(f.tdefRowCountOffset - 4, kDefinitionMarker);
    b.u32(0);  // rows
    b.u32(0);  // last AutoNumber
    b.u8(kAutoNumberFlag);
    while (b.size() < f.tdefTableTypeOffset)
        b.u8(0);
    b.u8(def.tableKind);
    b.u16(static_cast<std::uint32_t>(def.columns.size()));  // highest column count of rows
    b.u16(varColumns);
    b.u16(static_cast<std::uint32_t>(def.columns.size()));
    b.u32(static_cast<std::uint32_t>(def.indexes.size()));  // logical indexes
    b.u32(static_cast<std::uint32_t>(def.indexes.size()));  // physical indexes
    b.u32(def.ownedPagesRef);
    b.u32(def.freePagesRef);
    if (b.size() != f.tdefIndexBlockOffset) throw std::logic_error("table definition header size");

    for (std::size_t i = 0; i < def.indexes.size(); ++i)
        b.zeros(f.tdefIndexCountEntrySize);  // rows of each index: none yet

    for (const auto& c : def.columns) {
        const std::size_t start = b.size();
        b.u8(c.typeCode);
        b.u32(kDefinitionMarker);
        b.u16(c.number);
        b.u16(c.varIndex);
        b.u16(c.index);
        if (c.type == ColumnType::Decimal) {
            b.u8(c.precision);
            b.u8(c.scale);
        } else {
            b.u16(c.sortOrder);
        }
        b.u8(0);
        b.u8(c.sortOrderVersion);
        b.u8(c.flags);
        b.u8(c.extFlags);
        b.u32(0);
        b.u16(c.fixedOffset);
        b.u16(c.length);
        if (b.size() - start != f.columnDescriptorSize)
            throw std::logic_error("column descriptor size");
    }
    for (const auto& c : def.columns)
        b.name(f, c.name, "column");

    for (const auto& idx : def.indexes) {
        const std::size_t start = b.size();
        b.u32(kIndexMarker);
        for (std::size_t k = 0; k < kIndexColumnSlots; ++k) {
            if (k < idx.columns.size()) {
                b.u16(idx.columns[k]);
                b.u8(kAscending);
            } else {
                b.u16(0xFFFF);
                b.u8(0);
            }
        }
        b.u32(idx.usageMapRef);
        b.u32(idx.rootPage);
        b.u32(0);
        b.u8(idx.flags);
        while (b.size() - start < f.indexColumnBlockSize)
            b.u8(0);
    }
    for (std::size_t i = 0; i < def.indexes.size(); ++i) {
        const std::size_t start = b.size();
        b.u32(kDefinitionMarker);
        b.u32(static_cast<std::uint32_t>(i));  // index number
        b.u32(static_cast<std::uint32_t>(i));  // its physical index
        b.u8(0);                               // no related table
        b.u32(0xFFFFFFFFu);
        b.u32(0);
        b.u8(kNoForeignKeyFlags);
        b.u8(kNoForeignKeyFlags);
        b.u8(def.indexes[i].primaryKey ? kPrimaryKeyKind : 0);
        while (b.size() - start < f.logicalIndexSize)
            b.u8(0);
    }
    for (const auto& idx : def.indexes)
        b.name(f, idx.name, "index");

    for (const auto& c : def.columns) {
        if (!isLongValue(c.type)) continue;
        b.u16(c.number);
        b.u32(c.ownedPagesRef);
        b.u32(c.freePagesRef);
    }
    b.u16(kEndOfLongValueMaps);
    b.writer().u32(f.tdefLengthOffset, static_cast<std::uint32_t>(b.size()));
    return std::move(b.bytes());
}

std::size_t tableDefPageCount(const Format& f, std::size_t size) {
    if (size <= f.pageSize) return 1;
    const std::size_t perPage = f.pageSize - 8;
    return 1 + (size - f.pageSize + perPage - 1) / perPage;
}

std::vector<std::vector<std::uint8_t>> paginateTableDef(const Format& f,
                                                        const std::vector<std::uint8_t>& bytes,
                                                        const std::vector<std::uint32_t>& pages) {
    if (pages.size() != tableDefPageCount(f, bytes.size()))
        throw std::logic_error("wrong number of pages for a table definition");
    std::vector<std::vector<std::uint8_t>> out;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::vector<std::uint8_t> page(f.pageSize, 0);
        ByteWriter w(page, "table definition", pages[i]);
        std::size_t used;
        if (i == 0) {
            used = std::min<std::size_t>(bytes.size(), f.pageSize);
            w.bytes(0, ByteSpan(bytes).first(used));
            pos = used;
        } else {
            w.u8(0, page_type::kTableDef);
            w.u8(1, 0x01);
            const std::size_t part = std::min<std::size_t>(bytes.size() - pos, f.pageSize - 8);
            w.bytes(8, ByteSpan(bytes).subspan(pos, part));
            pos += part;
            used = 8 + part;
        }
        const std::size_t free = used + 8 <= f.pageSize ? f.pageSize - used - 8 : 0;
        w.u16(2, static_cast<std::uint16_t>(free));
        w.u32(f.tdefNextPageOffset, i + 1 < pages.size() ? pages[i + 1] : 0);
        out.push_back(std::move(page));
    }
    return out;
}

}  // namespace jet
