// The default column mapping.
#include "transfer/column_mapping.h"

#include <algorithm>

#include "db/sql_names.h"
#include "db/type_names.h"

namespace transfer {

namespace {

constexpr int kAccessMaxPrecision = 28;

bool has(std::string_view type, std::string_view part) {
    return type.find(part) != std::string_view::npos;
}

std::string mySqlType(std::string_view type) {
    if (has(type, "char"))
        return has(type, "adlongvar") ? "LONGTEXT" : "text";  // long text holds 4 GB, not 64 KB
    if (has(type, "single")) return "FLOAT";
    // Large Number holds 64 bits, which INT would refuse or cut.
    if (type == "adbigint") return "BIGINT";
    if (has(type, "int")) return "INT";
    if (has(type, "date")) return "text";
    if (has(type, "currency")) return "text";
    if (has(type, "bool")) return "text";
    if (has(type, "double")) return "DOUBLE";
    // Every binary kind, not only long binary: bytes in a text column are rejected or mangled
    // by the column's character set.
    if (has(type, "binary")) return "LONGBLOB";
    return "text";
}

std::string accessType(std::string_view type, int precision, int scale,
                       const db::AccessFileFeatures& features) {
    if (has(type, "char")) return "TEXT";
    if (has(type, "decimal")) return decimalType(precision, scale);
    if (has(type, "single")) return "REAL";
    // Whole numbers beyond Long Integer: Large Number where the file has it, else a Decimal
    // wide enough for every value.
    if (type == "adbigint") return wholeNumberType(true, features);
    if (type == "adunsignedbigint") return wholeNumberType(false, features);
    if (type == "adunsignedint")  // MEDIUMINT UNSIGNED (8 digits) fits Long Integer
        return precision >= 1 && precision <= 8 ? "INT" : wholeNumberType(true, features);
    if (has(type, "int")) return "INT";
    if (has(type, "binary")) return "OLEOBJECT";  // bytes would not survive a Text column
    if (has(type, "numeric")) return decimalType(precision, scale);
    if (has(type, "date")) return "DATETIME";
    if (has(type, "timestamp")) return dateTimeType(scale, features);
    if (has(type, "double")) return "FLOAT";
    return "VARCHAR";
}

}  // namespace

std::string wholeNumberType(bool fitsLargeNumber, const db::AccessFileFeatures& features) {
    return fitsLargeNumber && features.largeNumber ? "BIGINT" : "DECIMAL(20,0)";
}

std::string dateTimeType(int fractionDigits, const db::AccessFileFeatures& features) {
    return fractionDigits > 0 && features.extendedDate ? std::string(kExtendedDateTimeType)
                                                       : "DATETIME";
}

std::string createTableHead(std::string_view table) {
    return "CREATE TABLE " + db::quoteMySqlName(table) + "(";
}

std::string dropTableStatement(std::string_view table) {
    return "DROP TABLE " + db::quoteMySqlName(table);
}

std::string lowerTypeName(int typeCode) {
    std::string s(db::dataTypeNameText(db::typeCode16(typeCode)));
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string decimalType(int precision, int scale, bool upperCase) {
    // A precision above Access's keeps the field's scale as far as the field's whole digits
    // fit beside it, and at least half the digits for whole numbers: DECIMAL(65,30) becomes
    // DECIMAL(28,14), where (28,28) would refuse every value from 1 on, and DECIMAL(40,4) keeps
    // its four fraction digits.
    const int p = std::clamp(precision, 1, kAccessMaxPrecision);
    const int whole = std::max(precision - std::max(scale, 0), 0);
    const int s = std::clamp(std::min(scale, std::max(p - whole, p / 2)), 0, p);
    return (upperCase ? "DECIMAL(" : "decimal(") + std::to_string(p) + "," + std::to_string(s) +
           ")";
}

std::string defaultColumnType(Direction target, int typeCode, int precision, int scale,
                              const db::AccessFileFeatures& features) {
    const std::string type = lowerTypeName(typeCode);
    return target == Direction::AccessToMySql ? mySqlType(type)
                                              : accessType(type, precision, scale, features);
}

void appendDefaultColumn(std::string& statement, Direction target, std::string_view fieldName,
                         int typeCode, int precision, int scale,
                         const db::AccessFileFeatures& features) {
    statement += db::quoteMySqlName(fieldName);
    statement += ' ';
    statement += defaultColumnType(target, typeCode, precision, scale, features);
    statement += ',';
}

void completeDefaultCreate(std::string& statement, Direction target,
                           std::span<const db::FieldInfo> fields,
                           const db::AccessFileFeatures& features) {
    for (const auto& f : fields)
        appendDefaultColumn(statement, target, f.name, f.type, f.precision, f.scale, features);
    if (!statement.empty()) statement.pop_back();
    statement += target == Direction::MySqlToAccess ? ");" : ")";
}

}  // namespace transfer
