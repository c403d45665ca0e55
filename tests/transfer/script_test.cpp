// The default column mappings and the script's statements and layout.
#include <gtest/gtest.h>

#include <vector>

#include "db/backend.h"
#include "transfer/column_mapping.h"
#include "transfer/script_builder.h"
#include "transfer/value_render.h"

using db::Value;
using transfer::defaultColumnType;
using transfer::Direction;
namespace ad = db::adtype;

namespace {

db::FieldInfo field(std::string name, int type, int precision = 0, int scale = 0) {
    db::FieldInfo f;
    f.name = std::move(name);
    f.type = type;
    f.precision = precision;
    f.scale = scale;
    return f;
}

}  // namespace

TEST(MySqlMapping, KeepsEveryDigitAndByte) {
    EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, ad::kSingle, 7, 0), "FLOAT");
    EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, ad::kDouble, 15, 0), "DOUBLE");
    EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, ad::kLongVarWChar, 0, 0), "LONGTEXT");
    EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, ad::kLongVarChar, 0, 0), "LONGTEXT");
    EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, ad::kLongVarBinary, 0, 0), "LONGBLOB");
    EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, ad::kVarBinary, 16, 0), "LONGBLOB");
    EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, ad::kBinary, 16, 0), "LONGBLOB");
}

TEST(MySqlMapping, OtherRowsAsTheTableSays) {
    for (int t : {ad::kVarWChar, ad::kWChar, ad::kChar, ad::kVarChar})
        EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, t, 0, 0), "text") << t;
    for (int t : {ad::kInteger, ad::kSmallInt, ad::kTinyInt, ad::kUnsignedTinyInt,
                  ad::kUnsignedSmallInt, ad::kUnsignedInt, ad::kUnsignedBigInt})
        EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, t, 0, 0), "INT") << t;
    // Access's Large Number holds 64 bits.
    EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, ad::kBigInt, 19, 0), "BIGINT");
    for (int t : {ad::kDecimal, ad::kNumeric, ad::kCurrency, ad::kBoolean, ad::kDate,
                  ad::kDBTimeStamp, ad::kDBTime, ad::kGuid, 15, 0})
        EXPECT_EQ(defaultColumnType(Direction::AccessToMySql, t, 18, 4), "text") << t;
}

TEST(AccessMapping, KeepsFractions) {
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kSingle, 7, 0), "REAL");
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kNumeric, 10, 2), "DECIMAL(10,2)");
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kDecimal, 18, 4), "DECIMAL(18,4)");
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, 139, 12, 3),
              "DECIMAL(12,3)");  // adVarNumeric
    // Access holds at most 28 digits; the scale never exceeds the precision.
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kNumeric, 65, 30), "DECIMAL(28,14)");
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kNumeric, 30, 29), "DECIMAL(28,27)");
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kNumeric, 40, 4), "DECIMAL(28,4)");
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kNumeric, 0, 0), "DECIMAL(1,0)");
}

TEST(AccessMapping, OtherRowsAsTheTableSays) {
    for (int t :
         {ad::kChar, ad::kWChar, ad::kVarChar, ad::kVarWChar, ad::kLongVarChar, ad::kLongVarWChar})
        EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, t, 0, 0), "TEXT") << t;
    for (int t :
         {ad::kInteger, ad::kSmallInt, ad::kTinyInt, ad::kUnsignedTinyInt, ad::kUnsignedSmallInt})
        EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, t, 0, 0), "INT") << t;
    // Beyond Long Integer: Large Number where the file has it, else 20 digits of Decimal; an
    // unsigned 64-bit value may pass Large Number and always takes the Decimal. MEDIUMINT
    // UNSIGNED (8 digits) fits Long Integer, INT UNSIGNED (10) does not.
    const db::AccessFileFeatures ace16{true, false};
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kUnsignedInt, 8, 0), "INT");
    for (int t : {ad::kBigInt, ad::kUnsignedInt, ad::kUnsignedBigInt})
        EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, t, 10, 0), "DECIMAL(20,0)") << t;
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kBigInt, 19, 0, ace16), "BIGINT");
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kUnsignedInt, 10, 0, ace16),
              "BIGINT");
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kUnsignedBigInt, 20, 0, ace16),
              "DECIMAL(20,0)");
    // Fractions of a second: Date/Time Extended where the file has it.
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kDBTimeStamp, 26, 6, {true, true}),
              std::string(transfer::kExtendedDateTimeType));
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kDBTimeStamp, 26, 6, ace16),
              "DATETIME");
    for (int t : {ad::kLongVarBinary, ad::kVarBinary, ad::kBinary})
        EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, t, 0, 0), "OLEOBJECT") << t;
    for (int t : {ad::kDate, ad::kDBDate, ad::kDBTimeStamp})
        EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, t, 0, 0), "DATETIME") << t;
    EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, ad::kDouble, 0, 0), "FLOAT");
    for (int t : {ad::kBoolean, ad::kCurrency, ad::kDBTime, ad::kGuid, 15, ad::kEmpty})
        EXPECT_EQ(defaultColumnType(Direction::MySqlToAccess, t, 0, 0), "VARCHAR") << t;
}

TEST(CreateStatement, MySqlHasNoTerminatorAndBareCommas) {
    std::string s = transfer::createTableHead("Orders");
    std::vector<db::FieldInfo> f{field("ID", ad::kInteger), field("Name", ad::kVarWChar)};
    transfer::completeDefaultCreate(s, Direction::AccessToMySql, f);
    EXPECT_EQ(s, "CREATE TABLE `Orders`(`ID` INT,`Name` text)");
}

