// Keys, indexes and relationships added to tables that hold rows, in every version the engine
// writes: CREATE INDEX (unique, descending, composite, ignoring or refusing Null) and ALTER TABLE
// … ADD CONSTRAINT (PRIMARY KEY, UNIQUE, FOREIGN KEY with its rules), each built from the rows
// there are and kept by the inserts after it, each refusal a sentence naming what is at fault
// and leaving the file as it was. The files pass the engine's check, mdb-schema lists their keys
// and relationships, and the structures are those Access writes (compared with the fixtures
// Access made).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "db/jet/base/error.h"
#include "db/jet/check/check.h"
#include "db/jet/check/index_check.h"
#include "db/jet/index/index_btree.h"
#include "tests/jet/table_write_support.h"

namespace {

namespace fs = std::filesystem;
using tablewrite::WritableCopy;

const char* const kEmptyFiles[] = {
    "access/empty/empty.mdb",       "access/empty/empty2003.mdb",   "access/empty/empty2007.accdb",
    "access/empty/empty2010.accdb", "access/empty/empty2016.accdb", "access/empty/empty2019.accdb",
};

void expectSound(jet::Database& db) {
    const auto report = jet::checkDatabase(db);
    for (const auto& p : report.problems())
        ADD_FAILURE() << p;
    EXPECT_EQ(tablewrite::checkAllTables(db), std::vector<std::string>{});
}

std::shared_ptr<const jet::TableDef> defOf(jet::Database& db, const std::string& table) {
    return db.tableDef(*db.catalog().findTable(table));
}

const jet::LogicalIndex* logical(const jet::TableDef& def, const std::string& name) {
    for (const auto& li : def.logicalIndexes)
        if (li.name == name) return &li;
    return nullptr;
}

// The keys of index `physical` of `table`, in index order.
std::vector<std::vector<std::uint8_t>> keysOf(jet::Database& db, const std::string& table,
                                              std::uint32_t physical) {
    const auto def = defOf(db, table);
    jet::ReadOnlyIndexPages pages(db.pager());
    std::vector<std::vector<std::uint8_t>> out;
    jet::IndexTree(pages, db.format(), def->indexes[physical].firstPage, def->page)
        .forEach([&](const jet::IndexEntry& e) { out.push_back(e.key); });
    return out;
}

// The place of the column `name` in the rows the reader returns.
std::size_t at(const jet::TableDef& def, const std::string& name) {
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (def.columns[i].name == name) return i;
    ADD_FAILURE() << "no column " << name;
    return 0;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
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

class Keys : public testing::TestWithParam<const char*> {};

TEST_P(Keys, AnIndexBuiltFromTheRowsIsTheIndexTheInsertsWouldHaveGrown) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE grown (id INT PRIMARY KEY, name VARCHAR(30), at DATETIME)");
    copy.exec("CREATE TABLE built (id INT, name VARCHAR(30), at DATETIME)");
    std::vector<int> ids(6000);
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = static_cast<int>(i) * 3 - 7000;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(5));
    copy.db().beginTransaction();
    for (int id : ids)
        for (const char* table : {"grown", "built"})
            copy.exec(std::string("INSERT INTO ") + table + " VALUES (" + std::to_string(id) +
                      ", 'Name " + std::to_string(id % 97) + "', '2024-01-" +
                      std::to_string(1 + (id & 15)) + "')");
    copy.db().commitTransaction();
    copy.exec("ALTER TABLE built ADD CONSTRAINT PrimaryKey PRIMARY KEY (id)");
    copy.exec("CREATE INDEX byName ON built (name DESC, at)");
    copy.exec("CREATE INDEX byName ON grown (name DESC, at)");
    copy.reopen();
    expectSound(copy.db());
    for (std::uint32_t i : {0u, 1u})
        EXPECT_EQ(keysOf(copy.db(), "built", i), keysOf(copy.db(), "grown", i)) << "index " << i;
    const auto built = defOf(copy.db(), "built");
    ASSERT_EQ(built->indexes.size(), 2u);
    EXPECT_EQ(built->indexes[0].flags, 0x89);  // unique and required, as Access's primary keys
    EXPECT_EQ(built->indexes[1].flags, 0x80);
    EXPECT_EQ(built->indexes[0].rowCount, ids.size());  // distinct keys
    auto names = keysOf(copy.db(), "built", 1);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(built->indexes[1].rowCount, names.size());
    EXPECT_GT(names.size(), 1000u);
    EXPECT_GE(jet::IndexTree(*std::make_unique<jet::ReadOnlyIndexPages>(copy.db().pager()),
                             copy.db().format(), built->indexes[0].firstPage, built->page)
                  .pages()
                  .size(),
              10u);
    ASSERT_NE(logical(*built, "PrimaryKey"), nullptr);
    EXPECT_EQ(logical(*built, "PrimaryKey")->kind, 1);
    EXPECT_EQ(logical(*built, "byName")->kind, 0);

