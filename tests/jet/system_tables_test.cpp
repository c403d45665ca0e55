// The description of a new database's system objects against what Access and its engine put
// into the empty files of every version: columns, indexes, catalogue rows, security ids and
// access rows, and the file-format property.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "db/jet/catalog/properties.h"
#include "db/jet/catalog/system_tables.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/test_env.h"

namespace {

std::unique_ptr<jet::Database> openFixture(const std::string& relative) {
    return jet::Database::open((testenv::fixturesDir() / relative).string(), jet::OpenOptions{});
}

const jet::CatalogEntry* findObject(const jet::Database& db, const std::string& name) {
    for (const auto& e : db.catalog().entries())
        if (e.name == name) return &e;
    return nullptr;
}

std::string columnName(const jet::TableDef& def, std::uint16_t number) {
    for (const auto& c : def.columns)
        if (c.number == number) return c.name;
    return "?";
}

struct Case {
    jet::Version version;
    const char* fixture;
    // The file is in the Access file format a new database of its version takes (a Jet 4 file
    // may also be in the Access 2002-2003 format, "09.50").
    bool sameAccessFormat = true;
};

// Test names and failures show the case by this, not by its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.fixture;
}

class SystemTablesOf : public ::testing::TestWithParam<Case> {};

TEST_P(SystemTablesOf, HaveTheColumnsAndIndexesOfTheEmptyFile) {
    const Case c = GetParam();
    DM_REQUIRE_FIXTURE(c.fixture);
    const auto db = openFixture(c.fixture);
    const jet::Format& f = jet::Format::of(c.version);
    ASSERT_EQ(&db->format(), &f);
    for (const jet::SystemTable& t : jet::systemTables(f)) {
        SCOPED_TRACE(t.name);
        const jet::CatalogEntry* e = db->catalog().findTable(t.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->flags, t.catalogFlags);
        EXPECT_EQ(e->parentId, jet::system_id::kTables);
        const auto def = db->tableDef(*e);
        EXPECT_EQ(def->tableKind, t.tableKind);
        ASSERT_EQ(def->columns.size(), t.columns.size());
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            const jet::SystemColumn& want = t.columns[i];
            const jet::ColumnDef& have = def->columns[i];
            SCOPED_TRACE(want.name);
            EXPECT_EQ(have.name, want.name);
            EXPECT_EQ(have.typeCode, static_cast<std::uint8_t>(want.type));
            EXPECT_EQ(have.length, want.length);
            EXPECT_EQ(have.flags, want.flags);
            EXPECT_EQ(have.extFlags, want.extFlags);
            if (want.type == jet::ColumnType::Decimal) {
                EXPECT_EQ(have.precision, want.precision);
                EXPECT_EQ(have.scale, want.scale);
            }
        }
        ASSERT_EQ(def->logicalIndexes.size(), t.indexes.size());
        ASSERT_EQ(def->indexes.size(), t.indexes.size());
        for (const jet::SystemIndex& want : t.indexes) {
            SCOPED_TRACE(want.name);
            const auto li = std::find_if(def->logicalIndexes.begin(), def->logicalIndexes.end(),
                                         [&](const auto& l) { return l.name == want.name; });
            ASSERT_NE(li, def->logicalIndexes.end());
            EXPECT_EQ(li->kind == 0x01, want.primaryKey);
            const jet::PhysicalIndex& pi = def->indexes.at(li->physicalIndex);
            EXPECT_EQ(pi.flags, want.flags);
            std::vector<std::string> columns;
            for (const auto& ic : pi.columns) {
                columns.push_back(columnName(*def, ic.columnNumber));
                EXPECT_TRUE(ic.ascending);
            }
            EXPECT_EQ(columns, want.columns);
        }
    }
}

