// Encoding every column type.
#include "db/jet/write/value_encoder.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/write/value_convert.h"

namespace jet {

namespace {

// The fixed-length numbers, little-endian: whole numbers in two's complement of their size,
// Currency as its count of ten-thousandths, Single and Double (and Date/Time, a Double of days)
// as IEEE numbers.
void appendNumber(ColumnType type, const db::Value& v, std::vector<std::uint8_t>& out) {
    ByteBuilder b(out);
    switch (type) {
        case ColumnType::Byte:
            b.u8(static_cast<std::uint8_t>(v.asInteger()));
            break;
        case ColumnType::Integer:
            b.u16(static_cast<std::uint16_t>(v.asInteger()));
            break;
        case ColumnType::Long:
            b.u32(static_cast<std::uint32_t>(v.asInteger()));
            break;
        case ColumnType::BigInt:
            b.u64(static_cast<std::uint64_t>(v.asInteger()));
            break;
        case ColumnType::Currency:
            b.u64(static_cast<std::uint64_t>(v.asCurrency().scaled));
            break;
        case ColumnType::Single:
            b.f32(v.asSingle());
            break;
        case ColumnType::Double:
            b.f64(v.asDouble());
            break;
        case ColumnType::DateTime:
            b.f64(v.asDateTime().toOleDate());
            break;
        default:
            throw std::logic_error("not a fixed-length number");
    }
}

[[noreturn]] void cannotEncode(const ColumnDef& c) {
    throw Error(ErrorKind::NotSupported, "The Access engine cannot write values of the column '" +
                                             c.name + "' (" + columnTypeName(c.type) + ").");
}

}  // namespace

std::vector<std::uint8_t> encodeText(std::string_view utf8, bool compress) {
    std::vector<std::uint8_t> plain = encodeUtf16le(utf8);
    if (!compress || plain.empty()) return plain;
    // One byte per character while the high byte is zero, two bytes otherwise; a zero byte
    // switches between the two, so no character may have a zero low byte.
    std::vector<std::uint8_t> packed = {0xFF, 0xFE};
    bool oneByte = true;
    for (std::size_t i = 0; i + 1 < plain.size(); i += 2) {
        const std::uint8_t lo = plain[i], hi = plain[i + 1];
        if (lo == 0) return plain;
        const bool fits = hi == 0;
        if (fits != oneByte) {
            packed.push_back(0x00);
            oneByte = fits;
        }
        packed.push_back(lo);
        if (!oneByte) packed.push_back(hi);
        if (packed.size() >= plain.size()) return plain;
    }
    return packed;
}

std::vector<std::uint8_t> encodeDecimal(const db::Decimal& d) {
    unsigned __int128 v = 0;
    for (char c : d.unscaled)
        v = v * 10 + static_cast<unsigned>(c - '0');
    std::vector<std::uint8_t> out;
    out.reserve(17);
    out.push_back(d.negative && v != 0 ? 0x80 : 0x00);
    for (int word = 3; word >= 0; --word)
        ByteBuilder(out).u32(static_cast<std::uint32_t>(v >> (32 * word)));
    return out;
}

std::vector<std::uint8_t> encodeGuid(const db::Guid& g) {
    return {g[3], g[2], g[1],  g[0],  g[5],  g[4],  g[7],  g[6],
            g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]};
}

std::vector<std::uint8_t> encodeExtendedDate(const db::DateTime& t) {
    static const std::int64_t kYearOne = db::DateTime{1, 1, 1, 0, 0, 0, 0}.daysSinceEpoch();
    const std::int64_t days = t.daysSinceEpoch() - kYearOne;
    const long long seconds = t.hour * 3600LL + t.minute * 60LL + t.second;
    const long long hundredNanos = t.nanosecond / 100;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%019lld:%012lld%07lld:7", static_cast<long long>(days), seconds,
                  hundredNanos);
    std::vector<std::uint8_t> out(buf, buf + std::strlen(buf));
    out.push_back(0);
    return out;
}

void encodeValueInto(const ColumnDef& c, const db::Value& v, std::vector<std::uint8_t>& out) {
    out.clear();
    switch (c.type) {
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::BigInt:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
            appendNumber(c.type, v, out);
            return;
        case ColumnType::Text:
            if (!c.fixed() && !c.compressedUnicode()) {
                // Plain text, the usual case, goes straight into the buffer.
                const std::string& t = v.asText();
                bool ascii = true;
                for (char ch : t)
                    if (static_cast<unsigned char>(ch) >= 0x80) {
                        ascii = false;
                        break;
                    }
                if (ascii) {
                    out.resize(t.size() * 2);
                    for (std::size_t i = 0; i < t.size(); ++i) {
                        out[2 * i] = static_cast<std::uint8_t>(t[i]);
                        out[2 * i + 1] = 0;
                    }
                    return;
                }
            }
            break;
        default:
            break;
    }
    out = encodeValue(c, v);
}

std::vector<std::uint8_t> encodeValue(const ColumnDef& c, const db::Value& v) {
    std::vector<std::uint8_t> out;
    switch (c.type) {
        case ColumnType::Boolean:
            return out;  // the value lives in the null mask
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::BigInt:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
            appendNumber(c.type, v, out);
            return out;
        case ColumnType::ExtDateTime:
            return encodeExtendedDate(v.asDateTime());
        case ColumnType::Guid:
            return encodeGuid(v.asGuid());
        case ColumnType::Decimal:
            return encodeDecimal(v.asDecimal());
        case ColumnType::Text:
            if (c.fixed()) {
                // Fixed-length text is kept whole, padded with blanks to the column's length.
                out = encodeUtf16le(v.asText());
                while (out.size() + 2 <= c.length) {
                    out.push_back(' ');
                    out.push_back(0);
                }
                return out;
            }
            return encodeText(v.asText(), c.compressedUnicode());
        case ColumnType::Memo:
            return encodeText(v.asText(), c.compressedUnicode() &&
                                              utf16Length(v.asText()) <= kMaxCompressedMemoChars);
        case ColumnType::Binary:
            out = v.asBinary();
            if (c.fixed() && out.size() < c.length) out.resize(c.length, 0);
            return out;
        case ColumnType::Ole:
            return v.asBinary();
        case ColumnType::Complex:
        case ColumnType::Unknown:
            break;
    }
    cannotEncode(c);
}

}  // namespace jet