    // The new indexes take the rows that come after them.
    expectRefusedUnchanged(copy, "INSERT INTO built VALUES (-7000, 'again', NULL)",
                           jet::ErrorKind::Constraint,
                           "The row would put a value into the index 'PrimaryKey' of table "
                           "'built' that it holds already; the index allows each value only "
                           "once.");
    copy.exec("INSERT INTO built VALUES (1, 'Name 1', NULL)");
    expectSound(copy.db());

    const auto schema = copy.mdbSchema();
    EXPECT_TRUE(hasLine(schema, "ALTER TABLE `built` ADD PRIMARY KEY (`id`);"))
        << testing::PrintToString(schema);
    EXPECT_TRUE(hasLine(schema, "ALTER TABLE `built` ADD INDEX `byName` (`name` DESC, `at`);"));
    copy.close();
    EXPECT_EQ(copy.mdbExport("built").size(), ids.size() + 2);
}

TEST_P(Keys, UniqueIndexesAndNullRulesRefuseTheRowsThatBreakThem) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec(
        "CREATE TABLE p (id INT, code TEXT(10), part INT, note MEMO, d INT, dec DECIMAL(10,2))");
    copy.exec("INSERT INTO p VALUES (1, 'A', 1, 'x', 1, 1)");
    copy.exec("INSERT INTO p VALUES (2, 'a', 2, NULL, 2, 1)");
    copy.exec("INSERT INTO p VALUES (3, NULL, 3, NULL, 3, 1)");
    copy.exec("INSERT INTO p VALUES (4, NULL, 3, NULL, 4, 1)");
    copy.exec("INSERT INTO p VALUES (NULL, 'b', 1, NULL, 5, 1)");
    const auto K = jet::ErrorKind::Constraint;
    // Text keys compare without letter case, as Access's sort order does.
    expectRefusedUnchanged(copy, "CREATE UNIQUE INDEX ux ON p (code)", K,
                           "The index 'ux' cannot be made on table 'p': the value 'a' of column "
                           "'code' is in more than one row, and the index allows each value "
                           "only once.");
    expectRefusedUnchanged(copy, "CREATE UNIQUE INDEX ux ON p (code, part)", K,
                           "The index 'ux' cannot be made on table 'p': the values Null, 3 of "
                           "columns 'code', 'part' are in more than one row, and the index allows "
                           "each value only once.");
    expectRefusedUnchanged(copy, "ALTER TABLE p ADD CONSTRAINT pk PRIMARY KEY (id)", K,
                           "The primary key 'pk' cannot be made on table 'p': it takes no Null "
                           "values, and a row leaves its column 'id' Null.");
    expectRefusedUnchanged(copy, "CREATE INDEX nn ON p (part, code) WITH DISALLOW NULL", K,
                           "The index 'nn' cannot be made on table 'p': it takes no Null "
                           "values, and a row leaves its column 'code' Null.");
    expectRefusedUnchanged(copy, "CREATE INDEX m ON p (note)", jet::ErrorKind::NotSupported,
                           "The column 'note' cannot be part of the index 'm': Memo and OLE "
                           "Object columns are not indexed.");
    expectRefusedUnchanged(copy, "CREATE INDEX dd ON p (dec)", jet::ErrorKind::NotSupported,
                           "The Access engine cannot make the index 'dd' of table 'p': the index "
                           "column 'dec' is a Decimal column, whose index keys the Access engine "
                           "cannot write yet.");
    expectRefusedUnchanged(copy, "CREATE INDEX x ON p (nothing)", jet::ErrorKind::Syntax,
                           "The table 'p' has no column 'nothing' for the index 'x'.");
    expectRefusedUnchanged(copy, "CREATE INDEX x ON p (id, ID)", jet::ErrorKind::Syntax,
                           "The index 'x' names the column 'id' twice.");
    expectRefusedUnchanged(copy, "CREATE INDEX [a.b] ON p (id)", jet::ErrorKind::Syntax,
                           "'a.b' is not a valid index name: it holds the character \".\".");
    expectRefusedUnchanged(copy, "CREATE INDEX x ON MSysObjects (Name)", K,
                           "The table 'MSysObjects' is a system table; the Access engine does "
                           "not add an index to it.");
    expectRefusedUnchanged(copy, "CREATE INDEX x ON nowhere (id)", jet::ErrorKind::NoSuchTable,
                           "The Access engine cannot find the table 'nowhere'. Make sure it "
                           "exists and that its name is spelled correctly.");

    // What the rows allow: Null keys are no duplicates of each other; IGNORE NULL leaves them
    // out of the index; a unique index on id with its one Null.
    copy.exec("CREATE UNIQUE INDEX ux ON p (code, id)");
    copy.exec("CREATE UNIQUE INDEX uid ON p (id) WITH IGNORE NULL");
    copy.exec("ALTER TABLE p ADD CONSTRAINT uq UNIQUE (id, part)");
    const auto def = defOf(copy.db(), "p");
    EXPECT_EQ(def->indexes[1].flags, 0x83);           // unique, ignoring Null
    EXPECT_EQ(keysOf(copy.db(), "p", 1).size(), 4u);  // the row with a Null id is left out
    EXPECT_EQ(keysOf(copy.db(), "p", 0).size(), 5u);
    expectRefusedUnchanged(copy, "CREATE INDEX ux ON p (part)", K,
                           "The table 'p' has an index named 'ux' already.");
    copy.exec("ALTER TABLE p ADD CONSTRAINT pk PRIMARY KEY (part, d)");
    expectRefusedUnchanged(copy, "CREATE INDEX other ON p (part) WITH PRIMARY", K,
                           "The table 'p' has a primary key already ('pk').");
    expectRefusedUnchanged(copy, "INSERT INTO p VALUES (1, 'A', 9, NULL, 9, 1)", K,
                           "The row would put a value into the index 'ux' of table 'p' that it "
                           "holds already; the index allows each value only once.");
    expectSound(copy.db());
}

