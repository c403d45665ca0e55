// Type names: the 39 exact names, and the codes that have none.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "db/type_names.h"

namespace {

struct Named {
    int code;
    const char* name;
};

const Named kAll[] = {
    {0, "adEmpty"},
    {2, "adSmallInt"},
    {3, "adInteger"},
    {4, "adSingle"},
    {5, "adDouble"},
    {6, "adCurrency"},
    {7, "adDate"},
    {8, "adBSTR"},
    {9, "adIDispatch"},
    {10, "adError"},
    {11, "adBoolean"},
    {12, "adVariant"},
    {13, "adIUnknown"},
    {14, "adDecimal"},
    {16, "adTinyInt"},
    {17, "adUnsignedTinyInt"},
    {18, "adUnsignedSmallInt"},
    {19, "adUnsignedInt"},
    {20, "adBigInt"},
    {21, "adUnsignedBigInt"},
    {64, "adFileTime"},
    {72, "adGUID"},
    {128, "adBinary"},
    {129, "adChar"},
    {130, "adWChar"},
    {131, "adNumeric"},
    {132, "adUserDefined"},
    {133, "adDBDate"},
    {134, "adDBTime"},
    {135, "adDBTimeStamp"},
    {136, "adChapter"},
    {138, "adPropVariant"},
    {139, "adVarNumeric"},
    {200, "adVarChar"},
    {201, "adLongVarChar"},
    {202, "adVarWChar"},
    {203, "adLongVarWChar"},
    {204, "adVarBinary"},
    {205, "adLongVarBinary"},
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

TEST(DataTypeName, EveryListedCodeHasItsExactName) {
    static_assert(std::size(kAll) == 39);
    for (const auto& n : kAll) {
        auto name = db::DataTypeName(static_cast<std::int16_t>(n.code));
        ASSERT_TRUE(name.has_value()) << n.code;
        EXPECT_EQ(*name, n.name) << n.code;
    }
}

TEST(DataTypeName, OnlyTheListedCodesHaveNames) {
    int named = 0;
    for (int code = -32768; code <= 32767; ++code)
        if (db::DataTypeName(static_cast<std::int16_t>(code))) ++named;
    EXPECT_EQ(named, 39);
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