TEST(CreateStatement, AccessEndsWithSemicolon) {
    std::string s = transfer::createTableHead("orders");
    std::vector<db::FieldInfo> f{field("id", ad::kInteger), field("name", ad::kVarChar),
                                 field("price", ad::kNumeric, 10, 2)};
    transfer::completeDefaultCreate(s, Direction::MySqlToAccess, f);
    EXPECT_EQ(s, "CREATE TABLE `orders`(`id` INT,`name` TEXT,`price` DECIMAL(10,2));");
}

TEST(CreateStatement, NamesKeepTheirCharactersWithEveryBackquoteDoubled) {
    std::string s = transfer::createTableHead("a b");
    std::vector<db::FieldInfo> f{field("we`ird", ad::kInteger)};
    transfer::completeDefaultCreate(s, Direction::AccessToMySql, f);
    EXPECT_EQ(s, "CREATE TABLE `a b`(`we``ird` INT)");
    EXPECT_EQ(transfer::dropTableStatement("Orders"), "DROP TABLE `Orders`");
}

TEST(CreateStatement, AHostileColumnNameStaysOneNameAndMakesNoQueryOfItsOwn) {
    // Written between backquotes as it stood, this name ended the column list and made
    // CREATE TABLE ... SELECT fill the table with the server's user and version.
    const std::string hostile = "x` text) SELECT CONCAT(user(),' on ',version()) AS x #";
    std::string s = transfer::createTableHead("t");
    std::vector<db::FieldInfo> f{field("id", ad::kInteger), field(hostile, ad::kVarWChar)};
    transfer::completeDefaultCreate(s, Direction::AccessToMySql, f);
    EXPECT_EQ(s,
              "CREATE TABLE `t`(`id` INT,`x`` text) SELECT CONCAT(user(),' on ',version()) AS x "
              "#` text)");
    // A table name of that kind stays one name in the DROP, CREATE and INSERT lines too.
    const std::string table = "t` UNION SELECT 2,CONCAT(user(),' ',version())#";
    EXPECT_EQ(transfer::dropTableStatement(table),
              "DROP TABLE `t`` UNION SELECT 2,CONCAT(user(),' ',version())#`");
    EXPECT_EQ(transfer::createTableHead(table),
              "CREATE TABLE `t`` UNION SELECT 2,CONCAT(user(),' ',version())#`(");
    EXPECT_EQ(transfer::insertHead(table),
              "INSERT INTO `t`` UNION SELECT 2,CONCAT(user(),' ',version())#` VALUES(");
}

TEST(RowStatement, NullToDefaultGivesTheDefaultOnlyForNull) {
    const db::Value empty = db::Value::text("");
    EXPECT_EQ(&transfer::NullToDefault(db::Value::null(), empty), &empty);
    const db::Value zero = db::Value::integer(0);
    EXPECT_EQ(&transfer::NullToDefault(zero, empty), &zero);
    const db::Value blank = db::Value::text("");
    EXPECT_EQ(&transfer::NullToDefault(blank, zero), &blank);  // an empty text is no Null
}

TEST(RowStatement, ValuesSeparatedByCommaAndSpace) {
    const std::vector<Value> row{Value::integer(7), Value::null(), Value::text("don't")};
    EXPECT_EQ(transfer::rowStatement(Direction::AccessToMySql, "Orders", row),
              "INSERT INTO `Orders` VALUES('7', NULL, 'don''t')");
    const std::vector<Value> nulls{Value::null(), Value::null()};
    EXPECT_EQ(transfer::rowStatement(Direction::MySqlToAccess, "T", nulls),
              "INSERT INTO `T` VALUES(NULL, NULL)");
}

TEST(ScriptLayout, DropCreateRowsAndTheEmptyLines) {
    transfer::ScriptBuilder b(Direction::AccessToMySql);
    b.appendDropTable("T");
    b.appendCreateTable("CREATE TABLE `T`(`a` INT,`b` text)");
    b.beginRows("T");
    b.appendRow(std::vector<Value>{Value::integer(1), Value::text("x\r\ny")});
    EXPECT_EQ(b.lastStatement(), "INSERT INTO `T` VALUES('1', 'x\\r\\ny')");
    b.appendRow(std::vector<Value>{Value::integer(2), Value::boolean(true)});
    EXPECT_EQ(b.lastStatement(), "INSERT INTO `T` VALUES('2', 1)");
    b.endTable();
    EXPECT_EQ(b.lastStatement(), "");
    EXPECT_EQ(b.text(),
              "DROP TABLE `T`\r\n\r\n"
              "CREATE TABLE `T`(`a` INT,`b` text)\r\n\r\n"
              "INSERT INTO `T` VALUES('1', 'x\\r\\ny')\r\n"
              "INSERT INTO `T` VALUES('2', 1)\r\n"
              "\r\n");
}

TEST(ScriptLayout, AnEmptyTableAndASecondTable) {
    transfer::ScriptBuilder b(Direction::MySqlToAccess);
    b.appendCreateTable("CREATE TABLE `E`(`a` INT);");
    b.beginRows("E");
    b.endTable();
    b.appendCreateTable("CREATE TABLE `F`(`a` TEXT);");
    b.beginRows("F");
    b.appendRow(std::vector<Value>{Value::text("it's")});
    b.endTable();
    const std::string script = b.take();
    EXPECT_EQ(script,
              "CREATE TABLE `E`(`a` INT);\r\n\r\n\r\n"
              "CREATE TABLE `F`(`a` TEXT);\r\n\r\n"
              "INSERT INTO `F` VALUES('it''s')\r\n\r\n");
    EXPECT_EQ(b.text(), "");
    EXPECT_EQ(b.lastStatement(), "");
}
