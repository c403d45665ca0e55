// Writing property blobs (the layout is in properties.h) for the properties a new table gets
// from its statement: "Required" on the columns declared NOT NULL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/format/format.h"

namespace jet {

// One Yes/No property of a column, as Access keeps it for the table's designer (DDL flag set).
struct ColumnFlagProperty {
    std::string column;
    std::string property;  // "Required"
    bool value = true;
};

// The blob: the names block, an empty block of the table's own properties, then one block per
// column that has properties, in the order given. Empty when there are no properties.
std::vector<std::uint8_t> encodeColumnProperties(const Format& format,
                                                 const std::vector<ColumnFlagProperty>& props);

}  // namespace jet
