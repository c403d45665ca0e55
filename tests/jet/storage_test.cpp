// Rows as Access leaves them after changes: deleted rows still in their slots, rows moved to
// overflow pages, columns deleted from a table whose rows still carry them. The fixtures hold
// each case; the tests check the case is really there and that the rows read are the live ones.
#include <gtest/gtest.h>

#include "db/jet/database/database.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/table/usage_map.h"
#include "tests/support/test_env.h"

namespace {

struct SlotCounts {
    int live = 0, deleted = 0, overflow = 0;
};

SlotCounts slotsOf(jet::Database& db, const std::string& table) {
    auto def = db.tableDef(*db.catalog().findTable(table));
    const auto map = jet::UsageMap::readReference(db.pager(), def->ownedPagesRef);
    SlotCounts c;
    for (auto p : map->pages()) {
        const auto page = db.pager().page(p);
        const jet::ByteReader r(page->span(), "page", p);
        const jet::DataPage dp(r, db.format());
        if (dp.type() != jet::page_type::kData || dp.owner() != def->page) continue;
        for (std::uint16_t i = 0; i < dp.rowCount(); ++i) {
            const auto s = dp.slot(i);
            if (s.deleted)
                ++c.deleted;
            else if (s.overflow)
                ++c.overflow;
            else
                ++c.live;
        }
    }
    return c;
}

std::vector<std::vector<db::Value>> rowsOf(jet::Database& db, const std::string& table) {
    auto reader = db.openTable(table);
    std::vector<std::vector<db::Value>> rows;
    std::vector<db::Value> row;
    while (reader->next(row))
        rows.push_back(row);
    EXPECT_EQ(reader->rowCount(), rows.size());
    return rows;
}

std::unique_ptr<jet::Database> open(const std::string& rel) {
    return jet::Database::open((testenv::fixturesDir() / rel).string(), {});
}

db::Value t(const char* s) {
    return db::Value::text(s);
}

TEST(StoredRows, DeletedRowsAreSkipped) {
    // (The Access 97 copy of this fixture was compacted; its deleted rows are gone.)
    for (const char* f : {"access/V2000/delTestV2000.mdb", "access/V2003/delTestV2003.mdb"}) {
        DM_REQUIRE_FIXTURE(f);
        SCOPED_TRACE(f);
        auto db = open(f);
        const SlotCounts c = slotsOf(*db, "Table");
        EXPECT_GT(c.deleted, 0) << "the fixture no longer has deleted rows";
        const auto rows = rowsOf(*db, "Table");
        EXPECT_EQ(rows, (std::vector<std::vector<db::Value>>{{t("z"), t("y")}, {t("v"), t("u")}}));
        EXPECT_EQ(static_cast<int>(rows.size()), c.live + c.overflow);
    }
}

TEST(StoredRows, OverflowRowsAreFollowed) {
    for (const char* f :
         {"access/V2000/overflowTestV2000.mdb", "access/V2003/overflowTestV2003.mdb"}) {
        DM_REQUIRE_FIXTURE(f);
        SCOPED_TRACE(f);
        auto db = open(f);
        const SlotCounts c = slotsOf(*db, "Table1");
        EXPECT_GT(c.overflow, 0) << "the fixture no longer has overflow rows";
        const auto rows = rowsOf(*db, "Table1");
        ASSERT_EQ(rows.size(), 7u);
        // Rows 3 and 6 were changed until they no longer fitted their page.
        EXPECT_EQ(rows[2][1], t("row3col3"));
        EXPECT_EQ(rows[2][7], t("row3col9"));
        EXPECT_EQ(rows[5][2], t("row6col3"));
        EXPECT_EQ(rows[6][5], t("row7col7"));
        EXPECT_EQ(static_cast<int>(rows.size()), c.live + c.overflow);
    }
}

TEST(StoredRows, DeletedColumnsStayInRowsButNotInTheTable) {
    for (const char* f : {"access/V2000/delColTestV2000.mdb"}) {
        DM_REQUIRE_FIXTURE(f);
        SCOPED_TRACE(f);
        auto db = open(f);
        auto reader = db->openTable("Table1");
        EXPECT_GT(reader->def().maxColumns, reader->def().columns.size());
        std::vector<std::string> names;
        for (const auto& c : reader->columns())
            names.push_back(c.def->name);
        EXPECT_EQ(names, (std::vector<std::string>{"id", "id2", "data", "data2"}));
        const auto rows = rowsOf(*db, "Table1");
        EXPECT_EQ(rows, (std::vector<std::vector<db::Value>>{
                            {db::Value::integer(0), db::Value::integer(2), t("foo"), t("foo2")},
                            {db::Value::integer(3), db::Value::integer(5), t("bar"), t("bar2")}}));
    }
}

TEST(StoredRows, TheCountComesFromThePagesNotTheDefinition) {
    DM_REQUIRE_FIXTURE("access/V2010/calcFieldTestV2010.accdb");
    auto db = open("access/V2010/calcFieldTestV2010.accdb");
    auto reader = db->openTable("Table1");
    // Access left the definition's count at 3 after a fourth row was added.
    EXPECT_EQ(reader->def().rowCount, 3u);
    EXPECT_EQ(reader->rowCount(), 4u);
    EXPECT_EQ(rowsOf(*db, "Table1").size(), 4u);
}

}  // namespace
