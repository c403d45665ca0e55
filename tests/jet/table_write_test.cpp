// Creating, filling, copying and dropping tables in copies of real Access files of every version
// the engine writes, checked with the engine's own reader, with mdbtools, and byte for byte where
// a statement is refused.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

#include "db/jet/base/error.h"
#include "db/jet/catalog/catalog.h"
#include "db/jet/database/database.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/table_reader.h"
#include "tests/jet/table_write_support.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

using tablewrite::WritableCopy;

std::size_t pagesInUse(jet::Database& db) {
    std::size_t n = 0;
    for (std::uint32_t p = 0; p < db.pager().pageCount(); ++p)
        if (!db.pager().isFree(p)) ++n;
    return n;
}

class TableWrite : public ::testing::TestWithParam<std::string> {};

TEST_P(TableWrite, AFixtureIsSoundBeforeAnyWrite) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

TEST_P(TableWrite, CreateInsertReadBackAndDrop) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    const std::size_t usedBefore = pagesInUse(copy.db());
    copy.exec(
        "CREATE TABLE `People`(`ID` COUNTER PRIMARY KEY, `Name` VARCHAR(50) NOT NULL, "
        "`Born` DATETIME, `Height` DOUBLE, `Notes` TEXT, `Active` BIT, `Photo` IMAGE);");
    copy.exec(
        "INSERT INTO `People` (`Name`, `Born`, `Height`, `Notes`, `Active`) VALUES "
        "('Ann O''Neil', '1980-02-29 10:11:12', '1.72', 'short', 'True')");
    copy.exec("INSERT INTO `People` VALUES(NULL, 'Bo', NULL, -0.5, '" + std::string(5000, 'x') +
              "', 0, X'00FF10')");
    const auto rows = copy.rows("People");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], db::Value::integer(1));
    EXPECT_EQ(rows[0][1], db::Value::text("Ann O'Neil"));
    EXPECT_EQ(rows[0][2], db::Value::dateTime({1980, 2, 29, 10, 11, 12, 0}));
    EXPECT_EQ(rows[0][3], db::Value::doubleValue(1.72));
    EXPECT_EQ(rows[0][4], db::Value::text("short"));
    EXPECT_EQ(rows[0][5], db::Value::boolean(true));
    EXPECT_TRUE(rows[0][6].isNull());
    EXPECT_EQ(rows[1][0], db::Value::integer(2));
    EXPECT_EQ(rows[1][4], db::Value::text(std::string(5000, 'x')));
    EXPECT_EQ(rows[1][5], db::Value::boolean(false));
    EXPECT_EQ(rows[1][6], db::Value::binary({0x00, 0xFF, 0x10}));

    // mdbtools reads the same.
    const auto exported = copy.mdbExport("People");
    ASSERT_EQ(exported.size(), 3u) << copy.mdbExportRaw("People");
    EXPECT_EQ(exported[1], "1\tAnn O'Neil\t1980-02-29 10:11:12\t1.72\tshort\t1\t(null)");
    EXPECT_EQ(exported[2], "2\tBo\t(null)\t-0.5\t" + std::string(5000, 'x') + "\t0\t00FF10");

    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    copy.reopen();
    EXPECT_EQ(copy.rows("People"), rows);

    copy.exec("DROP TABLE `People`");
    EXPECT_FALSE(copy.hasTable("People"));
    EXPECT_EQ(copy.mdbTables().find("People"), std::string::npos);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    // Every page the table took is free again.
    EXPECT_EQ(pagesInUse(copy.db()), usedBefore);
    copy.reopen();
    EXPECT_FALSE(copy.hasTable("People"));
}

TEST_P(TableWrite, ATableOfThousandsOfPagesKeepsItsMapsAndGivesThemAllBack) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    const std::size_t usedBefore = pagesInUse(copy.db());
    copy.exec("CREATE TABLE big (id COUNTER PRIMARY KEY, t VARCHAR(200), m MEMO)");
    // About 3,000 pages of rows, and long values on pages of their own: more than an inline
    // usage map can reach, so the table's maps must move on or become reference maps.
    copy.db().beginTransaction();
    const std::string filler(180, 'f');
    for (int i = 0; i < 12000; ++i)
        copy.exec("INSERT INTO big (t, m) VALUES ('" + std::to_string(i) + filler + "', " +
                  (i % 40 == 0 ? "'" + std::string(3000, 'm') + "'" : std::string("NULL")) + ")");
    copy.db().commitTransaction();
    EXPECT_GT(copy.db().pager().pageCount(), 1200u);
    const auto rows = copy.rows("big");
    ASSERT_EQ(rows.size(), 12000u);
    EXPECT_EQ(rows[11999][0], db::Value::integer(12000));
    EXPECT_EQ(rows[11999][1], db::Value::text("11999" + filler));
    EXPECT_EQ(rows[11960][2], db::Value::text(std::string(3000, 'm')));
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    copy.close();
    EXPECT_EQ(copy.mdbExport("big").size(), 12001u);
    copy.reopen();
    copy.exec("DROP TABLE big");
    EXPECT_EQ(pagesInUse(copy.db()), usedBefore);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

