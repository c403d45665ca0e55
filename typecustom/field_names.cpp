// Numeric field names and identifier quoting.
#include "typecustom/field_names.h"

#include <algorithm>

#include "db/sql_names.h"
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

std::string accessNameSuggestion(std::string_view name) {
    std::string out;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
            out += '_';
        else if (!(out.empty() && c == ' '))
            out += c;
    }
    // At most 64 characters (UTF-16 units, as Access counts), never cutting one in half.
    std::size_t units = 0, end = 0;
    for (std::size_t i = 0; i < out.size();) {
        const auto u = static_cast<unsigned char>(out[i]);
        const std::size_t len = u < 0x80 ? 1 : u < 0xE0 ? 2 : u < 0xF0 ? 3 : 4;
        const std::size_t w = len == 4 ? 2 : 1;
        if (units + w > 64) break;
        units += w;
        i += len;
        end = std::min(i, out.size());
    }
    out.resize(end);
    if (out.empty() || !db::accessNameProblem(out).empty()) return "Field";
    return out;
}

std::string quoteFieldName(IdentifierQuotes quotes, std::string_view name) {
    if (quotes.open == "[") return db::bracketAccessName(name, "column");
    return db::quoteMySqlName(name);
}

void appendCustomColumn(std::string& sql, IdentifierQuotes quotes, std::string_view name,
                        std::string_view type) {
    sql += quoteFieldName(quotes, name);
    sql += ' ';
    sql += type;
    sql += ',';
}

}  // namespace typecustom
