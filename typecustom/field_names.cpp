// Numeric field names and identifier quoting.
#include "typecustom/field_names.h"

#include <algorithm>

#include "typecustom/type_proposal.h"

namespace typecustom {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

bool isNumericName(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            ++digits;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

std::string NewFieldName(std::span<const std::string> fieldNames) {
    std::string candidate = "newfieldname0";
    for (long counter = 1;; ++counter) {
        if (std::find(fieldNames.begin(), fieldNames.end(), candidate) == fieldNames.end())
            return candidate;
        candidate = "tempid" + std::to_string(counter);
    }
}

IdentifierQuotes identifierQuotes(std::string_view mType) {
    if (mType == kTargetAccess) return {"[", "]"};
    return {"`", "`"};
}

void appendCustomColumn(std::string& sql, IdentifierQuotes quotes, std::string_view name,
                        std::string_view type) {
    sql += quotes.open;
    sql += name;
    sql += quotes.close;
    sql += ' ';
    sql += type;
    sql += ',';
}

}  // namespace typecustom