TEST_P(Keys, TheLimitsOfAccessAreRefusedWithASentence) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    std::string columns;
    for (int i = 0; i < 12; ++i)
        columns += (i ? ", c" : "c") + std::to_string(i) + " INT";
    copy.exec("CREATE TABLE wide (" + columns + ")");
    copy.exec("INSERT INTO wide (c0) VALUES (1)");
    expectRefusedUnchanged(copy,
                           "CREATE INDEX eleven ON wide (c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, "
                           "c10)",
                           jet::ErrorKind::Constraint,
                           "The index 'eleven' of table 'wide' cannot have 11 columns: Access "
                           "keeps from 1 to 10 columns an index.");
    copy.exec("CREATE INDEX ten ON wide (c0, c1, c2, c3, c4, c5, c6, c7, c8, c9)");
    for (int i = 1; i < 32; ++i)
        copy.exec("CREATE INDEX i" + std::to_string(i) + " ON wide (c" + std::to_string(i % 12) +
                  (i >= 12 ? ", c" + std::to_string((i + 1) % 12) : std::string()) +
                  (i >= 24 ? " DESC" : "") + ")");
    expectRefusedUnchanged(copy, "CREATE INDEX more ON wide (c5 DESC, c1)",
                           jet::ErrorKind::Constraint,
                           "The table 'wide' cannot take the index 'more': Access keeps at most "
                           "32 indexes a table (those of its relationships count), and it has "
                           "32.");
    copy.reopen();
    EXPECT_EQ(defOf(copy.db(), "wide")->logicalIndexes.size(), 32u);
    copy.exec("INSERT INTO wide (c0, c5) VALUES (2, 5)");
    expectSound(copy.db());
    copy.close();
    EXPECT_EQ(copy.mdbExport("wide").size(), 3u);
}

