// Writing property blobs (the layout is in properties.h): the properties of the database object
// of a new file, and those a new table gets from its statement: "Required" on the columns
// declared NOT NULL, "AllowZeroLength" on its text columns, "DefaultValue" (a Memo, as Access
// keeps it) on the columns given a DEFAULT.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/catalog/system_tables.h"
#include "db/jet/format/column_type.h"
#include "db/jet/format/format.h"

namespace jet {

// The blob of an object's own properties: the names block, then one block of the object's
// values, `props` in order, none of them marked DDL, no column blocks. REQUIRES: each property
// is Text or Long.
std::vector<std::uint8_t> encodeObjectProperties(const Format& format,
                                                 const std::vector<DatabaseProperty>& props);

// One property of a column, as Access keeps it for the table's designer (DDL flag set): a Yes/No
// (`value`), or, when `type` is Memo, the text `text`.
struct ColumnFlagProperty {
    std::string column;
    std::string property;  // "Required", "AllowZeroLength", "DefaultValue"
    bool value = true;
    ColumnType type = ColumnType::Boolean;
    std::string text;
};

// The blob: the names block, an empty block of the table's own properties, then one block per
// column that has properties, in the order given. Empty when there are no properties.
std::vector<std::uint8_t> encodeColumnProperties(const Format& format,
                                                 const std::vector<ColumnFlagProperty>& props);

}  // namespace jet
