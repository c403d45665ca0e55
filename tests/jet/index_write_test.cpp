// Indexes written through SQL into copies of real files, in every writable version: primary
// keys of new tables grown over many pages in random order and dropped again, indexes Access
// made (descending numbers, long text in both sort orders) grown several levels deep, text keys
// that compare without letter case, names and values whose characters have no known code
// refused before anything is written, and the count of distinct keys each index keeps. After
// the changes the file is opened again and the engine's check (index entries against rows,
// usage maps, free pages) and mdb-export agree that it is sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "db/jet/base/error.h"
#include "db/jet/check/check.h"
#include "db/jet/check/index_check.h"
#include "db/jet/index/index_btree.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/usage_map.h"
#include "db/jet/write/table_indexes.h"
#include "tests/jet/table_write_support.h"
#include "tests/support/run_program.h"

namespace {

namespace fs = std::filesystem;
using tablewrite::WritableCopy;

// The check finds nothing wrong, and it looked at the indexes.
void expectSound(jet::Database& db) {
    const auto report = jet::checkDatabase(db);
    for (const auto& p : report.problems())
        ADD_FAILURE() << p;
    const auto indexes = jet::checkIndexes(db);
    EXPECT_GE(indexes.indexesChecked, 3u);
}

const jet::TableDef& defOf(jet::Database& db, const std::string& table) {
    static std::shared_ptr<const jet::TableDef> keep;
    keep = db.tableDef(*db.catalog().findTable(table));
    return *keep;
}

std::vector<std::uint32_t> treePages(jet::Database& db, const jet::TableDef& def,
                                     std::size_t index) {
    jet::ReadOnlyIndexPages pages(db.pager());
    return jet::IndexTree(pages, db.format(), def.indexes[index].firstPage, def.page).pages();
}

std::size_t treeEntries(jet::Database& db, const jet::TableDef& def, std::size_t index) {
    jet::ReadOnlyIndexPages pages(db.pager());
    std::size_t n = 0;
    jet::IndexTree(pages, db.format(), def.indexes[index].firstPage, def.page)
        .forEach([&](const jet::IndexEntry&) { ++n; });
    return n;
}

jet::OpenOptions rw() {
    jet::OpenOptions o;
    o.mode = jet::OpenMode::ReadWrite;
    return o;
}

struct StoredRow {
    std::vector<std::uint8_t> bytes;
    jet::RowId where;
};

std::vector<StoredRow> rowsOf(jet::Database& db, const jet::TableDef& def) {
    std::vector<StoredRow> out;
    jet::TableScan scan(db.pager(), def);
    while (scan.next())
        out.push_back(
            {std::vector<std::uint8_t>(scan.row().span().begin(), scan.row().span().end()),
             {scan.currentPage(), static_cast<std::uint8_t>(scan.currentSlot())}});
    return out;
}

using Entries = std::vector<std::pair<std::vector<std::uint8_t>, jet::RowId>>;

// Every index's entries, table by table.
std::map<std::string, std::vector<Entries>> allEntries(jet::Database& db) {
    std::map<std::string, std::vector<Entries>> out;
    jet::ReadOnlyIndexPages pages(db.pager());
    for (const auto& e : db.catalog().entries()) {
        if (e.type != jet::object_type::kTable) continue;
        const auto def = db.tableDef(e);
        for (const auto& ix : def->indexes) {
            jet::IndexTree tree(pages, db.format(), ix.firstPage, def->page);
            Entries entries;
            tree.forEach([&](const jet::IndexEntry& en) { entries.push_back({en.key, en.row}); });
            out[e.name].push_back(std::move(entries));
        }
    }
    return out;
}

// A refused statement leaves the file byte for byte as it was.
void expectRefusedUnchanged(WritableCopy& copy, const std::string& sql, jet::ErrorKind kind,
                            const std::string& message) {
    const auto before = copy.bytes();
    const jet::Error e = copy.refused(sql);
    EXPECT_EQ(e.kind(), kind) << sql;
    EXPECT_EQ(e.message(), message) << sql;
    EXPECT_TRUE(copy.bytes() == before) << "the file changed after: " << sql;
}

const char* const kEmptyFiles[] = {
    "access/empty/empty.mdb",       "access/empty/empty2003.mdb",   "access/empty/empty2007.accdb",
    "access/empty/empty2010.accdb", "access/empty/empty2016.accdb", "access/empty/empty2019.accdb",
};

class PrimaryKey : public testing::TestWithParam<const char*> {};

TEST_P(PrimaryKey, GrowsOverManyPagesInRandomOrderAndGoesWithItsTable) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE `Orders`(`id` INT PRIMARY KEY, `placed` DATETIME, `note` VARCHAR(40))");
    std::vector<int> ids(4000);
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = static_cast<int>(i) * 7 - 9000;  // negative and positive keys
    std::shuffle(ids.begin(), ids.end(), std::mt19937(3));
    copy.db().beginTransaction();
    for (int id : ids)
        copy.exec("INSERT INTO `Orders` VALUES(" + std::to_string(id) + ", '2024-02-" +
                  std::to_string(1 + (id & 15)) + " 10:00:00', 'order " + std::to_string(id) +
                  "')");
    copy.db().commitTransaction();
    copy.reopen();
    expectSound(copy.db());
    const jet::TableDef& def = defOf(copy.db(), "Orders");
    ASSERT_EQ(def.indexes.size(), 1u);
    EXPECT_EQ(treeEntries(copy.db(), def, 0), ids.size());
    const auto pages = treePages(copy.db(), def, 0);
    EXPECT_GE(pages.size(), 10u);  // 9-byte entries: at least 10 leaves and a root
    // Each of the 4000 keys was new once.
    EXPECT_EQ(def.indexes[0].rowCount, ids.size());
    // Refused twice: a key it holds, and no key at all.
    const auto dup =
        copy.refused("INSERT INTO `Orders` VALUES(" + std::to_string(ids[17]) + ", NULL, 'again')");
    EXPECT_EQ(dup.kind(), jet::ErrorKind::Constraint);
    const auto none = copy.refused("INSERT INTO `Orders` (`note`) VALUES('no key')");
    EXPECT_EQ(none.kind(), jet::ErrorKind::Constraint);
    // mdb-export reads every row.
    copy.close();
    EXPECT_EQ(copy.mdbExport("Orders").size(), ids.size() + 1);
    copy.reopen();

