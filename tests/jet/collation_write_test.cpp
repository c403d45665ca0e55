// Names and indexed text in many scripts, written through SQL into copies of the empty files of
// every writable version: the catalogue's index of names (General Legacy before Access 2010,
// General after) and a primary key over text take Latin letters with accents, punctuation,
// currency signs, Greek, Cyrillic and kana. After reopening, the engine lists every table and
// reads its rows back, its integrity check (entries against rows, usage maps, free pages) finds
// nothing wrong, and mdbtools lists the same names.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "db/jet/base/error.h"
#include "db/jet/check/check.h"
#include "db/jet/check/index_check.h"
#include "db/jet/index/text_collation.h"
#include "tests/jet/table_write_support.h"

namespace {

namespace fs = std::filesystem;
using tablewrite::WritableCopy;

const char* const kEmptyFiles[] = {
    "access/empty/empty.mdb",       "access/empty/empty2003.mdb",   "access/empty/empty2007.accdb",
    "access/empty/empty2010.accdb", "access/empty/empty2016.accdb", "access/empty/empty2019.accdb",
};

// Names with characters beyond the few the fixtures' own keys showed: z, umlauts and ß,
// parentheses, Greek, Cyrillic, the euro sign, Polish and Czech letters, an apostrophe
// and a hyphen (unprintable in both orders), typographic quotes and a dash.
const char* const kNames[] = {
    "Z\u00fcrich Sales (2024)",
    "Gr\u00f6\u00dfe",
    "\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac",  // Ελληνικά
    "\u041f\u0438\u0446\u0446\u0430",                    // Пицца
    "Price \u20ac",
    "\u0141\u00f3d\u017a i \u010ce\u0161tina",  // Łódź i Čeština
    "O'Brien-Smith \u201cquoted\u201d \u2013 \u00a7 1",
};

void expectSound(jet::Database& db) {
    const auto report = jet::checkDatabase(db);
    for (const auto& p : report.problems())
        ADD_FAILURE() << p;
    EXPECT_EQ(tablewrite::checkAllTables(db), std::vector<std::string>{});
    const auto indexes = jet::checkIndexes(db);
    EXPECT_GE(indexes.indexesChecked, 3u);
}

std::string bracketed(const std::string& name) {
    return "[" + name + "]";
}

// A text literal of the Access dialect.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// The sort order of the catalogue's names in `db`.
jet::TextCollation::Order nameOrder(jet::Database& db) {
    const auto def = db.tableDef(*db.catalog().findTable("MSysObjects"));
    for (const auto& c : def->columns)
        if (c.name == "Name") {
            const auto* collation = jet::TextCollation::forColumn(db.format(), c);
            if (collation) return collation->order();
        }
    ADD_FAILURE() << "MSysObjects has no indexed Name column of a known sort order";
    return jet::TextCollation::Order::GeneralLegacy;
}

class ManyScripts : public testing::TestWithParam<const char*> {};

TEST_P(ManyScripts, NamesOfTablesAreIndexedInTheCatalogue) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        copy.exec("CREATE TABLE " + bracketed(name) + " (`id` INT, `city` VARCHAR(50))");
        copy.exec("INSERT INTO " + bracketed(name) + " VALUES (1, 'Z\u00fcrich')");
        copy.exec("INSERT INTO " + bracketed(name) +
                  " VALUES (2, '\u041c\u043e\u0441\u043a\u0432\u0430')");
        copy.exec("INSERT INTO " + bracketed(name) + " VALUES (3, NULL)");
    }
    // Names compare without case: the same name in capitals is taken.
    const jet::Error e = copy.refused("CREATE TABLE [\u041f\u0418\u0426\u0426\u0410] (`a` INT)");
    EXPECT_EQ(e.message(), "Table '\u041f\u0438\u0446\u0446\u0430' already exists.");
    // General keys ü as "ue", so there the catalogue's unique index of names already holds this
    // one, and the refusal says so; General Legacy keys it as u with an accent.
    const auto before = copy.bytes();
    if (nameOrder(copy.db()) == jet::TextCollation::Order::General) {
        const jet::Error e2 = copy.refused("CREATE TABLE [Zuerich Sales (2024)] (`a` INT)");
        EXPECT_EQ(e2.kind(), jet::ErrorKind::TableExists);
        EXPECT_EQ(e2.message(),
                  "Table 'Z\u00fcrich Sales (2024)' already exists: in the sort order of this "
                  "database (General) 'Zuerich Sales (2024)' is the same name.");
        EXPECT_TRUE(copy.bytes() == before) << "the refused table left changes";
    } else {
        copy.exec("CREATE TABLE [Zuerich Sales (2024)] (`a` INT)");
        copy.exec("DROP TABLE [Zuerich Sales (2024)]");
    }

    copy.reopen();
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(copy.hasTable(name));
        const auto rows = copy.rows(name);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0][1], db::Value::text("Z\u00fcrich"));
        EXPECT_EQ(rows[1][1], db::Value::text("\u041c\u043e\u0441\u043a\u0432\u0430"));
        EXPECT_TRUE(rows[2][1].isNull());
    }
    expectSound(copy.db());

    copy.close();
    const auto listed = tablewrite::splitLines(copy.mdbTables());
    for (const char* name : kNames)
        EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end())
            << name << " is not listed by mdb-tables";
    const auto exported = copy.mdbExport(kNames[0]);
    ASSERT_EQ(exported.size(), 4u);
    EXPECT_EQ(tablewrite::splitFields(exported[1]).at(1), "Z\u00fcrich");
}

