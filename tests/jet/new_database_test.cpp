// New, empty databases of every version: read by the engine and by mdbtools, with the system
// tables of the real empty files, their indexes holding their rows, ready for tables and rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "db/jet/base/error.h"
#include "db/jet/catalog/system_tables.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/new_database.h"
#include "tests/jet/table_write_support.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    jet::Version version;
    const char* name;     // as the command line names it
    const char* fixture;  // the empty file Access made of that version
    const char* suffix;
};

// Test names and failures show the case by this, not by its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.fixture;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

class NewDatabase : public ::testing::TestWithParam<Case> {
  protected:
    fs::path create() {
        const fs::path p = dir_.path() / (std::string("new") + GetParam().suffix);
        jet::createDatabase(p.string(), GetParam().version);
        return p;
    }
    static std::unique_ptr<jet::Database> open(const fs::path& p, bool write = false) {
        jet::OpenOptions o;
        if (write) o.mode = jet::OpenMode::ReadWrite;
        return jet::Database::open(p.string(), o);
    }
    testenv::TempDir dir_;
};

std::vector<std::vector<db::Value>> allRows(jet::Database& db, const std::string& table) {
    auto reader = db.openTable(table);
    std::vector<std::vector<db::Value>> rows;
    std::vector<db::Value> row;
    while (reader->next(row))
        rows.push_back(row);
    return rows;
}

bool haveMdbTools() {
    return !testenv::findOnPath("mdb-tables").empty() && !testenv::findOnPath("mdb-export").empty();
}

#define REQUIRE_MDBTOOLS()                                                 \
    do {                                                                   \
        if (!haveMdbTools()) {                                             \
            if (testenv::underCi()) FAIL() << "mdbtools is not installed"; \
            GTEST_SKIP() << "mdbtools is not installed";                   \
        }                                                                  \
    } while (0)

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) out.push_back(l);
    return out;
}

TEST_P(NewDatabase, OpensAsItsVersionWithTheCatalogueOfAnEmptyDatabase) {
    const fs::path p = create();
    const auto db = open(p);
    const jet::Format& f = jet::Format::of(GetParam().version);
    EXPECT_EQ(&db->format(), &f);
    EXPECT_FALSE(db->header().hasPassword());
    EXPECT_EQ(db->header().sortOrder, jet::newSortOrder(f));
    EXPECT_TRUE(db->userTableNames().empty());

    const auto tables = jet::systemTables(f);
    std::set<std::string> systemNames;
    for (const auto& e : db->schema()) {
        EXPECT_EQ(e.kind, jet::TableKind::SystemTable) << e.name;
        systemNames.insert(e.name);
    }
    std::set<std::string> described;
    for (const auto& t : tables)
        described.insert(t.name);
    EXPECT_EQ(systemNames, described);

    // One catalogue row per container, the database object and every system table, each
    // table's id the page of its definition, MSysObjects on page 2.
    const auto& entries = db->catalog().entries();
    EXPECT_EQ(entries.size(), tables.size() + jet::systemObjects(f).size());
    const jet::CatalogEntry* catalog = db->catalog().findTable("MSysObjects");
    ASSERT_NE(catalog, nullptr);
    EXPECT_EQ(catalog->id, 2);
    for (const auto& t : tables) {
        const jet::CatalogEntry* e = db->catalog().findTable(t.name);
        ASSERT_NE(e, nullptr) << t.name;
        EXPECT_EQ(e->flags, t.catalogFlags) << t.name;
        EXPECT_EQ(db->tableDef(*e)->page, static_cast<std::uint32_t>(e->id));
        EXPECT_EQ(db->tableDef(*e)->tableKind, t.tableKind) << t.name;
    }

    // The access rows, and the owners from the creation stamp.
    std::size_t rules = 0;
    for (const auto& o : jet::systemObjects(f))
        rules += o.access.size();
    for (const auto& t : tables)
        rules += t.access.size();
    EXPECT_EQ(allRows(*db, "MSysACEs").size(), rules);
    const auto& engine = jet::creationStamp(f).sid(jet::SidRole::Engine);
    for (const auto& row : allRows(*db, "MSysObjects"))
        if (row[2].asText() == "Tables") {
            EXPECT_EQ(row[6].asBinary(), db::Bytes(engine.begin(), engine.end()));
        }

    // The property by which Access knows the file format.
    const jet::CatalogEntry* msysDb = nullptr;
    for (const auto& e : entries)
        if (e.name == "MSysDb") msysDb = &e;
    ASSERT_NE(msysDb, nullptr);
    const auto props = db->properties(*msysDb);
    ASSERT_EQ(props.size(), 1u);
    const jet::Property* version = props[0].find("AccessVersion");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->type, static_cast<std::uint8_t>(jet::ColumnType::Text));
    EXPECT_EQ(version->value.size(), 10u);
    EXPECT_EQ(version->value[0], f.version == jet::Version::Jet4 ? '0' : '0');
    EXPECT_EQ(version->value[2], f.version == jet::Version::Jet4 ? '8' : '9');
}