    copy.exec("DROP TABLE `Orders`");
    copy.reopen();
    expectSound(copy.db());
    for (std::uint32_t p : pages)
        EXPECT_TRUE(copy.db().pager().isFree(p)) << "index page " << p << " is still in use";
}

INSTANTIATE_TEST_SUITE_P(EveryWritableVersion, PrimaryKey, testing::ValuesIn(kEmptyFiles),
                         [](const testing::TestParamInfo<const char*>& i) {
                             return fs::path(i.param).stem().string();
                         });

TEST(IndexWrite, AnIndexAccessMadeOfDescendingNumbersGrowsADeeperTree) {
    DM_REQUIRE_FIXTURE("access/V2000/compIndexTestV2000.mdb");
    WritableCopy copy("access/V2000/compIndexTestV2000.mdb");
    const std::size_t before = treeEntries(copy.db(), defOf(copy.db(), "Table1"), 0);
    copy.db().beginTransaction();
    std::mt19937 rng(11);
    for (int i = 0; i < 6000; ++i)
        copy.exec("INSERT INTO `Table1` VALUES(" + std::to_string(rng() % 100000) +
                  ", 'Mart\u00ednez', 'Pe\u00f1a " + std::to_string(i) + "')");
    copy.db().commitTransaction();
    copy.reopen();
    expectSound(copy.db());
    EXPECT_EQ(treeEntries(copy.db(), defOf(copy.db(), "Table1"), 0), before + 6000);
    copy.close();
    EXPECT_EQ(copy.mdbExport("Table1").size(), before + 6000 + 1);
}

