// The integrity check: every file Access wrote passes it, and damage of each kind it looks for
// is found and named.
#include <gtest/gtest.h>

#include <fstream>

#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/free_pages.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> everyFixture() {
    std::vector<std::string> out;
    for (const std::string& rel : testenv::accessFixtureFiles())
        if (rel.find("encrypted/db20") == std::string::npos) out.push_back(rel);  // not yet
    return out;
}

class CheckFixture : public testing::TestWithParam<std::string> {};

TEST_P(CheckFixture, FilesAccessWrotePass) {
    DM_REQUIRE_FIXTURE(GetParam());
    auto db = jet::Database::open((testenv::fixturesDir() / GetParam()).string(), {});
    const jet::CheckReport r = jet::checkDatabase(*db);
    for (const auto& f : r.findings)
        std::printf("  %s %s: %s\n",
                    f.severity == jet::CheckFinding::Severity::Problem ? "PROBLEM" : "note",
                    f.area.c_str(), f.message.c_str());
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.pages, db->pager().pageCount());
    EXPECT_GE(r.tables, 4u);  // MSysObjects, MSysACEs, MSysQueries, MSysRelationships
}

// Damage made inside a transaction (the check sees the pages as the transaction left them) and
// undone afterwards.
class CheckDamage : public testing::Test {
  protected:
    void SetUp() override {
        DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
        file_ = dir_.copyFixture("access/V2003/test2V2003.mdb");
        jet::OpenOptions o;
        o.mode = jet::OpenMode::ReadWrite;
        db_ = jet::Database::open(file_.string(), o);
        ASSERT_TRUE(jet::checkDatabase(*db_).ok());
        db_->beginTransaction();
        entry_ = db_->catalog().findTable("MSP_PROJECTS");
        ASSERT_NE(entry_, nullptr);
        def_ = db_->tableDef(*entry_);
    }
    void TearDown() override {
        if (db_ && db_->inTransaction()) db_->rollbackTransaction();
    }
    bool hasProblem(const jet::CheckReport& r, const std::string& text) {
        for (const auto& p : r.problems())
            if (p.find(text) != std::string::npos) return true;
        ADD_FAILURE() << "no problem saying: " << text;
        for (const auto& p : r.problems())
            std::printf("  found: %s\n", p.c_str());
        return false;
    }

    testenv::TempDir dir_;
    fs::path file_;
    std::unique_ptr<jet::Database> db_;
    const jet::CatalogEntry* entry_ = nullptr;
    std::shared_ptr<const jet::TableDef> def_;
};

TEST_F(CheckDamage, ADataPageListedFree) {
    auto reader = db_->openTable(*entry_);
    std::vector<db::Value> row;
    ASSERT_TRUE(reader->next(row));
    const std::uint32_t page = reader->currentPage();
    db_->pager().freePage(page);
    EXPECT_TRUE(hasProblem(jet::checkDatabase(*db_),
                           "pages: Page " + std::to_string(page) +
                               " is listed as free but belongs to the rows of table "
                               "\"MSP_PROJECTS\"."));
}

TEST_F(CheckDamage, ADefinitionPageListedFree) {
    db_->pager().freePage(def_->page);
    EXPECT_TRUE(hasProblem(jet::checkDatabase(*db_),
                           "pages: Page " + std::to_string(def_->page) +
                               " is listed as free but belongs to the definition of table "
                               "\"MSP_PROJECTS\"."));
}

TEST_F(CheckDamage, ALongValuePageListedFree) {
    // MSysObjects keeps its objects' properties as long values; find one outside its row.
    std::uint32_t lvPage = 0;
    for (const auto& e : db_->catalog().entries()) {
        if (e.lvPropRef.size() != 12) continue;
        const std::uint32_t word = e.lvPropRef[0] | (e.lvPropRef[1] << 8) | (e.lvPropRef[2] << 16) |
                                   (static_cast<std::uint32_t>(e.lvPropRef[3]) << 24);
        if ((word & 0x80000000u) || (word & 0x3FFFFFFFu) == 0) continue;
        lvPage = e.lvPropRef[5] | (e.lvPropRef[6] << 8) | (e.lvPropRef[7] << 16);
        break;
    }
    ASSERT_NE(lvPage, 0u);
    db_->pager().freePage(lvPage);
    EXPECT_TRUE(hasProblem(jet::checkDatabase(*db_),
                           "is listed as free but belongs to the long values of table "
                           "\"MSysObjects\"."));
}

TEST_F(CheckDamage, AnUnreadableUsageMap) {
    const std::uint32_t ref = def_->ownedPagesRef;
    auto p = db_->pager().writablePage(ref >> 8);
    const jet::ByteReader r(p->span(), "page");
    const jet::DataPage dp(r, db_->format());
    const std::uint16_t start = dp.slot(static_cast<std::uint16_t>(ref & 0xFF)).start;
    p->bytes[start] = 0x07;  // no such kind of map
    db_->tableDefChanged(def_->page);
    EXPECT_TRUE(hasProblem(jet::checkDatabase(*db_),
                           "pages: The usage map of table \"MSP_PROJECTS\" cannot be read: "
                           "The database file is damaged: usage map: a usage map of unknown "
                           "kind"));
}

TEST_F(CheckDamage, TheHeaderListedFree) {
    // Through the bitmap directly: the pager refuses to free it.
    auto p = db_->pager().writablePage(jet::kFreePageMapPage);
    const jet::ByteReader r(p->span(), "page");
    const jet::DataPage dp(r, db_->format());
    const std::uint16_t start = dp.slot(jet::kFreePageMapRow).start;
    p->bytes[start + 5] |= 0x04;  // page 2, the catalogue
    EXPECT_TRUE(hasProblem(jet::checkDatabase(*db_),
                           "pages: The free-page map lists page 2, which the file itself needs, "
                           "as free."));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CheckFixture, testing::ValuesIn(everyFixture()),
                         [](const auto& testInfo) {
                             std::string n = testInfo.param;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