TEST_P(NewDatabase, SystemTablesHaveTheColumnsOfTheRealEmptyFile) {
    DM_REQUIRE_FIXTURE(GetParam().fixture);
    const fs::path p = create();
    const auto ours = open(p);
    const auto theirs = jet::Database::open((testenv::fixturesDir() / GetParam().fixture).string(),
                                            jet::OpenOptions{});
    for (const auto& t : jet::systemTables(ours->format())) {
        SCOPED_TRACE(t.name);
        const auto a = ours->tableDef(*ours->catalog().findTable(t.name));
        const jet::CatalogEntry* e = theirs->catalog().findTable(t.name);
        ASSERT_NE(e, nullptr);
        const auto b = theirs->tableDef(*e);
        ASSERT_EQ(a->columns.size(), b->columns.size());
        for (std::size_t i = 0; i < a->columns.size(); ++i) {
            const auto &x = a->columns[i], &y = b->columns[i];
            EXPECT_EQ(x.name, y.name);
            EXPECT_EQ(x.typeCode, y.typeCode) << x.name;
            EXPECT_EQ(x.length, y.length) << x.name;
            EXPECT_EQ(x.flags, y.flags) << x.name;
            EXPECT_EQ(x.extFlags, y.extFlags) << x.name;
            EXPECT_EQ(x.varIndex, y.varIndex) << x.name;
            if (x.fixed()) {
                EXPECT_EQ(x.fixedOffset, y.fixedOffset) << x.name;
            }
            if (x.type == jet::ColumnType::Text) {
                EXPECT_EQ(x.sortOrder, y.sortOrder) << x.name;
            }
        }
        EXPECT_EQ(a->maxColumns, b->maxColumns);
        EXPECT_EQ(a->varColumns, b->varColumns);
        ASSERT_EQ(a->indexes.size(), b->indexes.size());
        for (std::size_t i = 0; i < a->indexes.size(); ++i) {
            EXPECT_EQ(a->indexes[i].flags, b->indexes[i].flags);
            ASSERT_EQ(a->indexes[i].columns.size(), b->indexes[i].columns.size());
            for (std::size_t k = 0; k < a->indexes[i].columns.size(); ++k)
                EXPECT_EQ(a->indexes[i].columns[k].columnNumber,
                          b->indexes[i].columns[k].columnNumber);
        }
        // Access keeps the logical indexes in the order of their names; compare them by name.
        ASSERT_EQ(a->logicalIndexes.size(), b->logicalIndexes.size());
        for (const auto& x : a->logicalIndexes) {
            const auto y = std::find_if(b->logicalIndexes.begin(), b->logicalIndexes.end(),
                                        [&](const auto& l) { return l.name == x.name; });
            ASSERT_NE(y, b->logicalIndexes.end()) << x.name;
            EXPECT_EQ(x.kind, y->kind) << x.name;
            EXPECT_EQ(x.physicalIndex, y->physicalIndex) << x.name;
        }
    }
}

TEST_P(NewDatabase, PassesTheIntegrityCheckWithIndexesHoldingEveryRow) {
    const fs::path p = create();
    const auto db = open(p);
    const jet::CheckReport report = jet::checkDatabase(*db);
    EXPECT_TRUE(report.ok()) << ::testing::PrintToString(report.problems());
    EXPECT_TRUE(report.findings.empty()) << report.findings.front().message;
    EXPECT_EQ(report.orphanPages, 0u);
    EXPECT_EQ(report.tables, jet::systemTables(db->format()).size());
    EXPECT_EQ(tablewrite::checkAllTables(*db), std::vector<std::string>{});
    for (const auto& t : jet::systemTables(db->format())) {
        const auto def = db->tableDef(*db->catalog().findTable(t.name));
        EXPECT_EQ(def->rowCount, allRows(*db, t.name).size()) << t.name;
    }
}