TEST_P(Keys, ARelationshipIsWrittenAsAccessWritesOneAndRefusesTheRowsThatBreakIt) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE Customers (Id COUNTER, Name VARCHAR(50) NOT NULL)");
    copy.exec("CREATE TABLE Orders (OrderId COUNTER, CustomerId INT, Total CURRENCY)");
    copy.db().beginTransaction();
    for (int i = 1; i <= 300; ++i)
        copy.exec("INSERT INTO Customers (Name) VALUES ('c" + std::to_string(i) + "')");
    for (int i = 1; i <= 900; ++i)
        copy.exec("INSERT INTO Orders (CustomerId, Total) VALUES (" +
                  (i % 50 == 0 ? std::string("NULL") : std::to_string(1 + i % 300)) + ", " +
                  std::to_string(i) + ")");
    copy.db().commitTransaction();
    const char* fk =
        "ALTER TABLE Orders ADD CONSTRAINT CustomersOrders FOREIGN KEY (CustomerId) REFERENCES "
        "Customers (Id) ON UPDATE CASCADE ON DELETE CASCADE";
    expectRefusedUnchanged(copy, fk, jet::ErrorKind::Constraint,
                           "The relationship 'CustomersOrders' cannot be made: the table "
                           "'Customers' has no primary key or unique index over exactly its "
                           "column 'Id'.");
    copy.exec("ALTER TABLE Customers ADD CONSTRAINT PrimaryKey PRIMARY KEY (Id)");
    copy.exec("ALTER TABLE Orders ADD CONSTRAINT PrimaryKey PRIMARY KEY (OrderId)");
    copy.exec("INSERT INTO Orders (CustomerId) VALUES (301)");
    expectRefusedUnchanged(copy, fk, jet::ErrorKind::Constraint,
                           "The relationship 'CustomersOrders' cannot be made: a row of table "
                           "'Orders' holds 301 in column 'CustomerId', and the table 'Customers' "
                           "has no row with that value in 'Id'.");
    copy.exec("INSERT INTO Customers (Name) VALUES ('c301')");
    copy.exec(fk);
    copy.reopen();
    expectSound(copy.db());

    // MSysRelationships: one row, as Access writes it (beside those of Access's own tables).
    std::vector<std::map<std::string, db::Value>> rows;
    const auto relDef = defOf(copy.db(), "MSysRelationships");
    for (const auto& r : copy.rows("MSysRelationships")) {
        std::map<std::string, db::Value> named;
        for (std::size_t i = 0; i < relDef->columns.size(); ++i)
            named[relDef->columns[i].name] = r[i];
        if (named["szObject"] == db::Value::text("Orders")) rows.push_back(named);
    }
    ASSERT_EQ(rows.size(), 1u);
    auto& row = rows[0];
    EXPECT_EQ(row["szRelationship"], db::Value::text("CustomersOrders"));
    EXPECT_EQ(row["grbit"], db::Value::integer(0x1100));
    EXPECT_EQ(row["ccolumn"], db::Value::integer(1));
    EXPECT_EQ(row["icolumn"], db::Value::integer(0));
    EXPECT_EQ(row["szObject"], db::Value::text("Orders"));
    EXPECT_EQ(row["szColumn"], db::Value::text("CustomerId"));
    EXPECT_EQ(row["szReferencedObject"], db::Value::text("Customers"));
    EXPECT_EQ(row["szReferencedColumn"], db::Value::text("Id"));

    // The catalogue holds the relationship as an object of the Relationships container.
    const jet::CatalogEntry* object = nullptr;
    std::int32_t container = 0;
    for (const auto& e : copy.db().catalog().entries()) {
        if (e.name == "CustomersOrders") object = &e;
        if (e.name == "Relationships" && e.type == 3) container = e.id;
    }
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->type, jet::object_type::kRelationship);
    EXPECT_EQ(object->parentId, container);
    EXPECT_LT(object->id, 0);

    // Its access rows: those the container hands down, the owner of the database taking the
    // creator's rights (0xF00FE), as in the relationships of the fixtures Access made.
    {
        const auto aceDef = defOf(copy.db(), "MSysACEs");
        const std::size_t objectId = at(*aceDef, "ObjectId"), sid = at(*aceDef, "SID"),
                          acm = at(*aceDef, "ACM"), inherit = at(*aceDef, "FInheritable");
        db::Value owner;
        const auto objDef = defOf(copy.db(), "MSysObjects");
        for (const auto& r : copy.rows("MSysObjects"))
            if (r[at(*objDef, "Name")] == db::Value::text("MSysDb"))
                owner = r[at(*objDef, "Owner")];
        std::multiset<std::pair<std::string, std::int64_t>> expected, given;
        for (const auto& r : copy.rows("MSysACEs")) {
            const std::string who = db::toHex(r[sid].asBinary());
            if (r[objectId] == db::Value::integer(container) &&
                r[inherit] == db::Value::boolean(true))
                expected.emplace(
                    r[acm] == db::Value::integer(0xF00FE) ? db::toHex(owner.asBinary()) : who,
                    r[acm].asInteger());
            if (r[objectId] == db::Value::integer(object->id)) {
                given.emplace(who, r[acm].asInteger());
                EXPECT_EQ(r[inherit], db::Value::boolean(false));
            }
        }
        EXPECT_FALSE(given.empty());
        EXPECT_EQ(given, expected);
    }

    // Both tables name the other side, as Access does.
    const auto customers = defOf(copy.db(), "Customers");
    const auto orders = defOf(copy.db(), "Orders");
    const jet::LogicalIndex* primarySide = logical(*customers, ".rB");
    const jet::LogicalIndex* foreignSide = logical(*orders, "CustomersOrders");
    ASSERT_NE(primarySide, nullptr);
    ASSERT_NE(foreignSide, nullptr);
    EXPECT_EQ(primarySide->kind, 2);
    EXPECT_EQ(primarySide->relatedTableKind, 1);
    EXPECT_EQ(primarySide->relatedTablePage, orders->page);
    EXPECT_EQ(primarySide->relatedIndex, static_cast<std::int32_t>(foreignSide->number));
    EXPECT_EQ(primarySide->physicalIndex, logical(*customers, "PrimaryKey")->physicalIndex);
    EXPECT_EQ(foreignSide->kind, 2);
    EXPECT_EQ(foreignSide->relatedTableKind, 2);
    EXPECT_EQ(foreignSide->relatedTablePage, customers->page);
    EXPECT_EQ(foreignSide->relatedIndex, static_cast<std::int32_t>(primarySide->number));
    for (const auto* side : {primarySide, foreignSide}) {
        EXPECT_EQ(side->cascadeUpdates, 1);
        EXPECT_EQ(side->cascadeDeletes, 1);
    }
    const auto& fkIndex = orders->indexes[foreignSide->physicalIndex];
    EXPECT_EQ(fkIndex.flags, 0x80);
    ASSERT_EQ(fkIndex.columns.size(), 1u);
    EXPECT_EQ(fkIndex.columns[0].columnNumber, orders->column("CustomerId")->number);
    // The logical indexes stay in the order of their names, as Access keeps them.
    for (const auto& def : {customers, orders})
        for (std::size_t i = 1; i < def->logicalIndexes.size(); ++i) {
            std::string a = def->logicalIndexes[i - 1].name, b = def->logicalIndexes[i].name;
            std::transform(a.begin(), a.end(), a.begin(), ::tolower);
            std::transform(b.begin(), b.end(), b.begin(), ::tolower);
            EXPECT_LT(a, b);
        }

    // Later rows keep the rule; a Null key needs no match.
    expectRefusedUnchanged(copy, "INSERT INTO Orders (CustomerId) VALUES (999)",
                           jet::ErrorKind::Constraint,
                           "The row cannot be added: the relationship 'CustomersOrders' requires "
                           "a row of table 'Customers' with the same value in CustomerId, and "
                           "there is none.");
    copy.exec("INSERT INTO Orders (CustomerId) VALUES (NULL)");
    copy.exec("INSERT INTO Orders (CustomerId) VALUES (17)");
    expectRefusedUnchanged(copy, "DROP TABLE Customers", jet::ErrorKind::Constraint,
                           "The table 'Customers' takes part in a relationship; delete the "
                           "relationship before the table.");
    expectRefusedUnchanged(copy, fk, jet::ErrorKind::Constraint,
                           "A relationship named 'CustomersOrders' exists already.");
    expectSound(copy.db());

    const auto schema = copy.mdbSchema();
    EXPECT_TRUE(hasLine(schema,
                        "ALTER TABLE `Orders` ADD CONSTRAINT `Orders_CustomerId_fk` FOREIGN KEY "
                        "(`CustomerId`) REFERENCES `Customers`(`Id`) ON UPDATE CASCADE ON DELETE "
                        "CASCADE;"))
        << testing::PrintToString(schema);
    EXPECT_TRUE(hasLine(schema, "ALTER TABLE `Customers` ADD PRIMARY KEY (`Id`);"));
}

