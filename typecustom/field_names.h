// Field names in the statement the type dialog completes: numeric names replaced, identifiers
// quoted for the target.
//
// A column cannot be named by a bare number in either target's CREATE TABLE, so a field whose
// name reads as a number gets a replacement name that no field of the table has.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace typecustom {

// True when the whole text, spaces and tabs on either side aside, reads as a number: an optional
// sign, digits with at most one decimal point (at least one digit), and an optional exponent
// ("E" or "e", an optional sign, digits). "2021", "-5", "3.75", ".5", "1E3" and " 7 " are
// numeric; "", "1E", "1,5", "0x10" and "12a" are not.
bool isNumericName(std::string_view name);

// The replacement name for a numeric field name: "newfieldname0" unless one of `fieldNames`
// equals it exactly, else the first of "tempid1", "tempid2", … that none of them equals.
std::string NewFieldName(std::span<const std::string> fieldNames);

// A name Access can hold made from `name`: every character Access refuses in names (. ! ` [ ]
// and control characters) becomes "_", leading blanks go, and the name is cut to 64
// characters; "Field" when nothing is left.
std::string accessNameSuggestion(std::string_view name);

// The identifier quotes of the completed statement: "[" and "]" when `mType` is "ACCESS",
// backticks for any other tag.
struct IdentifierQuotes {
    std::string_view open;
    std::string_view close;
};
IdentifierQuotes identifierQuotes(std::string_view mType);

// `name` between the quotes: for backticks every backtick inside doubled (db::quoteMySqlName);
// for square brackets a name Access cannot hold is refused with db::Error (db::quoteAccessName's
// sentence), since no bracket inside it could be written.
std::string quoteFieldName(IdentifierQuotes quotes, std::string_view name);

// Appends one column definition of the completed statement: quoted name, one blank, the type
// text exactly as it stands, and ",".
void appendCustomColumn(std::string& sql, IdentifierQuotes quotes, std::string_view name,
                        std::string_view type);

}  // namespace typecustom
