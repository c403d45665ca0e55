// What the type dialog accepts as a column type, and the two help texts it shows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace typecustom {

// The 27 type names joined with CR LF, in the order the check uses them.
const std::string& dataTypeVocabulary();

// True when `text` occurs anywhere in dataTypeVocabulary(), or contains one of "binary(",
// "char(", "decimal(", "numeric(" anywhere, both without regard to letter case. A fragment of a
// name passes ("e", "FLOAT", "DATE"), and so does the empty text.
bool IsValidDataType(std::string_view text);

// The text "Help" shows for `mType`: the heading and the target's type names, one a line
// (lines separated by CR LF); no value for a tag other than "ACCESS" and "MySQL".
std::optional<std::string> helpText(std::string_view mType);

}  // namespace typecustom