TEST_P(Keys, RulesCompositeKeysAndATableRelatedToItself) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE Parts (Maker TEXT(10), Code INT, Name TEXT(20))");
    copy.exec("CREATE TABLE Uses (Id COUNTER, Maker TEXT(10), Code INT, Parent INT)");
    copy.exec("INSERT INTO Parts VALUES ('acme', 1, 'bolt')");
    copy.exec("INSERT INTO Parts VALUES ('acme', 2, 'nut')");
    copy.exec("INSERT INTO Uses (Maker, Code) VALUES ('ACME', 2)");  // text keys ignore case
    copy.exec("INSERT INTO Uses (Maker, Code) VALUES ('zed', NULL)");
    copy.exec("ALTER TABLE Parts ADD CONSTRAINT pk PRIMARY KEY (Maker, Code)");
    copy.exec("ALTER TABLE Uses ADD CONSTRAINT pk PRIMARY KEY (Id)");
    const auto mismatch = copy.refused(
        "ALTER TABLE Uses ADD CONSTRAINT r FOREIGN KEY (Code, Maker) REFERENCES Parts (Maker, "
        "Code)");
    EXPECT_EQ(mismatch.message(),
              "The relationship 'r' cannot relate the column 'Code' (Long Integer) of table "
              "'Uses' to the column 'Maker' (Text(10)) of table 'Parts': Access relates columns "
              "of the same type only.");
    copy.exec(
        "ALTER TABLE Uses ADD CONSTRAINT PartsUses FOREIGN KEY (Maker, Code) REFERENCES Parts "
        "(Maker, Code) ON DELETE SET NULL");
    copy.exec("INSERT INTO Uses (Maker, Code) VALUES ('acme', 1)");
    EXPECT_EQ(copy.refused("INSERT INTO Uses (Maker, Code) VALUES ('acme', 3)").kind(),
              jet::ErrorKind::Constraint);
    // A table related to itself: both sides in one definition.
    copy.exec("INSERT INTO Uses (Parent) VALUES (1)");
    copy.exec(
        "ALTER TABLE Uses ADD CONSTRAINT UsesUses FOREIGN KEY (Parent) REFERENCES Uses (Id) ON "
        "DELETE NO ACTION ON UPDATE NO ACTION");
    EXPECT_EQ(copy.refused("INSERT INTO Uses (Parent) VALUES (77)").kind(),
              jet::ErrorKind::Constraint);
    copy.exec("INSERT INTO Uses (Parent) VALUES (4)");
    copy.reopen();
    expectSound(copy.db());

    std::map<std::string, std::vector<std::vector<db::Value>>> byName;
    const auto relDef = defOf(copy.db(), "MSysRelationships");
    for (const auto& r : copy.rows("MSysRelationships"))
        byName[r[at(*relDef, "szRelationship")].asText()].push_back(r);
    ASSERT_EQ(byName["PartsUses"].size(), 2u);
    ASSERT_EQ(byName["UsesUses"].size(), 1u);
    std::map<std::string, std::size_t> col;
    for (std::size_t i = 0; i < relDef->columns.size(); ++i)
        col[relDef->columns[i].name] = i;
    for (const auto& r : byName["PartsUses"]) {
        EXPECT_EQ(r[col["grbit"]], db::Value::integer(0x2000));  // deletes set the key Null
        EXPECT_EQ(r[col["ccolumn"]], db::Value::integer(2));
        const bool first = r[col["icolumn"]] == db::Value::integer(0);
        EXPECT_EQ(r[col["szColumn"]], db::Value::text(first ? "Maker" : "Code"));
    }
    EXPECT_EQ(byName["UsesUses"][0][col["grbit"]], db::Value::integer(0));
    const auto uses = defOf(copy.db(), "Uses");
    const auto* partsSide = logical(*uses, "PartsUses");
    ASSERT_NE(partsSide, nullptr);
    EXPECT_EQ(partsSide->cascadeDeletes, 2);
    EXPECT_EQ(partsSide->cascadeUpdates, 0);
    const auto* self = logical(*uses, "UsesUses");
    const auto* selfPrimary = logical(*uses, ".rB");
    ASSERT_NE(self, nullptr);
    ASSERT_NE(selfPrimary, nullptr);
    EXPECT_EQ(self->relatedTablePage, uses->page);
    EXPECT_EQ(selfPrimary->relatedIndex, static_cast<std::int32_t>(self->number));
    EXPECT_EQ(self->relatedIndex, static_cast<std::int32_t>(selfPrimary->number));
    EXPECT_NE(logical(*defOf(copy.db(), "Parts"), ".rB"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(EveryWritableVersion, Keys, testing::ValuesIn(kEmptyFiles),
                         [](const testing::TestParamInfo<const char*>& i) {
                             return fs::path(i.param).stem().string();
                         });

// In the files Access made: a relationship added beside those Access wrote takes the next free
// name of the primary side, and the new logical indexes have the fields Access's have.
class AccessRelationships : public testing::TestWithParam<const char*> {};

TEST_P(AccessRelationships, ANewRelationshipBesideAccesssOwnHasTheirShape) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    const auto accessForeign = *logical(*defOf(copy.db(), "Table1"), "Table2Table1");
    const auto accessPrimary = *logical(*defOf(copy.db(), "Table2"), ".rC");
    // Every row of Table1 holds 0 in otherfk3: its match first.
    copy.exec("INSERT INTO Table3 VALUES (0, 'zero')");
    copy.exec(
        "ALTER TABLE Table1 ADD CONSTRAINT Table3Table1b FOREIGN KEY (otherfk3) REFERENCES "
        "Table3 (id) ON DELETE CASCADE");
    copy.reopen();
    expectSound(copy.db());
    const auto table1 = defOf(copy.db(), "Table1");
    const auto table3 = defOf(copy.db(), "Table3");
    const auto foreign = *logical(*table1, "Table3Table1b");
    // Table3 has Access's ".rC" already; the new side takes ".rB".
    ASSERT_NE(logical(*table3, ".rB"), nullptr);
    const auto primary = *logical(*table3, ".rB");
    EXPECT_EQ(foreign.kind, accessForeign.kind);
    EXPECT_EQ(foreign.relatedTableKind, accessForeign.relatedTableKind);
    EXPECT_EQ(foreign.cascadeUpdates, accessForeign.cascadeUpdates);
    EXPECT_EQ(foreign.cascadeDeletes, accessForeign.cascadeDeletes);
    EXPECT_EQ(primary.kind, accessPrimary.kind);
    EXPECT_EQ(primary.relatedTableKind, accessPrimary.relatedTableKind);
    EXPECT_EQ(primary.cascadeDeletes, accessPrimary.cascadeDeletes);
    EXPECT_EQ(primary.physicalIndex, logical(*table3, "PrimaryKey")->physicalIndex);
    EXPECT_EQ(foreign.relatedTablePage, table3->page);
    EXPECT_EQ(primary.relatedTablePage, table1->page);
    EXPECT_EQ(table1->indexes[foreign.physicalIndex].flags,
              table1->indexes[accessForeign.physicalIndex].flags);
    // Access's relationships and the new one hold.
    EXPECT_EQ(copy.refused("INSERT INTO Table1 VALUES (500, NULL, NULL, 'x', 98765)").kind(),
              jet::ErrorKind::Constraint);
    copy.exec("INSERT INTO Table1 VALUES (500, NULL, NULL, 'x', NULL)");
    expectSound(copy.db());
}

INSTANTIATE_TEST_SUITE_P(IndexFixtures, AccessRelationships,
                         testing::Values("access/V2003/indexTestV2003.mdb",
                                         "access/V2007/indexTestV2007.accdb",
                                         "access/V2010/indexTestV2010.accdb"),
                         [](const testing::TestParamInfo<const char*>& i) {
                             return fs::path(i.param).stem().string();
                         });

}  // namespace
