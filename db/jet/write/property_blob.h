// Writing the property blob of an object's own properties (the layout is in properties.h): the
// names block, then one block of the object's values, no column blocks. Used for the database
// object of a new file.
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/catalog/system_tables.h"
#include "db/jet/format/format.h"

namespace jet {

// The blob holding `props` in order, none of them marked DDL. REQUIRES: each property is Text
// or Long.
std::vector<std::uint8_t> encodeObjectProperties(const Format& format,
                                                 const std::vector<DatabaseProperty>& props);

}  // namespace jet
