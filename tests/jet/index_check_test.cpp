// The index check: it finds nothing wrong in any file Access wrote, and it finds, in words that
// say where, each kind of damage made on purpose in copies: a changed key, an entry for a row
// that is not there, a row without its entry, a page missing from the usage map, a broken page
// chain, the same key twice in a primary key.
#include <gtest/gtest.h>

#include <fstream>

#include "db/jet/base/error.h"
#include "db/jet/check/index_check.h"
#include "db/jet/database/database.h"
#include "db/jet/index/index_btree.h"
#include "db/jet/table/data_page.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

jet::OpenOptions rw() {
    jet::OpenOptions o;
    o.mode = jet::OpenMode::ReadWrite;
    return o;
}

std::vector<std::string> everyFixture() {
    std::vector<std::string> out;
    for (const std::string& rel : testenv::accessFixtureFiles())
        if (rel.find("encrypted/") == std::string::npos || fs::path(rel).extension() != ".accdb")
            out.push_back(rel);
    return out;
}

// The pages of an index, written through the pager (no usage-map upkeep: these tests damage
// files on purpose).
class WritablePages : public jet::IndexPages {
  public:
    explicit WritablePages(jet::Pager& pager) : pager_(pager) {}
    jet::PageRef read(std::uint32_t page) override { return pager_.page(page); }
    void write(std::uint32_t page, const std::vector<std::uint8_t>& image) override {
        pager_.writablePage(page)->bytes = image;
    }
    std::uint32_t allocate() override {
        return pager_.allocatePage(jet::page_type::kIndexLeaf)->number;
    }
    void release(std::uint32_t page) override { pager_.freePage(page); }

  private:
    jet::Pager& pager_;
};

// Clears the bit of `page` in the inline usage map at `reference`.
void clearInlineMapBit(jet::Pager& pager, std::uint32_t reference, std::uint32_t page) {
    const auto p = pager.writablePage(reference >> 8);
    const jet::ByteReader r(p->span(), "page");
    const jet::DataPage dp(r, pager.format());
    const auto slot = dp.slot(static_cast<std::uint16_t>(reference & 0xFF));
    ASSERT_EQ(p->bytes[slot.start], 0x00) << "an inline map";
    const std::uint32_t first = r.u32(slot.start + 1);
    const std::uint32_t bit = page - first;
    p->bytes[slot.start + 5 + bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
}

TEST(IndexCheck, FindsNothingWrongInAnyFileAccessWrote) {
    DM_REQUIRE_FIXTURE("access/V2010/indexTestV2010.accdb");
    std::size_t indexes = 0;
    for (const auto& f : everyFixture()) {
        SCOPED_TRACE(f);
        auto db = jet::Database::open((testenv::fixturesDir() / f).string(), {});
        const auto report = jet::checkIndexes(*db);
        for (const auto& p : report.problems)
            ADD_FAILURE() << p;
        indexes += report.indexesChecked;
    }
    EXPECT_GE(indexes, 500u);
}

// A copy of indexTestV2003 and the first index of Table1 (not unique, on 'id').
class Damaged : public testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(testenv::fixturesDir() / kFile)) GTEST_SKIP() << "no fixture";
        file = dir.copyFixture(kFile);
        db = jet::Database::open(file.string(), rw());
        def = db->tableDef(*db->catalog().findTable("Table1"));
        index = def->indexes[0];
    }
    // Runs `change` on the index's tree inside a committed statement, then checks the file.
    jet::IndexCheckReport after(
        const std::function<void(jet::IndexTree&, WritablePages&)>& change) {
        db->writeStatement([&] {
            WritablePages pages(db->pager());
            jet::IndexTree tree(pages, db->format(), index.firstPage, def->page);
            change(tree, pages);
        });
        db.reset();
        auto again = jet::Database::open(file.string(), {});
        return jet::checkIndexes(*again);
    }
    std::vector<jet::IndexEntry> entries() {
        std::vector<jet::IndexEntry> out;
        jet::ReadOnlyIndexPages pages(db->pager());
        jet::IndexTree(pages, db->format(), index.firstPage, def->page)
            .forEach([&](const jet::IndexEntry& e) { out.push_back(e); });
        return out;
    }
    static constexpr const char* kFile = "access/V2003/indexTestV2003.mdb";
    testenv::TempDir dir;
    fs::path file;
    std::unique_ptr<jet::Database> db;
    std::shared_ptr<const jet::TableDef> def;
    jet::PhysicalIndex index;
};