TEST(IndexWrite, LongTextKeysInTheGeneralSortOrderGrowThreeLevels) {
    DM_REQUIRE_FIXTURE("access/V2010/bigIndexTestV2010.accdb");
    WritableCopy copy("access/V2010/bigIndexTestV2010.accdb");
    // Letters of the alphabet, 200 of them a key.
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    std::mt19937 rng(5);
    copy.db().beginTransaction();
    for (int i = 0; i < 1500; ++i) {
        std::string v;
        for (int k = 0; k < 200; ++k)
            v += letters[rng() % letters.size()];
        copy.exec("INSERT INTO `Table1` VALUES('" + v + "', 'row " + std::to_string(i) + "')");
    }
    copy.db().commitTransaction();
    // An index that is not unique refuses a key it cannot make just the same, before the row
    // is written.
    expectRefusedUnchanged(copy, "INSERT INTO `Table1` VALUES('rocket \U0001F680', 'x')",
                           jet::ErrorKind::NotSupported,
                           "The column 'col1' cannot index the character U+1F680 in this sort "
                           "order (General).");
    copy.reopen();
    expectSound(copy.db());
    const jet::TableDef& def = defOf(copy.db(), "Table1");
    EXPECT_EQ(treeEntries(copy.db(), def, 0), 1500u);
    // Three levels: the root names intermediate pages.
    jet::ReadOnlyIndexPages pages(copy.db().pager());
    const auto root = jet::decodeIndexPage(
        copy.db().format(), copy.db().pager().page(def.indexes[0].firstPage)->span(), 0);
    ASSERT_FALSE(root.leaf);
    const auto child = jet::decodeIndexPage(
        copy.db().format(), copy.db().pager().page(root.entries[0].child)->span(), 0);
    EXPECT_FALSE(child.leaf);
    copy.close();
    EXPECT_EQ(copy.mdbExport("Table1").size(), 1501u);
}

// Each index counts the keys it was given (the count beside its row count in the table
// definition); after inserts only, that is the number of distinct keys, wherever in the tree the
// equal keys came to lie: beside the new entry on its page, on the page before or after it
// (rows put on earlier pages sort before the equal keys of rows made earlier), or across a split.
TEST(IndexWrite, EachIndexCountsTheDistinctKeysItWasGiven) {
    WritableCopy copy("access/empty/empty2003.mdb");
    copy.exec(
        "CREATE TABLE `Calls`(`id` INT PRIMARY KEY, `caller` VARCHAR(60), `line` SMALLINT, "
        "`note` VARCHAR(255))");
    copy.exec("CREATE INDEX `ByCaller` ON `Calls` (`caller`)");
    copy.exec("CREATE UNIQUE INDEX `ByLine` ON `Calls` (`line`, `id`)");
    copy.exec("CREATE INDEX `LineOnly` ON `Calls` (`line`)");
    std::vector<int> ids(5000);
    for (int i = 0; i < 5000; ++i)
        ids[static_cast<std::size_t>(i)] = i;
    std::mt19937 rng(11);
    std::shuffle(ids.begin(), ids.end(), rng);
    std::set<std::string> callers;
    std::set<int> lines;
    bool nullCaller = false;
    copy.db().beginTransaction();
    for (std::size_t k = 0; k < ids.size(); ++k) {
        const int id = ids[k];
        // Long keys, so that pages split often and equal keys straddle pages.
        const int c = static_cast<int>(rng() % 600);
        const int line = static_cast<int>(rng() % 40);
        std::string caller = "'caller number " + std::to_string(c) + " of the long list'";
        if (c == 0) {
            caller = "NULL";
            nullCaller = true;
        } else {
            callers.insert(caller);
        }
        lines.insert(line);
        // Rows of very different lengths: a short one may go onto an earlier page with room, so
        // that its entries sort before entries of the same key made earlier.
        const std::string note(rng() % 4 == 0 ? 250 : rng() % 8, 'n');
        copy.exec("INSERT INTO `Calls` VALUES(" + std::to_string(id) + ", " + caller + ", " +
                  std::to_string(line) + ", '" + note + "')");
        if (k == 2500) {
            copy.db().commitTransaction();
            copy.db().beginTransaction();
        }
    }
    copy.db().commitTransaction();
    copy.reopen();
    const jet::TableDef& def = defOf(copy.db(), "Calls");
    std::map<std::string, std::uint32_t> counted;
    for (const auto& l : def.logicalIndexes)
        counted[l.name] = def.indexes.at(l.physicalIndex).rowCount;
    EXPECT_EQ(counted["ByCaller"], callers.size() + (nullCaller ? 1u : 0u));
    EXPECT_EQ(counted["ByLine"], 5000u);
    EXPECT_EQ(counted["LineOnly"], lines.size());
    for (const auto& l : def.logicalIndexes) {
        if (l.name == "ByCaller") {
            EXPECT_GT(treePages(copy.db(), def, l.physicalIndex).size(), 20u);
        }
    }
    EXPECT_TRUE(tablewrite::checkTable(copy.db(), "Calls").empty());
}

