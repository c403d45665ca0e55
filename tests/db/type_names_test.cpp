// Type names: the 39 exact names of the ADO codes, the codes that have none, and the names the
// fields of real Access columns carry.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "db/type_names.h"
#include "tests/support/test_env.h"

namespace {

// The field type codes of ADO's DataTypeEnum, as its reference lists them (by name): the one
// statement of them in the tests.
struct Named {
    const char* name;
    int code;
};

const Named kDataTypeEnum[] = {
    {"adBigInt", 20},
    {"adBinary", 128},
    {"adBoolean", 11},
    {"adBSTR", 8},
    {"adChapter", 136},
    {"adChar", 129},
    {"adCurrency", 6},
    {"adDate", 7},
    {"adDBDate", 133},
    {"adDBTime", 134},
    {"adDBTimeStamp", 135},
    {"adDecimal", 14},
    {"adDouble", 5},
    {"adEmpty", 0},
    {"adError", 10},
    {"adFileTime", 64},
    {"adGUID", 72},
    {"adIDispatch", 9},
    {"adInteger", 3},
    {"adIUnknown", 13},
    {"adLongVarBinary", 205},
    {"adLongVarChar", 201},
    {"adLongVarWChar", 203},
    {"adNumeric", 131},
    {"adPropVariant", 138},
    {"adSingle", 4},
    {"adSmallInt", 2},
    {"adTinyInt", 16},
    {"adUnsignedBigInt", 21},
    {"adUnsignedInt", 19},
    {"adUnsignedSmallInt", 18},
    {"adUnsignedTinyInt", 17},
    {"adUserDefined", 132},
    {"adVarBinary", 204},
    {"adVarChar", 200},
    {"adVariant", 12},
    {"adVarNumeric", 139},
    {"adVarWChar", 202},
    {"adWChar", 130},
};

int codeNamed(std::string_view name) {
    for (const auto& n : kDataTypeEnum)
        if (name == n.name) return n.code;
    ADD_FAILURE() << name << " is not a name of DataTypeEnum";
    return -1;
}

// The field type an Access column is reported with, by what the engine reads from the file's
// table definition: its kind (for a calculated column, the kind of its result) and, for text
// and binary columns, whether its length is fixed.
struct AccessKind {
    jet::ColumnType type;
    bool fixed;
    const char* field;
};

const AccessKind kAccessKinds[] = {
    {jet::ColumnType::Boolean, false, "adBoolean"},
    {jet::ColumnType::Byte, false, "adUnsignedTinyInt"},
    {jet::ColumnType::Integer, false, "adSmallInt"},
    {jet::ColumnType::Long, false, "adInteger"},
    {jet::ColumnType::Currency, false, "adCurrency"},
    {jet::ColumnType::Single, false, "adSingle"},
    {jet::ColumnType::Double, false, "adDouble"},
    {jet::ColumnType::DateTime, false, "adDate"},
    {jet::ColumnType::ExtDateTime, false, "adDBTimeStamp"},
    {jet::ColumnType::Text, false, "adVarWChar"},
    {jet::ColumnType::Text, true, "adWChar"},
    {jet::ColumnType::Memo, false, "adLongVarWChar"},
    {jet::ColumnType::Complex, false, "adLongVarWChar"},
    {jet::ColumnType::Ole, false, "adLongVarBinary"},
    {jet::ColumnType::Binary, false, "adVarBinary"},
    {jet::ColumnType::Guid, false, "adGUID"},
    {jet::ColumnType::Decimal, false, "adNumeric"},
};

const char* const kFixtures[] = {
    "access/V2010/testV2010.accdb",
    "access/V1997/testIndexCodesV1997.mdb",
    "access/V2000/fixedNumericTestV2000.mdb",
    "access/V2000/fixedTextTestV2000.mdb",
    "access/V2010/binIdxTestV2010.accdb",
    "access/V2019/extDateTestV2019.accdb",
    "access/V2007/complexDataTestV2007.accdb",
    "access/V2010/calcFieldTestV2010.accdb",
    "access/V2000/test2V2000.mdb",
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

TEST(DataTypeName, EveryCodeOfDataTypeEnumHasItsNameAndNoOtherCodeHasOne) {
    static_assert(std::size(kDataTypeEnum) == 39);
    for (const auto& n : kDataTypeEnum) {
        auto name = db::DataTypeName(static_cast<std::int16_t>(n.code));
        ASSERT_TRUE(name.has_value()) << n.name;
        EXPECT_EQ(*name, n.name) << n.code;
    }
    std::set<std::string_view> names;
    for (int code = -32768; code <= 32767; ++code) {
        const auto name = db::DataTypeName(static_cast<std::int16_t>(code));
        if (!name) continue;
        EXPECT_TRUE(names.insert(*name).second) << *name << " names two codes";
        EXPECT_EQ(codeNamed(*name), code) << *name;
    }
    EXPECT_EQ(names.size(), 39u);
}

// Every column of real files, as the Access backend reports it: its field type is the code of
// the name its kind of column has, and that code has that name.
TEST(DataTypeName, TheFieldsOfTheFixturesColumnsHaveTheNamesOfTheirKinds) {
    std::set<const AccessKind*> seen;
    for (const char* rel : kFixtures) {
        DM_REQUIRE_FIXTURE(rel);
        SCOPED_TRACE(rel);
        const std::string path = (testenv::fixturesDir() / rel).string();
        auto engine = jet::Database::open(path, {});
        db::Connection cn;
        db::LoginFields login;
        login.accessPath = path;
        cn.open(db::buildAccessConnectionString(login));
        for (const std::string& table : engine->userTableNames()) {
            SCOPED_TRACE(table);
            auto reader = engine->openTable(table);
            auto rs = cn.execute("SELECT * FROM [" + table + "]");
            for (const auto& column : reader->columns()) {
                const jet::ColumnType type = column.valueType;
                const bool fixed = column.def->fixed() && (type == jet::ColumnType::Text ||
                                                           type == jet::ColumnType::Binary);
                const AccessKind* kind = nullptr;
                for (const auto& k : kAccessKinds)
                    if (k.type == type && k.fixed == fixed) kind = &k;
                if (!kind) continue;  // a kind the engine does not interpret
                seen.insert(kind);
                const int type16 = rs->field(column.def->name).type();
                EXPECT_EQ(type16, codeNamed(kind->field)) << column.def->name;
                EXPECT_EQ(db::dataTypeNameText(db::typeCode16(type16)), kind->field)
                    << column.def->name;
            }
        }
    }
    // The fixtures hold a column of every kind.
    EXPECT_EQ(seen.size(), std::size(kAccessKinds));
}

TEST(DataTypeName, UnlistedCodesGiveNoValueAndTheEmptyText) {
    for (int code : {1, 15, 137, 140, 206, 8192 + 202, 8192, -1}) {
        EXPECT_FALSE(db::DataTypeName(static_cast<std::int16_t>(code)).has_value()) << code;
        EXPECT_EQ(db::dataTypeNameText(static_cast<std::int16_t>(code)), "") << code;
    }
    // Code 0 is a listed name, not the missing value.
    EXPECT_EQ(db::dataTypeNameText(0), "adEmpty");
}

TEST(DataTypeName, CodesAreTakenAsSixteenBits) {
    EXPECT_EQ(db::dataTypeNameText(db::typeCode16(202 + 65536)), "adVarWChar");
    EXPECT_EQ(db::dataTypeNameText(db::typeCode16(65535)), "");
}

TEST(DataTypeName, LowerCasedNamesHoldTheSubstringsTheMappingsTestFor) {
    auto lowered = [](int code) { return lower(db::dataTypeNameText(db::typeCode16(code))); };
    for (int code : {17, 2, 20})
        EXPECT_NE(lowered(code).find("int"), std::string::npos) << code;
    for (int code : {202, 201, 130})
        EXPECT_NE(lowered(code).find("char"), std::string::npos) << code;
    EXPECT_NE(lowered(133).find("date"), std::string::npos);
    EXPECT_EQ(lowered(135).find("date"), std::string::npos);
    EXPECT_EQ(lowered(134).find("date"), std::string::npos);
}
