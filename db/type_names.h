// The symbolic names of field type codes ("adVarWChar" for 202), on which every type decision of
// the transfer and the type dialog is made.
//
// The names are matched as text by their callers (lower-cased substrings in the default column
// mappings, whole names in the type proposals), so each name's exact spelling matters as much as
// its code.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace db {

// The name of `code`, or no value when the code is not one of the 39 listed. The code is the
// field's type as a 16-bit signed integer; codes outside the list (15, 137, array-flagged codes,
// negatives) have no name. Pure, never throws.
std::optional<std::string_view> DataTypeName(std::int16_t code);

// The name as callers use it: the empty text for an unlisted code.
std::string_view dataTypeNameText(std::int16_t code);

// The field type code as callers hand it over: the platform keeps it in 16 bits.
inline std::int16_t typeCode16(int type) {
    return static_cast<std::int16_t>(type);
}

}  // namespace db