TEST_P(SystemTablesOf, HaveTheContainersAndTheFormatPropertyOfTheEmptyFile) {
    const Case c = GetParam();
    DM_REQUIRE_FIXTURE(c.fixture);
    const auto db = openFixture(c.fixture);
    const jet::Format& f = jet::Format::of(c.version);
    for (const jet::SystemObject& o : jet::systemObjects(f)) {
        SCOPED_TRACE(o.name);
        const jet::CatalogEntry* e = findObject(*db, o.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->id, o.id);
        EXPECT_EQ(e->parentId, o.parentId);
        EXPECT_EQ(e->type, o.type);
        EXPECT_EQ(e->flags, o.flags);
    }
    const jet::CatalogEntry* msysDb = findObject(*db, "MSysDb");
    ASSERT_NE(msysDb, nullptr);
    const auto maps = db->properties(*msysDb);
    ASSERT_FALSE(maps.empty());
    const jet::Property* version = maps[0].find("AccessVersion");
    ASSERT_NE(version, nullptr);
    const auto props = jet::databaseProperties(f);
    ASSERT_EQ(props[0].name, "AccessVersion");
    const std::string text(version->value.begin(), version->value.end());
    std::string ascii;
    for (std::size_t i = 0; i < text.size(); i += 2)
        ascii.push_back(text[i]);
    if (c.sameAccessFormat) {
        EXPECT_EQ(ascii, props[0].text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryVersion, SystemTablesOf,
    ::testing::Values(Case{jet::Version::Jet4, "access/empty/empty.mdb"},
                      Case{jet::Version::Jet4, "access/empty/empty2003.mdb", false},
                      Case{jet::Version::Ace12, "access/empty/empty2007.accdb"},
                      Case{jet::Version::Ace14, "access/empty/empty2010.accdb"},
                      Case{jet::Version::Ace16, "access/empty/empty2016.accdb"},
                      Case{jet::Version::Ace17, "access/empty/empty2019.accdb"}));

// (object id, stored id, rights, inherited) of every access row.
using AccessRow = std::tuple<std::int32_t, std::vector<std::uint8_t>, std::int64_t, bool>;

std::set<AccessRow> accessRows(jet::Database& db) {
    std::set<AccessRow> rows;
    auto reader = db.openTable("MSysACEs");
    std::vector<db::Value> row;
    while (reader->next(row))
        rows.insert({static_cast<std::int32_t>(row[0].asInteger()), row[1].asBinary(),
                     row[2].asInteger(), row[3].asBoolean()});
    return rows;
}

// What the description says the access rows of `db`'s engine objects are, with the stored
// ids of `stamp`.
std::set<AccessRow> describedRows(jet::Database& db, const jet::CreationStamp& stamp) {
    std::set<AccessRow> rows;
    auto add = [&](std::int32_t id, const std::vector<jet::AccessRule>& rules) {
        for (const auto& r : rules) {
            const auto& sid = stamp.sid(r.sid);
            rows.insert({id, {sid.begin(), sid.end()}, r.rights, r.inherited});
        }
    };
    for (const auto& o : jet::systemObjects(db.format()))
        add(o.id, o.access);
    for (const auto& t : jet::systemTables(db.format())) {
        const jet::CatalogEntry* e = db.catalog().findTable(t.name);
        if (e) add(e->id, t.access);
    }
    return rows;
}

TEST(SystemObjects, AreExactlyWhatTheEngineAloneWritesIntoANewJet4File) {
    DM_REQUIRE_FIXTURE("access/misc/emptyJet4.mdb");
    const auto db = openFixture("access/misc/emptyJet4.mdb");
    const jet::CreationStamp& stamp = jet::creationStamp(db->format());
    std::uint64_t bits = 0;
    std::memcpy(&bits, &db->header().creationDate, sizeof bits);
    EXPECT_EQ(bits, stamp.dateBits);

    // Every table and every other object, nothing more.
    std::set<std::string> names, described;
    for (const auto& e : db->catalog().entries())
        names.insert(e.name);
    for (const auto& t : jet::systemTables(db->format()))
        described.insert(t.name);
    for (const auto& o : jet::systemObjects(db->format()))
        described.insert(o.name);
    EXPECT_EQ(names, described);

    EXPECT_EQ(accessRows(*db), describedRows(*db, stamp));

    // Owners: the engine's id on the containers and tables, the admins' on MSysDb.
    auto reader = db->openTable("MSysObjects");
    std::vector<db::Value> row;
    const auto& engine = stamp.sid(jet::SidRole::Engine);
    const auto& admins = stamp.sid(jet::SidRole::Admins);
    int seen = 0;
    while (reader->next(row)) {
        const std::string& name = row[2].asText();
        const db::Bytes& owner = row[6].asBinary();
        const auto& want = name == "MSysDb" ? admins : engine;
        EXPECT_EQ(owner, db::Bytes(want.begin(), want.end())) << name;
        ++seen;
    }
    EXPECT_EQ(seen, 8);
}

TEST(SystemObjects, AccessRowsOfTheEngineObjectsAreThoseAccess2007Wrote) {
    DM_REQUIRE_FIXTURE("access/empty/empty2007.accdb");
    const auto db = openFixture("access/empty/empty2007.accdb");
    const jet::CreationStamp& stamp = jet::creationStamp(db->format());
    std::uint64_t bits = 0;
    std::memcpy(&bits, &db->header().creationDate, sizeof bits);
    EXPECT_EQ(bits, stamp.dateBits);
    // Access adds rows of its own (its administrators' long id among them) and widens some
    // rights when it takes a file over; every row the engine gives its objects is there with
    // the ids of this stamp and at least the rights described.
    const auto have = accessRows(*db);
    for (const auto& want : describedRows(*db, stamp)) {
        const bool found = std::any_of(have.begin(), have.end(), [&](const AccessRow& r) {
            const auto wanted = static_cast<std::uint32_t>(std::get<2>(want));
            return std::get<0>(r) == std::get<0>(want) && std::get<1>(r) == std::get<1>(want) &&
                   (static_cast<std::uint32_t>(std::get<2>(r)) & wanted) == wanted;
        });
        EXPECT_TRUE(found) << "object " << std::get<0>(want) << " rights " << std::get<2>(want);
    }
}

}  // namespace