// The values of one row of a table, by column name.
std::map<std::string, db::Value> rowWhere(WritableCopy& copy, const std::string& table,
                                          const std::string& column, const db::Value& value) {
    auto reader = copy.db().openTable(table);
    std::vector<db::Value> row;
    while (reader->next(row)) {
        std::map<std::string, db::Value> named;
        for (std::size_t i = 0; i < row.size(); ++i)
            named[reader->def().columns[i].name] = row[i];
        if (named[column] == value) return named;
    }
    return {};
}

TEST_P(TableWrite, TheCatalogueRowAndAccessRowsOfANewTableAreThoseAccessWrites) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE `Catalogued` (a INT NOT NULL, b TEXT(10))");
    copy.reopen();
    ASSERT_NE(copy.db().catalog().findTable("Catalogued"), nullptr);
    // A copy: the catalogue is read anew after every statement that is refused.
    const jet::CatalogEntry entry = *copy.db().catalog().findTable("Catalogued");
    const jet::CatalogEntry* e = &entry;
    const auto def = copy.db().tableDef(*e);
    EXPECT_EQ(static_cast<std::uint32_t>(e->id), def->page);
    EXPECT_EQ(e->parentId, copy.db().catalog().tablesContainer());
    EXPECT_EQ(e->type, jet::object_type::kTable);
    EXPECT_EQ(e->flags, 0u);

    const auto row = rowWhere(copy, "MSysObjects", "Name", db::Value::text("Catalogued"));
    const auto database = rowWhere(copy, "MSysObjects", "Name", db::Value::text("MSysDb"));
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row.at("Owner"), database.at("Owner"));
    EXPECT_EQ(row.at("DateCreate"), row.at("DateUpdate"));
    ASSERT_EQ(row.at("DateCreate").kind(), db::Value::Kind::DateTime);
    EXPECT_GE(row.at("DateCreate").asDateTime().year, 2024);

    // NOT NULL is the column's Required property, kept for Access and enforced after reopening.
    const auto props = copy.db().properties(*e);
    bool required = false;
    for (const auto& m : props)
        if (m.name == "a")
            if (const jet::Property* p = m.find("Required"))
                required = !p->value.empty() && p->value[0] != 0;
    EXPECT_TRUE(required);
    EXPECT_EQ(copy.refused("INSERT INTO Catalogued (b) VALUES ('x')").message(),
              "The column 'a' of table 'Catalogued' requires a value, but the row leaves it Null.");

    // One access row for each right the Tables container hands down, rights kept, not inherited.
    std::multiset<std::pair<std::string, std::int64_t>> inherited, given;
    auto reader = copy.db().openTable("MSysACEs");
    std::vector<db::Value> r;
    const auto& cols = reader->def().columns;
    auto col = [&](const char* name) {
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (cols[i].name == name) return i;
        return cols.size();
    };
    const std::size_t objectId = col("ObjectId"), sid = col("SID"), acm = col("ACM"),
                      inherit = col("FInheritable");
    while (reader->next(r)) {
        const std::string key = db::toHex(r[sid].asBinary());
        if (r[objectId] == db::Value::integer(copy.db().catalog().tablesContainer()) &&
            r[inherit] == db::Value::boolean(true) && r[acm] != db::Value::integer(983294))
            inherited.emplace(key, r[acm].asInteger());
        if (r[objectId] == db::Value::integer(e->id)) {
            given.emplace(key, r[acm].asInteger());
            EXPECT_EQ(r[inherit], db::Value::boolean(false));
        }
    }
    EXPECT_FALSE(given.empty());
    EXPECT_EQ(given, inherited);

    // mdbtools lists the table and its catalogue row.
    copy.close();
    EXPECT_NE(copy.mdbTables().find("Catalogued"), std::string::npos);
}