TEST(IndexWrite, TextKeysIgnoreLetterCaseButNotAccents) {
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    WritableCopy copy("access/empty/empty2003.mdb");
    copy.exec("CREATE TABLE `People`(`name` VARCHAR(50) PRIMARY KEY, `age` INT)");
    copy.exec("INSERT INTO `People` VALUES('M\u00fcller', 40)");
    copy.exec("INSERT INTO `People` VALUES('Muller', 41)");
    const auto e = copy.refused("INSERT INTO `People` VALUES('M\u00dcLLER', 42)");
    EXPECT_EQ(e.kind(), jet::ErrorKind::Constraint);
    EXPECT_EQ(e.message(),
              "The row would put a value into the index 'PrimaryKey' of table 'People' that it "
              "holds already; the index allows each value only once.");
    // Trailing spaces do not count either.
    EXPECT_EQ(copy.refused("INSERT INTO `People` VALUES('Muller  ', 43)").kind(),
              jet::ErrorKind::Constraint);
    copy.reopen();
    expectSound(copy.db());
    EXPECT_EQ(copy.rows("People").size(), 2u);
}

TEST(IndexWrite, CharactersWithoutKnownCodesAreRefusedBeforeAnythingIsWritten) {
    // Characters outside the Basic Multilingual Plane have codes only where Access's own keys
    // showed them (U+1F600 to U+1F64F in General).
    DM_REQUIRE_FIXTURE("access/empty/empty2010.accdb");
    {
        WritableCopy copy("access/empty/empty2010.accdb");
        copy.exec("CREATE TABLE `T`(`code` VARCHAR(20) PRIMARY KEY)");
        copy.exec("INSERT INTO `T` VALUES('abc')");
        copy.exec("INSERT INTO `T` VALUES('smile \U0001F600')");
        expectRefusedUnchanged(copy, "INSERT INTO `T` VALUES('rocket \U0001F680')",
                               jet::ErrorKind::NotSupported,
                               "The column 'code' cannot index the character U+1F680 in this sort "
                               "order (General).");
        // The catalogue's own index of names has the same sort order.
        expectRefusedUnchanged(copy, "CREATE TABLE `Rocket \U0001F680`(`a` INT)",
                               jet::ErrorKind::NotSupported,
                               "The column 'Name' cannot index the character U+1F680 in this sort "
                               "order (General).");
        copy.reopen();
        expectSound(copy.db());
        EXPECT_EQ(copy.rows("T").size(), 2u);
    }
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    WritableCopy copy("access/empty/empty2003.mdb");
    expectRefusedUnchanged(copy, "CREATE TABLE `Smile \U0001F600`(`a` INT)",
                           jet::ErrorKind::NotSupported,
                           "The column 'Name' cannot index the character U+1F600 in this sort "
                           "order (General Legacy).");
    copy.exec("CREATE TABLE `Caf\u00e9 M\u00fcnchen`(`a` INT)");
    copy.reopen();
    expectSound(copy.db());
}

// Every entry of every index of tables Access made, taken out and put back in another order,
// leaves the same indexes.
const char* const kIndexedFixtures[] = {
    "access/V2000/indexTestV2000.mdb",     "access/V2003/indexTestV2003.mdb",
    "access/V2007/indexTestV2007.accdb",   "access/V2010/indexTestV2010.accdb",
    "access/V2000/compIndexTestV2000.mdb", "access/V2010/binIdxTestV2010.accdb",
    "access/V2019/extDateTestV2019.accdb",
};

class EveryEntry : public testing::TestWithParam<const char*> {};

