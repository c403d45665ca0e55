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

// The Decimal of 20 digits as the proposals spell decimals.
std::string lowerDecimal(std::string type) {
    if (type.rfind("DECIMAL", 0) == 0) type.replace(0, 7, "decimal");
    return type;
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

std::string proposeType(transfer::Direction target, std::string_view t, int precision, int scale,
                        long definedSize, const db::Value* firstValue,
                        const db::AccessFileFeatures& features) {
    const bool access = target == transfer::Direction::MySqlToAccess;
    if (isOneOf(t, {"adLongVarWChar", "adLongVarChar"})) return access ? "TEXT" : "LongText";
    if (isOneOf(t, {"adVarChar", "adChar", "adVarWChar", "adWChar"}))
        return firstRowSizedType(firstValue, definedSize);
    if (t == "adBoolean") return "BIT";
    if (t == "adCurrency") return access ? "MONEY" : "decimal(19,4)";
    if (t == "adSingle") return access ? "Real" : "Float";
    if (t == "adDouble") return access ? "Float" : "Real";
    if (isOneOf(t, {"adNumeric", "adDecimal"}))
        return transfer::decimalType(precision, scale, /*upperCase=*/false);
    // Whole numbers: each into a type that holds its whole range. Access's Byte is 0 to 255 and
    // its Integer signed 16 bits, so a signed TINYINT needs Integer and an unsigned SMALLINT
    // (and MEDIUMINT UNSIGNED, 8 digits) Long Integer; beyond that Large Number where the file
    // has it, else a Decimal of 20 digits. Into MySQL, Access's Byte is TINYINT UNSIGNED.
    if (t == "adTinyInt") return access ? "SMALLINT" : "TINYINT";
    if (t == "adUnsignedTinyInt") return access ? "TINYINT" : "TINYINT UNSIGNED";
    if (t == "adSmallInt") return "SMALLINT";
    if (t == "adUnsignedSmallInt") return access ? "INT" : "SMALLINT UNSIGNED";
    if (t == "adInteger") return "INT";
    if (t == "adUnsignedInt") {
        if (!access) return "INT UNSIGNED";
        return precision >= 1 && precision <= 8
                   ? "INT"
                   : lowerDecimal(transfer::wholeNumberType(true, features));
    }
    if (t == "adBigInt")
        return access ? lowerDecimal(transfer::wholeNumberType(true, features)) : "BIGINT";
    if (t == "adUnsignedBigInt")
        return access ? lowerDecimal(transfer::wholeNumberType(false, features))
                      : "BIGINT UNSIGNED";
    // A MySQL TIME may pass 24 hours or be negative: its text, "-838:59:59" and the fraction.
    if (t == "adDBTime" && access)
        return "VARCHAR(" + std::to_string(10 + (scale > 0 ? scale + 1 : 0)) + ")";
    // Fractions of a second stay: milliseconds in Access's Date/Time, more in Date/Time
    // Extended; into MySQL, DATETIME(3) for Access's milliseconds, DATETIME(6) for Extended.
    if (t == "adDBTimeStamp")
        return access ? transfer::dateTimeType(scale, features) : "DATETIME(6)";
    if (t == "adDate") return access ? "DATETIME" : "DATETIME(3)";
    if (isOneOf(t, {"adDBDate", "adDBTime", "adFileTime"})) return "DATETIME";
    if (isOneOf(t, {"adBinary", "adVarBinary", "adLongVarBinary"}))
        return access ? "Image" : "LongBlob";
    return firstRowSizedType(firstValue);
}

}  // namespace typecustom