TEST_P(TableWrite, AutoNumbersContinueAfterGivenValuesAndReopening) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE n (id AUTOINCREMENT, v TEXT(5))");
    copy.exec("INSERT INTO n (v) VALUES ('a')");
    copy.exec("INSERT INTO n VALUES (10, 'b')");
    copy.exec("INSERT INTO n (v) VALUES ('c')");
    copy.exec("INSERT INTO n VALUES (5, 'd')");  // lower: the counter stays
    copy.reopen();
    copy.exec("INSERT INTO n (v) VALUES ('e')");
    std::vector<std::int64_t> ids;
    for (const auto& row : copy.rows("n"))
        ids.push_back(row[0].asInteger());
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 10, 11, 5, 12}));
    // A refused row uses no number.
    copy.refused("INSERT INTO n (v) VALUES ('toolong')");
    copy.exec("INSERT INTO n (v) VALUES ('f')");
    EXPECT_EQ(copy.rows("n").back()[0], db::Value::integer(13));
}

TEST_P(TableWrite, RenameByCopyKeepsEveryValueAndTheAutoNumber) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec(
        "CREATE TABLE `Old Name` (id COUNTER, memo LONGTEXT, pic OLEOBJECT, amount "
        "DECIMAL(20,6), price MONEY, flag YESNO, at DATETIME, g GUID, bin VARBINARY(8), "
        "txt NVARCHAR(30) WITH COMPRESSION)");
    copy.exec("INSERT INTO `Old Name` (memo, pic, amount, price, flag, at, g, bin, txt) VALUES('" +
              std::string(6000, 'q') + "', X'" + std::string(20000, 'a') +
              "', '-12345678901234.123456', '1.5', 'True', '1899-12-30 12:00:00', "
              "'{11111111-2222-3333-4444-555555555555}', X'0001', 'compress me')");
    copy.exec("INSERT INTO `Old Name` (memo) VALUES ('short')");
    const auto before = copy.rows("Old Name");
    copy.exec("SELECT a1.* INTO `New Name` FROM `Old Name` AS a1;");
    copy.exec("DROP TABLE `Old Name`");
    EXPECT_FALSE(copy.hasTable("Old Name"));
    EXPECT_EQ(copy.rows("New Name"), before);
    copy.exec("INSERT INTO `New Name` (memo) VALUES ('third')");
    EXPECT_EQ(copy.rows("New Name").back()[0], db::Value::integer(3));
    const auto def = copy.db().tableDef(*copy.db().catalog().findTable("New Name"));
    EXPECT_TRUE(def->columns[0].autoNumber());
    EXPECT_TRUE(def->columns[9].compressedUnicode());
    EXPECT_EQ(def->columns[3].precision, 20);
    EXPECT_EQ(def->columns[3].scale, 6);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(EveryWritableVersion, TableWrite,
                         ::testing::Values("access/empty/empty.mdb", "access/empty/empty2003.mdb",
                                           "access/empty/empty2007.accdb",
                                           "access/empty/empty2010.accdb",
                                           "access/empty/empty2016.accdb",
                                           "access/empty/empty2019.accdb"),
                         [](const auto& testInfo) {
                             std::string n = testInfo.param.substr(testInfo.param.rfind('/') + 1);
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

}  // namespace

namespace {

// Encoded and encrypted files stay so when tables are written into them.
class EncryptedTableWrite : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(EncryptedTableWrite, CreateFillDropAndNothingWrittenInTheClear) {
    const auto [fixture, password] = GetParam();
    DM_REQUIRE_FIXTURE(fixture);
    WritableCopy copy(fixture, password);
    const std::string secret = "SecretValueThatMustNotShow";
    copy.exec("CREATE TABLE `Hidden` (id COUNTER PRIMARY KEY, t VARCHAR(100), m MEMO)");
    copy.exec("INSERT INTO `Hidden` (t, m) VALUES ('" + secret + "', '" + secret +
              std::string(3000, 'z') + "')");
    copy.reopen();
    const auto rows = copy.rows("Hidden");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], db::Value::text(secret));
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    copy.close();
    const auto bytes = copy.bytes();
    const std::string raw(bytes.begin(), bytes.end());
    const auto wide = jet::encodeUtf16le(secret);
    EXPECT_EQ(raw.find(std::string(wide.begin(), wide.end())), std::string::npos);
    EXPECT_EQ(raw.find(secret), std::string::npos);
    copy.reopen();
    copy.exec("DROP TABLE `Hidden`");
    copy.reopen();
    EXPECT_FALSE(copy.hasTable("Hidden"));
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    EncryptedFiles, EncryptedTableWrite,
    ::testing::Values(std::make_pair("access/encrypted/db-enc.mdb", ""),
                      std::make_pair("access/encrypted/db2007-enc.accdb", "Test123"),
                      std::make_pair("access/encrypted/db2013-enc.accdb", "1234")),
    [](const auto& testInfo) {
        std::string n = std::string(testInfo.param.first).substr(17);
        for (char& c : n)
            if (c == '.' || c == '-') c = '_';
        return n;
    });

}  // namespace
