// Making index keys from the stored bytes of a row's columns.
#include "db/jet/index/index_key.h"

#include <algorithm>

#include "db/jet/base/error.h"

namespace jet {

namespace {

constexpr std::uint8_t kAscendingFlag = 0x7F;
constexpr std::uint8_t kDescendingFlag = 0x80;
constexpr std::uint8_t kAscendingNull = 0x00;
constexpr std::uint8_t kDescendingNull = 0xFF;
constexpr std::uint8_t kYes = 0x00;
constexpr std::uint8_t kNo = 0xFF;
constexpr std::size_t kSegment = 8;
constexpr std::uint8_t kMoreSegments = 0x09;
constexpr std::size_t kExtendedDateSize = 42;
constexpr std::uint8_t kExtendedDateTrailer[] = {0, 0, 0, 0, 0, 0, 0x02};

void invert(std::vector<std::uint8_t>& v, std::size_t from) {
    for (std::size_t i = from; i < v.size(); ++i)
        v[i] = static_cast<std::uint8_t>(~v[i]);
}

// A little-endian stored number as big-endian bytes.
void appendReversed(ByteSpan stored, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), stored.rbegin(), stored.rend());
}

std::string kindSentence(const ColumnDef& c, const char* what) {
    return "the index column '" + c.name + "' is " + what +
           ", whose index keys the Access engine cannot write yet";
}

}  // namespace

void appendBinaryKey(std::span<const std::uint8_t> bytes, bool ascending,
                     std::vector<std::uint8_t>& out) {
    std::size_t pos = 0;
    std::size_t left = bytes.size();
    while (left > kSegment) {
        const std::size_t start = out.size();
        out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                   bytes.begin() + static_cast<std::ptrdiff_t>(pos + kSegment));
        if (!ascending) invert(out, start);
        out.push_back(kMoreSegments);  // never inverted
        pos += kSegment;
        left -= kSegment;
    }
    if (left > 0) {
        const std::size_t start = out.size();
        out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pos), bytes.end());
        out.resize(start + kSegment, 0);
        out.push_back(static_cast<std::uint8_t>(left));
        if (!ascending) invert(out, start);
    }
}

std::optional<std::string> indexKeyUnsupported(const Format& format, const ColumnDef& def) {
    if (def.calculated()) return kindSentence(def, "a calculated column");
    switch (def.type) {
        case ColumnType::Boolean:
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::BigInt:
        case ColumnType::Currency:
        case ColumnType::Complex:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::Binary:
        case ColumnType::Guid:
        case ColumnType::ExtDateTime:
            return std::nullopt;
        case ColumnType::Text:
        case ColumnType::Memo:
            if (TextCollation::forColumn(format, def)) return std::nullopt;
            return "the index column '" + def.name + "' is text in a sort order (" +
                   std::to_string(def.sortOrder) + ", version " +
                   std::to_string(def.sortOrderVersion) +
                   ") whose index keys the Access engine cannot write";
        case ColumnType::Decimal:
            return kindSentence(def, "a Decimal column");
        case ColumnType::Ole:
            return kindSentence(def, "an OLE Object column");
        case ColumnType::Unknown:
            break;
    }
    return kindSentence(def, "of a kind the engine does not interpret");
}

IndexKeyMaker::IndexKeyMaker(const Format& format, const TableDef& table,
                             const PhysicalIndex& index) {
    for (const IndexColumn& ic : index.columns) {
        const ColumnDef* def = nullptr;
        for (const auto& c : table.columns)
            if (c.number == ic.columnNumber) def = &c;
        if (!def) {
            unsupported_ = "an index names the column number " + std::to_string(ic.columnNumber) +
                           ", which the table does not have";
            return;
        }
        Column col;
        col.def = def;
        col.ascending = ic.ascending;
        col.decoder = ColumnDecoder::make(*def, 0);
        if (auto why = indexKeyUnsupported(format, *def)) {
            unsupported_ = std::move(why);
            return;
        }
        if (def->type == ColumnType::Text || def->type == ColumnType::Memo)
            col.collation = TextCollation::forColumn(format, *def);
        columns_.push_back(col);
    }
}

