// Property blobs: the LvProp column of MSysObjects, where Access keeps the properties of an
// object (its description, formats, defaults) and of each of its columns.
//
//   offset  size  meaning
//   0       4     "MR2\0" (Jet 3: "KKD\0")
//   then blocks, each:
//   0       4     length of the block, these six bytes included
//   4       2     kind: 0x80 the list of property names; 0x00 the object's own values;
//                 0x01 the values of one column
//   names block:  repeated: 2-byte length, the name
//   values block: 4-byte length of the map name part, these four bytes included, then (when
//                 longer than 6) a 2-byte length and the map name (the column's name); then
//                 repeated: 2-byte length of the entry (itself included), 1 byte DDL flag,
//                 1 byte type code, 2-byte index into the names, 2-byte size, the value
//
// Names are UTF-16LE (Jet 3: the code page).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/base/byte_reader.h"
#include "db/jet/format/format.h"
#include "db/jet/format/text_codec.h"

namespace jet {

struct Property {
    std::string name;
    std::uint8_t type = 0;  // a column type code
    bool ddl = false;
    std::vector<std::uint8_t> value;
};

struct PropertyMap {
    std::string name;  // "" for the object itself, else the column name
    std::vector<Property> properties;
    const Property* find(std::string_view propertyName) const;
};

// Parses a property blob. Throws Corrupt when it does not have the layout above.
std::vector<PropertyMap> parseProperties(ByteSpan blob, const Format& format,
                                         const CodePage& codePage);

}  // namespace jet
