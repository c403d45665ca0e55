// Encoding property blobs: the names block, then blocks of values.
#include "db/jet/write/properties_writer.h"

#include <algorithm>
#include <stdexcept>

#include "db/jet/base/byte_writer.h"
#include "db/jet/format/column_type.h"
#include "db/jet/format/text_codec.h"

namespace jet {

namespace {

constexpr std::uint16_t kNamesBlock = 0x80;
constexpr std::uint16_t kObjectBlock = 0x00;
constexpr std::uint16_t kColumnBlock = 0x01;

constexpr std::size_t kEntryHeader = 8;  // length, DDL flag, type, name index, value size

// A name as the names block and the column blocks hold it: its length, then UTF-16LE.
void putName(ByteBuilder& out, const std::string& utf8) {
    const auto bytes = encodeUtf16le(utf8);
    out.u16(static_cast<std::uint16_t>(bytes.size()));
    out.bytes(bytes);
}
// A block: its length (these six bytes included), its kind, its body.
void putBlock(ByteBuilder& out, std::uint16_t kind, const std::vector<std::uint8_t>& body) {
    out.u32(static_cast<std::uint32_t>(body.size() + 6));
    out.u16(kind);
    out.bytes(body);
}
// The body of a block of values: the map name (none here), then one entry per value.
void putEmptyMapName(ByteBuilder& body) {
    body.u32(6);  // these four bytes and an empty name
    body.u16(0);
}
void putEntry(ByteBuilder& body, bool ddl, ColumnType type, std::size_t nameIndex, ByteSpan value) {
    body.u16(static_cast<std::uint16_t>(kEntryHeader + value.size()));
    body.u8(ddl ? 1 : 0);
    body.u8(static_cast<std::uint8_t>(type));
    body.u16(static_cast<std::uint16_t>(nameIndex));
    body.u16(static_cast<std::uint16_t>(value.size()));
    body.bytes(value);
}

}  // namespace

std::vector<std::uint8_t> encodeObjectProperties(const Format& format,
                                                 const std::vector<DatabaseProperty>& props) {
    std::vector<std::uint8_t> out(format.propertyMagic.begin(), format.propertyMagic.end());
    ByteBuilder o(out, "property blob");
    std::vector<std::uint8_t> names;
    ByteBuilder n(names);
    for (const auto& p : props)
        putName(n, p.name);
    putBlock(o, kNamesBlock, names);

    std::vector<std::uint8_t> values;
    ByteBuilder v(values);
    putEmptyMapName(v);
    for (std::size_t i = 0; i < props.size(); ++i) {
        std::vector<std::uint8_t> value;
        if (props[i].type == ColumnType::Text) {
            value = encodeUtf16le(props[i].text);
        } else if (props[i].type == ColumnType::Long) {
            ByteBuilder(value).u32(static_cast<std::uint32_t>(props[i].number));
        } else {
            throw std::logic_error("database properties are Text or Long");
        }
        putEntry(v, false, props[i].type, i, value);
    }
    putBlock(o, kObjectBlock, values);
    return out;
}

std::vector<std::uint8_t> encodeColumnProperties(const Format& format,
                                                 const std::vector<ColumnFlagProperty>& props) {
    std::vector<std::uint8_t> out;
    if (props.empty()) return out;
    out.insert(out.end(), format.propertyMagic.begin(), format.propertyMagic.end());
    ByteBuilder o(out, "property blob");

    std::vector<std::string> names;
    for (const auto& p : props)
        if (std::find(names.begin(), names.end(), p.property) == names.end())
            names.push_back(p.property);
    std::vector<std::uint8_t> body;
    ByteBuilder b(body);
    for (const auto& n : names)
        putName(b, n);
    putBlock(o, kNamesBlock, body);

    // The table's own properties: none, and no map name.
    body.clear();
    putEmptyMapName(b);
    putBlock(o, kObjectBlock, body);

    std::vector<std::string> columns;
    for (const auto& p : props)
        if (std::find(columns.begin(), columns.end(), p.column) == columns.end())
            columns.push_back(p.column);
    for (const auto& column : columns) {
        body.clear();
        // The block's map name is the column's.
        b.u32(static_cast<std::uint32_t>(4 + 2 + encodeUtf16le(column).size()));
        putName(b, column);
        for (const auto& p : props) {
            if (p.column != column) continue;
            const auto index = std::find(names.begin(), names.end(), p.property) - names.begin();
            std::vector<std::uint8_t> value;
            if (p.type == ColumnType::Memo || p.type == ColumnType::Text)
                value = encodeUtf16le(p.text);
            else
                value.push_back(p.value ? 1 : 0);
            // DDL: the engine itself enforces it.
            putEntry(b, true, p.type, static_cast<std::size_t>(index), value);
        }
        putBlock(o, kColumnBlock, body);
    }
    return out;
}

}  // namespace jet
