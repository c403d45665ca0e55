// The row and table-definition encoders, checked by reading their output back with the engine's
// own decoders: every fixed and variable type, nulls, Yes/No in the null mask, compressed text,
// definitions that span pages.
#include <gtest/gtest.h>

#include "db/jet/base/byte_reader.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/page/file.h"
#include "db/jet/page/journal.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/value_codec.h"
#include "db/jet/write/row_encoder.h"
#include "db/jet/write/table_def_writer.h"
#include "db/jet/write/value_encoder.h"

namespace {

using jet::ColumnPlan;
using jet::ColumnType;
const jet::Format& kJet4 = jet::Format::of(jet::Version::Jet4);

jet::TableDef tableOf(const std::vector<ColumnPlan>& plans) {
    jet::TableDef t;
    t.columns = jet::layoutColumns(plans, {});
    t.maxColumns = static_cast<std::uint16_t>(t.columns.size());
    for (const auto& c : t.columns)
        if (!c.fixed()) ++t.varColumns;
    return t;
}

// Encodes `values` (one per column) as a row and decodes it again.
std::vector<db::Value> roundTrip(const jet::TableDef& t, const std::vector<db::Value>& values) {
    std::vector<jet::RowField> fields;
    for (std::size_t i = 0; i < values.size(); ++i) {
        jet::RowField f;
        const auto& c = t.columns[i];
        if (c.type == ColumnType::Boolean) {
            f.present = !values[i].isNull() && values[i].asBoolean();
        } else if (!values[i].isNull()) {
            f.present = true;
            f.bytes = jet::encodeValue(c, values[i]);
        }
        fields.push_back(std::move(f));
    }
    const auto row = jet::encodeRow(kJet4, t, fields);
    EXPECT_EQ(row.size(), jet::encodedRowSize(kJet4, t, fields));
    jet::Pager pager(std::make_unique<jet::MemoryFile>(std::vector<std::uint8_t>(4096)), kJet4);
    const jet::ValueDecoder decoder(pager, jet::CodePage::get(1252));
    const jet::ByteReader reader(row, "row");
    const jet::RowView view(reader, kJet4, t.varColumns > 0);
    std::vector<db::Value> out;
    for (const auto& c : t.columns)
        out.push_back(decoder.decode(jet::ColumnDecoder::make(c, 0), view));
    return out;
}

ColumnPlan plan(const char* name, ColumnType type, std::uint16_t size = 0) {
    ColumnPlan p;
    p.name = name;
    p.type = type;
    p.size = size;
    return p;
}

TEST(RowEncoder, EveryFixedAndVariableTypeReadsBack) {
    ColumnPlan dec = plan("dec", ColumnType::Decimal);
    dec.precision = 28;
    dec.scale = 6;
    const auto t = tableOf({plan("txt", ColumnType::Text, 20), plan("yes", ColumnType::Boolean),
                            plan("byte", ColumnType::Byte), plan("int", ColumnType::Integer),
                            plan("long", ColumnType::Long), plan("big", ColumnType::BigInt),
                            plan("money", ColumnType::Currency), plan("sgl", ColumnType::Single),
                            plan("dbl", ColumnType::Double), plan("date", ColumnType::DateTime),
                            plan("guid", ColumnType::Guid), dec, plan("bin", ColumnType::Binary, 8),
                            plan("no", ColumnType::Boolean), plan("txt2", ColumnType::Text, 5)});
    db::Guid g;
    ASSERT_TRUE(db::parseGuid("{00112233-4455-6677-8899-AABBCCDDEEFF}", g));
    db::Decimal d;
    d.negative = true;
    d.unscaled = "9999999999999999999999999999";
    d.precision = 28;
    d.scale = 6;
    const std::vector<db::Value> values = {
        db::Value::text("h\xC3\xA9llo \xF0\x9F\x98\x80"),
        db::Value::boolean(true),
        db::Value::integer(255),
        db::Value::integer(-32768),
        db::Value::integer(-2147483648LL),
        db::Value::integer(std::numeric_limits<std::int64_t>::max()),
        db::Value::currency({-9223372036854775807LL}),
        db::Value::single(-1.5e-38f),
        db::Value::doubleValue(1.7976931348623157e308),
        db::Value::dateTime({1899, 12, 29, 6, 0, 0, 0}),
        db::Value::guid(g),
        db::Value::decimal(d),
        db::Value::binary({0, 1, 2, 0xFF}),
        db::Value::boolean(false),
        db::Value::text(""),
    };
    EXPECT_EQ(roundTrip(t, values), values);
}

TEST(RowEncoder, NullsAnywhereAndTablesWithoutVariableColumns) {
    const auto t = tableOf({plan("a", ColumnType::Text, 10), plan("b", ColumnType::Long),
                            plan("c", ColumnType::Text, 10), plan("d", ColumnType::Memo)});
    std::vector<db::Value> values = {db::Value::null(), db::Value::null(), db::Value::text("x"),
                                     db::Value::null()};
    EXPECT_EQ(roundTrip(t, values), values);
    values = {db::Value::text("a"), db::Value::integer(1), db::Value::null(), db::Value::null()};
    EXPECT_EQ(roundTrip(t, values), values);

    const auto fixedOnly = tableOf({plan("a", ColumnType::Long), plan("b", ColumnType::Boolean)});
    EXPECT_EQ(fixedOnly.varColumns, 0);
    values = {db::Value::integer(42), db::Value::boolean(true)};
    EXPECT_EQ(roundTrip(fixedOnly, values), values);
    values = {db::Value::null(), db::Value::boolean(false)};
    EXPECT_EQ(roundTrip(fixedOnly, values), values);
}

TEST(RowEncoder, RowsOfTablesWithDeletedColumnsCarryEveryColumnNumber) {
    // Column numbers 1 and 3 were deleted: the row still has five columns and three variable
    // entries, the deleted ones empty.
    auto t = tableOf({plan("a", ColumnType::Text, 10), plan("x", ColumnType::Text, 10),
                      plan("b", ColumnType::Long), plan("y", ColumnType::Text, 10),
                      plan("c", ColumnType::Text, 10)});
    t.columns.erase(t.columns.begin() + 3);
    t.columns.erase(t.columns.begin() + 1);
    t.maxColumns = 5;
    t.varColumns = 2;
    const std::vector<db::Value> values = {db::Value::text("first"), db::Value::integer(7),
                                           db::Value::text("last")};
    EXPECT_EQ(roundTrip(t, values), values);
}

TEST(TextEncoder, CompressesOnlyWhenShorterAndPossible) {
    EXPECT_EQ(jet::encodeText("abc", false), (std::vector<std::uint8_t>{'a', 0, 'b', 0, 'c', 0}));
    EXPECT_EQ(jet::encodeText("abc", true), (std::vector<std::uint8_t>{0xFF, 0xFE, 'a', 'b', 'c'}));
    // A run of wide characters switches modes with a zero byte.
    EXPECT_EQ(jet::encodeText("abcd\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                              "efgh",
                              true),
              (std::vector<std::uint8_t>{0xFF, 0xFE, 'a', 'b', 'c', 'd', 0, 0xAC, 0x20, 0xAC, 0x20,
                                         0xAC, 0x20, 0, 'e', 'f', 'g', 'h'}));
    // Equal length is not shorter: the plain form is kept.
    EXPECT_EQ(jet::encodeText("ab\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                              "cd",
                              true),
              jet::encodeUtf16le("ab\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                                 "cd"));
    // A character with a zero low byte (U+0100) cannot be compressed; nor is a text that would
    // not get shorter.
    EXPECT_EQ(jet::encodeText("\xC4\x80"
                              "abc",
                              true),
              jet::encodeUtf16le("\xC4\x80"
                                 "abc"));
    EXPECT_EQ(jet::encodeText("\xE2\x82\xAC", true), jet::encodeUtf16le("\xE2\x82\xAC"));
    for (const char* s : {"plain ascii", "mixed \xE2\x82\xAC and \xF0\x9F\x98\x80 text", "x"}) {
        const auto bytes = jet::encodeText(s, true);
        EXPECT_EQ(jet::decodeUnicodeText(bytes), s);
    }
}

TEST(ValueEncoder, DecimalGuidAndExtendedDateBytes) {
    db::Decimal d;
    d.negative = true;
    d.unscaled = "4294967297";  // 2^32 + 1
    EXPECT_EQ(jet::encodeDecimal(d),
              (std::vector<std::uint8_t>{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
    db::Guid g;
    ASSERT_TRUE(db::parseGuid("{00112233-4455-6677-8899-AABBCCDDEEFF}", g));
    EXPECT_EQ(jet::encodeGuid(g),
              (std::vector<std::uint8_t>{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99,
                                         0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));
    const auto ext = jet::encodeExtendedDate({2021, 6, 14, 12, 45, 0, 0});
    EXPECT_EQ(std::string(ext.begin(), ext.end() - 1), "0000000000000737954:0000000459000000000:7");
    EXPECT_EQ(ext.back(), 0);
    EXPECT_EQ(jet::extendedDateFromBytes(ext), (db::DateTime{2021, 6, 14, 12, 45, 0, 0}));
}

// Writes the definition onto pages of a memory file and reads it with readTableDef.
jet::TableDef writeAndRead(const jet::NewTableDef& def, std::uint32_t firstPage) {
    const auto bytes = jet::encodeTableDef(kJet4, def);
    std::vector<std::uint32_t> pages;
    for (std::size_t i = 0; i < jet::tableDefPageCount(kJet4, bytes.size()); ++i)
        pages.push_back(firstPage + static_cast<std::uint32_t>(i) * 2);
    const auto images = jet::paginateTableDef(kJet4, bytes, pages);
    std::vector<std::uint8_t> file(4096 * (pages.back() + 1), 0);
    for (std::size_t i = 0; i < images.size(); ++i)
        std::copy(images[i].begin(), images[i].end(), file.begin() + 4096 * pages[i]);
    jet::Pager pager(std::make_unique<jet::MemoryFile>(std::move(file)), kJet4);
    return jet::readTableDef(pager, firstPage, jet::CodePage::get(1252));
}

TEST(TableDefWriter, ANewDefinitionReadsBackWithItsColumnsIndexAndMaps) {
    ColumnPlan id = plan("ID", ColumnType::Long);
    id.autoNumber = true;
    ColumnPlan name = plan("Name", ColumnType::Text, 50);
    name.compressed = true;
    jet::NewTableDef def;
    def.columns =
        jet::layoutColumns({id, name, plan("Notes", ColumnType::Memo),
                            plan("Paid", ColumnType::Boolean), plan("When", ColumnType::DateTime)},
                           {0x0409, 1});
    def.columns[2].ownedPagesRef = (77u << 8) | 2;
    def.columns[2].freePagesRef = (77u << 8) | 3;
    def.ownedPagesRef = (77u << 8) | 0;
    def.freePagesRef = (77u << 8) | 1;
    jet::IndexPlan pk;
    pk.name = "PrimaryKey";
    pk.columns = {0};
    pk.primaryKey = true;
    pk.flags = 0x89;
    pk.usageMapRef = (77u << 8) | 4;
    pk.rootPage = 78;
    def.indexes.push_back(pk);
    def.sortOrder = {0x0409, 1};

    const jet::TableDef t = writeAndRead(def, 10);
    ASSERT_EQ(t.columns.size(), 5u);
    EXPECT_EQ(t.maxColumns, 5);
    EXPECT_EQ(t.varColumns, 2);
    EXPECT_EQ(t.ownedPagesRef, def.ownedPagesRef);
    EXPECT_EQ(t.freePagesRef, def.freePagesRef);
    EXPECT_EQ(t.columns[0].name, "ID");
    EXPECT_TRUE(t.columns[0].autoNumber());
    EXPECT_TRUE(t.columns[0].fixed());
    EXPECT_EQ(t.columns[0].fixedOffset, 0);
    EXPECT_EQ(t.columns[1].type, ColumnType::Text);
    EXPECT_EQ(t.columns[1].length, 100);
    EXPECT_TRUE(t.columns[1].compressedUnicode());
    EXPECT_EQ(t.columns[1].varIndex, 0);
    EXPECT_EQ(t.columns[2].varIndex, 1);
    EXPECT_EQ(t.columns[2].ownedPagesRef, def.columns[2].ownedPagesRef);
    EXPECT_EQ(t.columns[2].freePagesRef, def.columns[2].freePagesRef);
    EXPECT_EQ(t.columns[3].type, ColumnType::Boolean);
    EXPECT_EQ(t.columns[4].fixedOffset, 4);  // after the Long; Yes/No takes no room
    EXPECT_EQ(t.columns[4].varIndex, 2);     // the variable columns before it
    ASSERT_EQ(t.indexes.size(), 1u);
    EXPECT_EQ(t.indexes[0].columns.size(), 1u);
    EXPECT_EQ(t.indexes[0].columns[0].columnNumber, 0);
    EXPECT_EQ(t.indexes[0].firstPage, 78u);
    EXPECT_EQ(t.indexes[0].usageMapRef, pk.usageMapRef);
    EXPECT_EQ(t.indexes[0].flags, 0x89);
    ASSERT_EQ(t.logicalIndexes.size(), 1u);
    EXPECT_EQ(t.logicalIndexes[0].name, "PrimaryKey");
    EXPECT_EQ(t.logicalIndexes[0].kind, 0x01);
}

TEST(TableDefWriter, LongDefinitionsContinueOnFurtherPages) {
    std::vector<ColumnPlan> plans;
    for (int i = 0; i < 200; ++i)
        plans.push_back(plan(("A rather long column name " + std::to_string(i)).c_str(),
                             i % 2 ? ColumnType::Text : ColumnType::Double, 30));
    jet::NewTableDef def;
    def.columns = jet::layoutColumns(plans, {});
    const auto bytes = jet::encodeTableDef(kJet4, def);
    ASSERT_GT(jet::tableDefPageCount(kJet4, bytes.size()), 2u);
    const jet::TableDef t = writeAndRead(def, 3);
    ASSERT_EQ(t.columns.size(), 200u);
    EXPECT_EQ(t.columns[199].name, "A rather long column name 199");
    EXPECT_EQ(t.pages.size(), jet::tableDefPageCount(kJet4, bytes.size()));
}

TEST(TableDefWriter, NamesLongerThanAccessAllowsAreRefused) {
    jet::NewTableDef def;
    def.columns = jet::layoutColumns({plan(std::string(65, 'n').c_str(), ColumnType::Long)}, {});
    try {
        jet::encodeTableDef(kJet4, def);
        FAIL() << "accepted";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.message(), "The column name '" + std::string(65, 'n') +
                                   "' is longer than the 64 characters Access allows.");
    }
}

}  // namespace