TEST_P(NewDatabase, IsReadByMdbTools) {
    REQUIRE_MDBTOOLS();
    const fs::path p = create();
    const auto listed = testenv::runProgram({"mdb-tables", "-S", "-1", p.string()});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::set<std::string> names;
    for (const auto& l : lines(listed.out))
        names.insert(l);
    std::set<std::string> described;
    for (const auto& t : jet::systemTables(jet::Format::of(GetParam().version)))
        described.insert(t.name);
    EXPECT_EQ(names, described);

    const auto user = testenv::runProgram({"mdb-tables", "-1", p.string()});
    ASSERT_EQ(user.status, 0) << user.err;
    EXPECT_TRUE(lines(user.out).empty()) << user.out;

    const auto ver = testenv::runProgram({"mdb-ver", p.string()});
    ASSERT_EQ(ver.status, 0) << ver.err;
    EXPECT_EQ(lines(ver.out).at(0), GetParam().version == jet::Version::Jet4
                                        ? "JET4"
                                        : "ACE" + std::string(GetParam().name).substr(3));

    // Every system table exports, with its columns in order and its rows.
    const auto db = open(p);
    for (const auto& t : jet::systemTables(db->format())) {
        const auto exported = testenv::runProgram({"mdb-export", "-b", "hex", p.string(), t.name});
        ASSERT_EQ(exported.status, 0) << t.name << ": " << exported.err;
        const auto out = lines(exported.out);
        ASSERT_FALSE(out.empty()) << t.name;
        std::string header;
        for (const auto& c : t.columns)
            header += (header.empty() ? "" : ",") + c.name;
        EXPECT_EQ(out[0], header);
        EXPECT_EQ(out.size() - 1, allRows(*db, t.name).size()) << t.name;
    }
    const auto catalog = testenv::runProgram({"mdb-export", p.string(), "MSysObjects"});
    for (const char* name : {"\"Tables\"", "\"Databases\"", "\"Relationships\"", "\"MSysDb\"",
                             "\"MSysObjects\"", "\"MSysACEs\""})
        EXPECT_NE(catalog.out.find(name), std::string::npos) << name;
}