TEST_F(Damaged, AnEntryForARowThatIsNotThere) {
    const auto first = entries().front();
    const auto report = after([&](jet::IndexTree& tree, WritablePages&) {
        auto e = first;
        e.row.row = 77;
        tree.insert(e);
    });
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0], "table 'Table1', index 'id': an entry points to page " +
                                      std::to_string(first.row.page) +
                                      " row 77, which holds no row with that key");
}

TEST_F(Damaged, ARowWithoutItsEntryAndAChangedKey) {
    const auto first = entries().front();
    const auto report = after([&](jet::IndexTree& tree, WritablePages&) {
        ASSERT_TRUE(tree.remove(first));
        auto changed = first;
        changed.key.back() ^= 0x40;
        tree.insert(changed);
    });
    const std::string at =
        "page " + std::to_string(first.row.page) + " row " + std::to_string(first.row.row);
    ASSERT_EQ(report.problems.size(), 2u);
    EXPECT_EQ(report.problems[0], "table 'Table1', index 'id': the row at " + at + " has no entry");
    EXPECT_EQ(report.problems[1], "table 'Table1', index 'id': an entry points to " + at +
                                      ", which holds no row with that key");
}

TEST_F(Damaged, APageOutsideTheUsageMap) {
    const auto report = after([&](jet::IndexTree&, WritablePages&) {
        clearInlineMapBit(db->pager(), index.usageMapRef, index.firstPage);
    });
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0], "table 'Table1', index 'id': page " +
                                      std::to_string(index.firstPage) +
                                      " of the index is not in its usage map");
}

TEST_F(Damaged, ABrokenChainOfPages) {
    const auto first = entries().front();
    const auto report = after([&](jet::IndexTree& tree, WritablePages& pages) {
        // Grow the index to several leaves, then cut the link between the first two.
        auto e = first;
        for (int i = 0; i < 2000; ++i) {
            e.row = {0x200000u + static_cast<std::uint32_t>(i), 0};
            tree.insert(e);
        }
        const auto root =
            jet::decodeIndexPage(db->format(), pages.read(index.firstPage)->span(), 0);
        ASSERT_FALSE(root.leaf);
        auto leaf = jet::decodeIndexPage(db->format(), pages.read(root.entries[0].child)->span(),
                                         root.entries[0].child);
        leaf.next = 0;
        pages.write(leaf.number, jet::encodeIndexPage(db->format(), leaf));
    });
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_NE(report.problems[0].find("table 'Table1', index 'id': The database file is damaged: "
                                      "an index page names the wrong next page"),
              std::string::npos)
        << report.problems[0];
}

TEST_F(Damaged, TheSameKeyTwiceInAPrimaryKey) {
    // The second row's 'id' made equal to the first row's, in the row itself.
    const auto all = entries();
    ASSERT_GE(all.size(), 2u);
    const jet::ColumnDef& id = *def->column("id");
    const auto report = after([&](jet::IndexTree&, WritablePages&) {
        const auto first = db->pager().page(all[0].row.page);
        const jet::ByteReader r1(first->span(), "page");
        const jet::DataPage dp1(r1, db->format());
        const std::size_t from = dp1.slot(all[0].row.row).start + 2 + id.fixedOffset;
        const std::vector<std::uint8_t> value(first->bytes.begin() + from,
                                              first->bytes.begin() + from + 4);
        const auto second = db->pager().writablePage(all[1].row.page);
        const jet::ByteReader r2(second->span(), "page");
        const jet::DataPage dp2(r2, db->format());
        const std::size_t to = dp2.slot(all[1].row.row).start + 2 + id.fixedOffset;
        std::copy(value.begin(), value.end(), second->bytes.begin() + to);
    });
    bool twice = false;
    for (const auto& p : report.problems)
        if (p.rfind("table 'Table1', index 'PrimaryKey': the rows at ", 0) == 0 &&
            p.find("have the same key in a unique index") != std::string::npos)
            twice = true;
    EXPECT_TRUE(twice);
    EXPECT_GE(report.problems.size(), 5u);  // and the entries of both indexes no longer match
}

}  // namespace