std::size_t IndexKeyMaker::nullCount(const RowView& row, const ValueDecoder& values) const {
    std::size_t n = 0;
    for (const Column& c : columns_) {
        if (c.def->type == ColumnType::Boolean) continue;
        if (values.isNull(c.decoder, row)) ++n;
    }
    return n;
}

std::vector<std::uint8_t> IndexKeyMaker::key(const RowView& row, const ValueDecoder& values) const {
    std::vector<std::uint8_t> out;
    out.reserve(32);  // most keys: a number, a date or a short text, without growing
    for (const Column& c : columns_)
        appendColumn(c, row, values, out);
    return out;
}

void IndexKeyMaker::appendColumn(const Column& c, const RowView& row, const ValueDecoder& values,
                                 std::vector<std::uint8_t>& out) const {
    const ColumnDef& def = *c.def;
    const bool asc = c.ascending;
    if (def.type == ColumnType::Boolean) {
        const bool yes = !row.isNull(def);
        out.push_back(asc ? kAscendingFlag : kDescendingFlag);
        out.push_back(yes == asc ? kYes : kNo);
        return;
    }

    // Text keys come from the text; every other kind from the stored bytes.
    ByteSpan bytes;
    bool null = row.isNull(def);
    db::Value text;
    if (!null) {
        if (c.collation) {
            text = values.decode(c.decoder, row);
            null = text.isNull();
        } else if (c.decoder.variable) {
            bool present = false;
            bytes = row.varBytes(def, present);
            null = !present;
        } else if (c.decoder.fixedSize == 0) {
            null = true;
        } else {
            bytes = row.fixedBytes(def, c.decoder.fixedSize);
        }
    }
    if (null) {
        out.push_back(asc ? kAscendingNull : kDescendingNull);
        return;
    }
    out.push_back(asc ? kAscendingFlag : kDescendingFlag);
    const std::size_t start = out.size();

    switch (def.type) {
        case ColumnType::Byte:
            out.push_back(bytes[0]);
            break;
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::BigInt:
        case ColumnType::Currency:
        case ColumnType::Complex:
            appendReversed(bytes, out);
            out[start] ^= 0x80;
            break;
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
            appendReversed(bytes, out);
            if ((out[start] & 0x80) != 0)
                invert(out, start);
            else
                out[start] ^= 0x80;
            break;
        case ColumnType::Guid: {
            // The display order: the first three groups are stored little-endian.
            const std::uint8_t g[16] = {bytes[3],  bytes[2],  bytes[1],  bytes[0],
                                        bytes[5],  bytes[4],  bytes[7],  bytes[6],
                                        bytes[8],  bytes[9],  bytes[10], bytes[11],
                                        bytes[12], bytes[13], bytes[14], bytes[15]};
            appendBinaryKey(g, asc, out);
            return;
        }
        case ColumnType::Binary:
            appendBinaryKey(bytes, asc, out);
            return;
        case ColumnType::ExtDateTime: {
            if (bytes.size() < kExtendedDateSize)
                throwCorrupt("a Date/Time Extended value is shorter than 42 bytes");
            for (std::size_t g = 0; g < 5; ++g) {
                out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(g * kSegment),
                           bytes.begin() + static_cast<std::ptrdiff_t>((g + 1) * kSegment));
                out.push_back(kMoreSegments);
            }
            out.push_back(bytes[40]);
            out.push_back(bytes[41]);
            out.insert(out.end(), std::begin(kExtendedDateTrailer), std::end(kExtendedDateTrailer));
            if (!asc)
                for (std::size_t i = start; i < out.size(); ++i)
                    if ((i - start) % (kSegment + 1) != kSegment || i - start >= 5 * (kSegment + 1))
                        out[i] = static_cast<std::uint8_t>(~out[i]);
            return;
        }
        case ColumnType::Text:
        case ColumnType::Memo:
            try {
                c.collation->appendKey(toUtf16(text.asText()), asc, out);
            } catch (const Error& e) {
                throw Error(e.kind(), "The column '" + def.name + "' " + e.message() + ".");
            }
            return;
        default:
            return;
    }
    if (!asc) invert(out, start);
}

}  // namespace jet
