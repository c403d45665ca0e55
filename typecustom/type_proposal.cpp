// The type proposals.
#include "typecustom/type_proposal.h"

#include <algorithm>
#include <initializer_list>

#include "transfer/column_mapping.h"
#include "transfer/value_render.h"

namespace typecustom {

namespace {

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (auto n : names)
        if (name == n) return true;
    return false;
}

}  // namespace

std::size_t characterCount(std::string_view utf8) {
    std::size_t n = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;  // continuation bytes excluded
    return n;
}

std::string firstRowSizedType(const db::Value* firstValue, long declaredSize) {
    std::size_t n = 0;
    if (firstValue && !firstValue->isNull()) {
        n = firstValue->kind() == db::Value::Kind::Text
                ? characterCount(firstValue->asText())
                : characterCount(transfer::valueText(*firstValue));
    }
    // The first value alone would make later, longer values of the column fail to fit; and
    // 255 characters for every column whose first value is empty can pass the server's limit on
    // the size of a row. The declared size fits every value the column holds.
    if (declaredSize > 0) n = std::max(n, static_cast<std::size_t>(declaredSize));
    if (n == 0) return "VARCHAR(255)";
    if (n > 255) return "TEXT";
    return "VARCHAR(" + std::to_string(n) + ")";
}

std::string proposeType(transfer::Target target, std::string_view t, int precision, int scale,
                        long definedSize, const db::Value* firstValue) {
    const bool access = target == transfer::Target::Access;
    if (isOneOf(t, {"adLongVarWChar", "adLongVarChar"})) return access ? "TEXT" : "LongText";
    if (isOneOf(t, {"adVarChar", "adChar", "adVarWChar", "adWChar"}))
        return firstRowSizedType(firstValue, definedSize);
    if (t == "adBoolean") return "BIT";
    if (t == "adCurrency") return access ? "MONEY" : "decimal(19,4)";
    if (t == "adSingle") return access ? "Real" : "Float";
    if (t == "adDouble") return access ? "Float" : "Real";
    if (isOneOf(t, {"adNumeric", "adDecimal"}))
        return transfer::decimalType(precision, scale, /*upperCase=*/false);
    if (isOneOf(t, {"adUnsignedSmallInt", "adSmallInt"})) return "SMALLINT";
    if (isOneOf(t, {"adUnsignedTinyInt", "adTinyInt"})) return "TINYINT";
    if (isOneOf(t, {"adUnsignedBigInt", "adBigInt"})) return "BIGINT";
    if (isOneOf(t, {"adUnsignedInt", "adInteger"})) return "INT";
    if (isOneOf(t, {"adDBDate", "adDate", "adDBTime", "adDBTimeStamp", "adFileTime"}))
        return "DATETIME";
    if (isOneOf(t, {"adBinary", "adVarBinary", "adLongVarBinary"}))
        return access ? "Image" : "LongBlob";
    return firstRowSizedType(firstValue);
}

}  // namespace typecustom
