// The type proposals.
#include "typecustom/type_proposal.h"

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

std::string firstRowSizedType(const db::Value* firstValue) {
    if (!firstValue || firstValue->isNull()) return "VARCHAR(255)";
    std::size_t n;
    if (firstValue->kind() == db::Value::Kind::Text)
        n = characterCount(firstValue->asText());
    else
        n = characterCount(transfer::valueText(*firstValue));
    if (n == 0) return "VARCHAR(255)";
    if (n > 255) return "TEXT";
    return "VARCHAR(" + std::to_string(n) + ")";
}

std::string proposeType(transfer::Target target, std::string_view t, int precision, int scale,
                        const db::Value* firstValue) {
    const bool access = target == transfer::Target::Access;
    if (isOneOf(t, {"adLongVarWChar", "adLongVarChar"})) return access ? "TEXT" : "LongText";
    if (isOneOf(t, {"adVarChar", "adChar", "adVarWChar", "adWChar"}))
        return firstRowSizedType(firstValue);
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