TEST_P(NewDatabase, TakesTablesAndRowsAtOnce) {
    const fs::path p = create();
    {
        const auto db = open(p, true);
        jet::sql::Session s(*db);
        s.execute(
            "CREATE TABLE [Orders] ([Id] COUNTER PRIMARY KEY, [Customer] TEXT(50) NOT "
            "NULL, [Amount] CURRENCY, [Placed] DATETIME, [Note] MEMO)");
        s.execute(
            "INSERT INTO [Orders] ([Customer], [Amount], [Placed], [Note]) VALUES "
            "('O''Neil', '12.5000', '2024-02-29 13:45:00', 'first')");
        s.execute(
            "INSERT INTO [Orders] ([Customer], [Amount], [Placed], [Note]) VALUES "
            "('Zoë', NULL, NULL, NULL)");
        s.execute("CREATE TABLE `Second` (`Code` INTEGER, `Label` VARCHAR)");
        s.execute("INSERT INTO `Second` VALUES (7, 'seven')");
    }
    const auto db = open(p);
    EXPECT_EQ(db->userTableNames(), (std::vector<std::string>{"Orders", "Second"}));
    const auto rows = allRows(*db, "Orders");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], db::Value::integer(1));
    EXPECT_EQ(rows[0][1], db::Value::text("O'Neil"));
    EXPECT_EQ(rows[0][2], db::Value::currency({125000}));
    EXPECT_EQ(rows[1][0], db::Value::integer(2));
    EXPECT_EQ(rows[1][1], db::Value::text("Zoë"));
    EXPECT_TRUE(rows[1][2].isNull());
    EXPECT_EQ(allRows(*db, "Second").size(), 1u);
    EXPECT_TRUE(jet::checkDatabase(*db).ok());
    EXPECT_EQ(tablewrite::checkAllTables(*db), std::vector<std::string>{});

    if (!haveMdbTools()) return;
    const auto exported = testenv::runProgram({"mdb-export", p.string(), "Orders"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const auto out = lines(exported.out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "Id,Customer,Amount,Placed,Note");
    EXPECT_NE(out[1].find("\"O'Neil\""), std::string::npos) << out[1];
    EXPECT_NE(out[2].find("\"Zoë\""), std::string::npos) << out[2];
    const auto listed = testenv::runProgram({"mdb-tables", "-1", p.string()});
    EXPECT_EQ(lines(listed.out), (std::vector<std::string>{"Orders", "Second"}));
}

TEST_P(NewDatabase, NewTablesTakeTheSortOrderOfTheDatabase) {
    const fs::path p = create();
    {
        const auto db = open(p, true);
        jet::sql::Session s(*db);
        s.execute("CREATE TABLE [Names] ([Name] TEXT(40) PRIMARY KEY, [Note] MEMO)");
        s.execute("INSERT INTO [Names] VALUES ('Émile', 'x')");
        s.execute("INSERT INTO [Names] VALUES ('zoë', 'y')");
    }
    const auto db = open(p);
    const jet::Format& f = db->format();
    const std::uint32_t order = jet::newSortOrder(f);
    const auto def = db->tableDef(*db->catalog().findTable("Names"));
    for (const auto& c : def->columns) {
        EXPECT_EQ(c.sortOrder, order & 0xFFFF) << c.name;
        EXPECT_EQ(c.sortOrderVersion, order >> 24) << c.name;
    }
    EXPECT_TRUE(jet::checkDatabase(*db).ok());
    EXPECT_EQ(tablewrite::checkAllTables(*db), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    EveryVersion, NewDatabase,
    ::testing::Values(Case{jet::Version::Jet4, "jet4", "access/empty/empty.mdb", ".mdb"},
                      Case{jet::Version::Ace12, "ace12", "access/empty/empty2007.accdb", ".accdb"},
                      Case{jet::Version::Ace14, "ace14", "access/empty/empty2010.accdb", ".accdb"},
                      Case{jet::Version::Ace16, "ace16", "access/empty/empty2016.accdb", ".accdb"},
                      Case{jet::Version::Ace17, "ace17", "access/empty/empty2019.accdb", ".accdb"}),
    caseName);

TEST(NewDatabaseFile, AnExistingFileIsRefusedAndLeftAlone) {
    testenv::TempDir dir;
    const fs::path p = dir.path() / "taken.mdb";
    {
        std::ofstream out(p);
        out << "precious";
    }
    try {
        jet::createDatabase(p.string(), jet::Version::Jet4);
        FAIL() << "an existing file was overwritten";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Io);
        EXPECT_EQ(e.message(), "\"" + p.string() + "\" already exists.");
    }
    std::ifstream in(p);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "precious");
    // Nothing else was left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(NewDatabaseFile, AFolderThatDoesNotExistIsAClearError) {
    testenv::TempDir dir;
    const fs::path p = dir.path() / "missing" / "new.mdb";
    try {
        jet::createDatabase(p.string(), jet::Version::Jet4);
        FAIL() << "created in a folder that does not exist";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Io);
        EXPECT_NE(e.message().find(p.parent_path().string()), std::string::npos) << e.message();
    }
    EXPECT_FALSE(fs::exists(p));
}

TEST(NewDatabaseFile, Access97FilesCannotBeMade) {
    try {
        jet::newDatabaseImage(jet::Version::Jet3);
        FAIL() << "a Jet 3 file was made";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::NotSupported);
        EXPECT_EQ(e.message(),
                  "New databases of the Jet 3 (Access 97) format cannot be made: that format is "
                  "read-only for this program.");
    }
}

TEST(NewDatabaseFile, FormatNames) {
    EXPECT_EQ(jet::versionForName("jet4"), jet::Version::Jet4);
    EXPECT_EQ(jet::versionForName("ACE12"), jet::Version::Ace12);
    EXPECT_EQ(jet::versionForName("ace14"), jet::Version::Ace14);
    EXPECT_EQ(jet::versionForName("Ace16"), jet::Version::Ace16);
    EXPECT_EQ(jet::versionForName("ace17"), jet::Version::Ace17);
    for (const char* bad : {"", "jet3", "ace", "ace15", "jet4 ", "mdb"}) {
        try {
            jet::versionForName(bad);
            FAIL() << bad;
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.message(), "Unknown database format \"" + std::string(bad) +
                                       "\": choose jet4, ace12, ace14, ace16 or ace17.");
        }
    }
}

}  // namespace
