// Encoding the properties of one object.
#include "db/jet/write/property_blob.h"

#include <stdexcept>

#include "db/jet/format/text_codec.h"

namespace jet {

namespace {

constexpr std::uint16_t kNamesBlock = 0x80;
constexpr std::uint16_t kObjectBlock = 0x00;
constexpr std::size_t kEntryHeader = 8;  // length, DDL flag, type, name index, value size

void put16(std::vector<std::uint8_t>& out, std::size_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::size_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void block(std::vector<std::uint8_t>& out, std::uint16_t kind,
           const std::vector<std::uint8_t>& body) {
    put32(out, body.size() + 6);
    put16(out, kind);
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

std::vector<std::uint8_t> encodeObjectProperties(const Format& format,
                                                 const std::vector<DatabaseProperty>& props) {
    std::vector<std::uint8_t> out(format.propertyMagic.begin(), format.propertyMagic.end());
    std::vector<std::uint8_t> names;
    for (const auto& p : props) {
        const auto name = encodeUtf16le(p.name);
        put16(names, name.size());
        names.insert(names.end(), name.begin(), name.end());
    }
    block(out, kNamesBlock, names);

    std::vector<std::uint8_t> values;
    put32(values, 6);  // the map name part: these four bytes and an empty name
    put16(values, 0);
    for (std::size_t i = 0; i < props.size(); ++i) {
        std::vector<std::uint8_t> value;
        if (props[i].type == ColumnType::Text) {
            value = encodeUtf16le(props[i].text);
        } else if (props[i].type == ColumnType::Long) {
            put32(value, static_cast<std::uint32_t>(props[i].number));
        } else {
            throw std::logic_error("database properties are Text or Long");
        }
        put16(values, kEntryHeader + value.size());
        values.push_back(0);  // not DDL
        values.push_back(static_cast<std::uint8_t>(props[i].type));
        put16(values, i);
        put16(values, value.size());
        values.insert(values.end(), value.begin(), value.end());
    }
    block(out, kObjectBlock, values);
    return out;
}

}  // namespace jet
