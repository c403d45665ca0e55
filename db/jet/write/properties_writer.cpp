// Encoding property blobs.
#include "db/jet/write/properties_writer.h"

#include <algorithm>

#include "db/jet/format/column_type.h"
#include "db/jet/format/text_codec.h"

namespace jet {

namespace {

constexpr std::uint16_t kNamesBlock = 0x80;
constexpr std::uint16_t kObjectBlock = 0x00;
constexpr std::uint16_t kColumnBlock = 0x01;

void put16(std::vector<std::uint8_t>& out, std::size_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::size_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void putName(std::vector<std::uint8_t>& out, const std::string& utf8) {
    const auto bytes = encodeUtf16le(utf8);
    put16(out, bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
}
void putBlock(std::vector<std::uint8_t>& out, std::uint16_t kind,
              const std::vector<std::uint8_t>& body) {
    put32(out, body.size() + 6);
    put16(out, kind);
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

std::vector<std::uint8_t> encodeColumnProperties(const Format& format,
                                                 const std::vector<ColumnFlagProperty>& props) {
    std::vector<std::uint8_t> out;
    if (props.empty()) return out;
    out.insert(out.end(), format.propertyMagic.begin(), format.propertyMagic.end());

    std::vector<std::string> names;
    for (const auto& p : props)
        if (std::find(names.begin(), names.end(), p.property) == names.end())
            names.push_back(p.property);
    std::vector<std::uint8_t> body;
    for (const auto& n : names)
        putName(body, n);
    putBlock(out, kNamesBlock, body);

    // The table's own properties: none, and no map name.
    body.clear();
    put32(body, 6);
    put16(body, 0);
    putBlock(out, kObjectBlock, body);

    std::vector<std::string> columns;
    for (const auto& p : props)
        if (std::find(columns.begin(), columns.end(), p.column) == columns.end())
            columns.push_back(p.column);
    for (const auto& column : columns) {
        body.clear();
        const auto nameBytes = encodeUtf16le(column);
        put32(body, 4 + 2 + nameBytes.size());
        putName(body, column);
        for (const auto& p : props) {
            if (p.column != column) continue;
            const auto index = std::find(names.begin(), names.end(), p.property) - names.begin();
            put16(body, 8 + 1);
            body.push_back(1);  // DDL: the engine itself enforces it
            body.push_back(static_cast<std::uint8_t>(ColumnType::Boolean));
            put16(body, static_cast<std::size_t>(index));
            put16(body, 1);
            body.push_back(p.value ? 1 : 0);
        }
        putBlock(out, kColumnBlock, body);
    }
    return out;
}

}  // namespace jet