TEST_P(ManyScripts, APrimaryKeyOverTextInEveryScriptStaysUniqueWithoutCase) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE `Words`(`word` VARCHAR(100) PRIMARY KEY, `n` INT)");
    // The new column takes the sort order of the database (General in Access 2010 and 2016).
    const auto def = copy.db().tableDef(*copy.db().catalog().findTable("Words"));
    const auto* collation = jet::TextCollation::forColumn(copy.db().format(), def->columns.at(0));
    ASSERT_NE(collation, nullptr);
    EXPECT_EQ(collation->order(), nameOrder(copy.db()));
    const bool general = std::string(GetParam()).find("2010") != std::string::npos ||
                         std::string(GetParam()).find("2016") != std::string::npos;
    EXPECT_EQ(collation->order() == jet::TextCollation::Order::General, general);
    const std::string words[] = {
        "pizza",
        "Z\u00fcrich",
        "Zurich",
        "Gr\u00f6\u00dfe",
        "\u03b1\u03b2\u03b3",              // αβγ
        "\u03ac\u03b2\u03b3",              // άβγ: an accent makes a different key
        "\u043f\u0438\u0446\u0446\u0430",  // пицца
        "\u20ac 5,00",
        "\u0142\u00f3d\u017a",       // łódź
        "e\u0301t\u00e9",            // e + combining acute, then é
        "\u3072\u3089\u304c\u306a",  // ひらがな
        "\u3072\u3083",              // ひゃ: small ゃ
        "\u3072\u3084",              // ひや
        "O'Brien",
        "OBrien",
        "x-ray \u2013 \u2018quoted\u2019",
        "\u01c6-\u01c6",  // ǆ-ǆ
    };
    int n = 0;
    for (const auto& w : words)
        copy.exec("INSERT INTO `Words` VALUES(" + quoted(w) + ", " + std::to_string(++n) + ")");
    // Each of these equals a key already there: another case, or a decomposed accent.
    const std::string duplicates[] = {
        "PIZZA",
        "\u041f\u0418\u0426\u0426\u0410",  // ПИЦЦА
        "\u0391\u0392\u0393",              // ΑΒΓ
        "\u00e9t\u00e9",                   // été, held already with a combining acute
        "\u0141\u00d3D\u0179",             // ŁÓDŹ
    };
    for (const auto& d : duplicates) {
        const auto e = copy.refused("INSERT INTO `Words` VALUES(" + quoted(d) + ", 0)");
        EXPECT_EQ(e.kind(), jet::ErrorKind::Constraint) << d << ": " << e.message();
    }
    copy.reopen();
    expectSound(copy.db());
    const auto rows = copy.rows("Words");
    ASSERT_EQ(rows.size(), std::size(words));
    std::set<std::string> back;
    for (const auto& r : rows)
        back.insert(r[0].asText());
    for (const auto& w : words)
        EXPECT_EQ(back.count(w), 1u) << w;
    copy.close();
    EXPECT_EQ(copy.mdbExport("Words").size(), std::size(words) + 1);
}

INSTANTIATE_TEST_SUITE_P(EveryWritableVersion, ManyScripts, testing::ValuesIn(kEmptyFiles),
                         [](const testing::TestParamInfo<const char*>& i) {
                             return fs::path(i.param).stem().string();
                         });

TEST(ManyScripts, AnAccessFileOfTheGeneralSortOrderTakesNewNamesBesideItsTables) {
    // A file Access 2010 made, with tables and indexes of its own.
    const char* fixture = "access/V2010/testV2010.accdb";
    DM_REQUIRE_FIXTURE(fixture);
    WritableCopy copy(fixture);
    const auto table1 = copy.rows("Table1");
    copy.exec("CREATE TABLE [Zoo (Z\u00fcrich)] (`name` VARCHAR(40) PRIMARY KEY)");
    copy.exec("INSERT INTO [Zoo (Z\u00fcrich)] VALUES ('Zebra')");
    copy.exec("INSERT INTO [Zoo (Z\u00fcrich)] VALUES ('\u0396\u03ad\u03b2\u03c1\u03b1')");
    copy.reopen();
    expectSound(copy.db());
    EXPECT_EQ(copy.rows("Zoo (Z\u00fcrich)").size(), 2u);
    EXPECT_EQ(copy.rows("Table1"), table1);
    copy.close();
    EXPECT_NE(copy.mdbTables().find("Zoo (Z\u00fcrich)"), std::string::npos);
    EXPECT_NE(copy.mdbTables().find("Table1"), std::string::npos);
}

}  // namespace