TEST_P(EveryEntry, TakenOutAndPutBackLeavesTheSameIndexes) {
    DM_REQUIRE_FIXTURE(GetParam());
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture(GetParam());
    std::map<std::string, std::vector<Entries>> before;
    std::size_t tables = 0;
    {
        auto db = jet::Database::open(file.string(), rw());
        before = allEntries(*db);
        db->beginTransaction();
        for (const auto& name : db->userTableNames()) {
            const auto def = db->tableDef(*db->catalog().findTable(name));
            if (def->indexes.empty()) continue;
            jet::TableIndexes ix(db->pager(), *def, name);
            const jet::ValueDecoder values(db->pager(), db->codePage());
            ix.requireWritable();
            auto rows = rowsOf(*db, *def);
            jet::Database::Statement out(*db);
            for (const auto& r : rows) {
                const jet::ByteReader br(r.bytes, "row");
                ix.remove(jet::RowView(br, db->format(), def->varColumns > 0), values, r.where);
            }
            out.commit();
            // Emptied, every index is its root alone, and its usage map says so.
            for (const auto& pix : def->indexes) {
                jet::ReadOnlyIndexPages pages(db->pager());
                jet::IndexTree tree(pages, db->format(), pix.firstPage, def->page);
                EXPECT_EQ(tree.pages(), std::vector<std::uint32_t>{pix.firstPage});
                EXPECT_EQ(jet::UsageMap::readReference(db->pager(), pix.usageMapRef)->pages(),
                          std::vector<std::uint32_t>{pix.firstPage});
            }
            std::shuffle(rows.begin(), rows.end(), std::mt19937(7));
            jet::Database::Statement in(*db);
            for (const auto& r : rows) {
                const jet::ByteReader br(r.bytes, "row");
                const jet::RowView view(br, db->format(), def->varColumns > 0);
                ix.check(view, values);
                ix.insert(view, values, r.where);
            }
            in.commit();
            ++tables;
        }
        db->commitTransaction();
    }
    EXPECT_GE(tables, 1u);
    auto db = jet::Database::open(file.string(), {});
    expectSound(*db);
    EXPECT_EQ(allEntries(*db), before);
    // An independent reader still reads every table.
    for (const auto& name : db->userTableNames()) {
        const auto r = testenv::runProgram({"mdb-export", file.string(), name});
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EveryEntry, testing::ValuesIn(kIndexedFixtures),
                         [](const testing::TestParamInfo<const char*>& i) {
                             std::string n = fs::path(i.param).stem().string();
                             return n;
                         });

TEST(IndexUsageMaps, MoveTheirStartThenTurnIntoReferences) {
    DM_REQUIRE_FIXTURE("access/V2010/indexTestV2010.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2010/indexTestV2010.accdb");
    auto db = jet::Database::open(file.string(), rw());
    const auto def = db->tableDef(*db->catalog().findTable("Table1"));
    const std::uint32_t ref = def->indexes[0].usageMapRef;
    auto pagesOf = [&] { return jet::UsageMap::readReference(db->pager(), ref)->pages(); };
    const auto original = pagesOf();
    ASSERT_EQ(original.size(), 1u);
    db->beginTransaction();
    // Pages for the map to list: appended to the file so that they exist.
    std::vector<std::uint32_t> fresh;
    for (int i = 0; i < 3; ++i)
        fresh.push_back(db->pager().allocatePage(jet::page_type::kData)->number);
    // Far beyond the inline map's reach of 512 pages: the file must grow that far first.
    std::uint32_t far = 0;
    while (db->pager().pageCount() < original[0] + 2000)
        far = db->pager().allocatePage(jet::page_type::kData)->number;
    jet::addToUsageMap(db->pager(), ref, fresh[0]);
    jet::addToUsageMap(db->pager(), ref, fresh[0]);  // twice: no change
    auto expected = original;
    expected.push_back(fresh[0]);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(pagesOf(), expected);
    jet::removeFromUsageMap(db->pager(), ref, original[0]);
    // Only fresh pages now: one that lies before the map's start moves it.
    jet::addToUsageMap(db->pager(), ref, 3);
    EXPECT_EQ(pagesOf(), (std::vector<std::uint32_t>{3, fresh[0]}));
    jet::addToUsageMap(db->pager(), ref, far);
    EXPECT_EQ(pagesOf(), (std::vector<std::uint32_t>{3, fresh[0], far}));
    jet::removeFromUsageMap(db->pager(), ref, 3);
    jet::removeFromUsageMap(db->pager(), ref, 12345678);  // not there: nothing happens
    EXPECT_EQ(pagesOf(), (std::vector<std::uint32_t>{fresh[0], far}));
    db->commitTransaction();
    db.reset();
    db = jet::Database::open(file.string(), {});
    EXPECT_EQ(jet::UsageMap::readReference(db->pager(), ref)->pages(),
              (std::vector<std::uint32_t>{fresh[0], far}));
}

}  // namespace
