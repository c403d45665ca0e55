// Laying out the fixed part, the variable part, the offset table and the null mask.
#include "db/jet/write/row_encoder.h"

#include <stdexcept>

#include "db/jet/base/byte_writer.h"
#include "db/jet/format/column_type.h"

namespace jet {

namespace {

struct Layout {
    std::size_t fixedEnd = 0;  // bytes of the fixed part
    std::size_t varData = 0;   // bytes of the variable values
    std::size_t varEntries = 0;
    bool hasVar = false;
    std::size_t columnCount = 0;
};

Layout layoutOf(const TableDef& def, const std::vector<RowField>& fields) {
    if (fields.size() != def.columns.size())
        throw std::logic_error("a row needs one field per column");
    Layout l;
    l.hasVar = def.varColumns > 0;
    l.columnCount = def.maxColumns;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef& c = def.columns[i];
        if (c.number >= l.columnCount) l.columnCount = c.number + 1u;
        if (c.fixed()) {
            const std::size_t end = std::size_t{c.fixedOffset} + fixedFieldSize(c);
            if (end > l.fixedEnd) l.fixedEnd = end;
        } else {
            if (c.varIndex + 1u > l.varEntries) l.varEntries = c.varIndex + 1u;
            if (fields[i].present) l.varData += fields[i].bytes.size();
        }
    }
    return l;
}

}  // namespace

std::uint16_t fixedFieldSize(const ColumnDef& c) {
    if (!c.fixed() || c.type == ColumnType::Boolean) return 0;
    const std::uint16_t natural = fixedSizeOf(c.type);
    return natural != 0 ? natural : c.length;
}

std::size_t encodedRowSize(const Format& f, const TableDef& def,
                           const std::vector<RowField>& fields) {
    const Layout l = layoutOf(def, fields);
    std::size_t size = f.rowColumnCountSize + l.fixedEnd + l.varData + (l.columnCount + 7) / 8;
    if (l.hasVar) size += (l.varEntries + 1) * f.rowVarOffsetSize + f.rowVarOffsetSize;
    return size;
}

std::vector<std::uint8_t> encodeRow(const Format& f, const TableDef& def,
                                    const std::vector<RowField>& fields) {
    std::vector<std::uint8_t> row;
    encodeRowInto(f, def, fields, row);
    return row;
}

void encodeRowInto(const Format& f, const TableDef& def, const std::vector<RowField>& fields,
                   std::vector<std::uint8_t>& row) {
    const Layout l = layoutOf(def, fields);
    std::size_t size = f.rowColumnCountSize + l.fixedEnd + l.varData + (l.columnCount + 7) / 8;
    if (l.hasVar) size += (l.varEntries + 1) * f.rowVarOffsetSize + f.rowVarOffsetSize;
    row.assign(size, 0);
    ByteWriter w(row, "row");
    w.u16(0, static_cast<std::uint16_t>(l.columnCount));
    const std::size_t dataStart = f.rowColumnCountSize;
    const std::size_t maskStart = row.size() - (l.columnCount + 7) / 8;

    // The variable values in variable-index order, so the offsets ascend.
    thread_local std::vector<const RowField*> byVarIndex;
    byVarIndex.assign(l.varEntries, nullptr);
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef& c = def.columns[i];
        const RowField& field = fields[i];
        if (field.present)
            row[maskStart + c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
        if (c.fixed()) {
            if (!field.present || c.type == ColumnType::Boolean) continue;
            const std::size_t fieldSize = fixedFieldSize(c);
            if (field.bytes.size() != fieldSize)
                throw std::logic_error("a fixed field of the wrong size for column " + c.name);
            w.bytes(dataStart + c.fixedOffset, field.bytes);
        } else {
            byVarIndex[c.varIndex] = &field;
        }
    }
    if (!l.hasVar) return;

    std::size_t pos = dataStart + l.fixedEnd;
    // Entry i of the offset table sits just below the count, counting downwards.
    const std::size_t countAt = maskStart - f.rowVarOffsetSize;
    const std::size_t entry0 = countAt - f.rowVarOffsetSize;
    for (std::size_t v = 0; v < l.varEntries; ++v) {
        w.u16(entry0 - v * f.rowVarOffsetSize, static_cast<std::uint16_t>(pos));
        const RowField* field = byVarIndex[v];
        if (field && field->present) {
            w.bytes(pos, field->bytes);
            pos += field->bytes.size();
        }
    }
    w.u16(entry0 - l.varEntries * f.rowVarOffsetSize, static_cast<std::uint16_t>(pos));
    w.u16(countAt, static_cast<std::uint16_t>(l.varEntries));
}

}  // namespace jet
