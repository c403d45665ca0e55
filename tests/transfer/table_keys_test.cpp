// The structure lines of a send with keys and indexes: what a table's column definitions gain,
// the lines after its rows and the foreign keys after every table, with the exact sentences of
// the notes; then the MySQL lines executed on the test server and the table's structure read
// back from it, so that what the server made is what the Access table was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/connection.h"
#include "db/mysql/mysql_structure.h"
#include "db/table_structure.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "transfer/script_builder.h"
#include "transfer/send_keys.h"
#include "transfer/table_keys.h"

namespace {

using db::ColumnDefault;
using db::ColumnStructure;
using db::IndexStructure;
using db::ReferentialAction;
using db::TableStructure;
using transfer::Direction;
using K = ColumnDefault::Kind;

ColumnStructure column(const std::string& name, const std::string& sourceType,
                       std::uint32_t length = 0) {
    ColumnStructure c;
    c.name = name;
    c.sourceType = sourceType;
    c.length = length;
    return c;
}

IndexStructure index(const std::string& name, std::vector<db::IndexColumn> columns,
                     bool unique = false, bool primary = false) {
    IndexStructure i;
    i.name = name;
    i.columns = std::move(columns);
    i.unique = unique || primary;
    i.primary = primary;
    return i;
}

// An Access table of orders as Access describes it: an AutoNumber key, a required text code
// with a unique index, a Memo with an index, a date defaulting to Now(), a text default with an
// apostrophe, a number with an expression as its default, a Yes/No defaulting to True, a
// descending index over two columns, descriptions.
TableStructure accessOrders() {
    TableStructure s;
    s.name = "Orders";
    ColumnStructure id = column("ID", "Long Integer");
    id.autoIncrement = id.required = true;
    id.description = "The order's number";
    ColumnStructure code = column("Code", "Text", 20);
    code.required = true;
    ColumnStructure notes = column("Notes", "Memo");
    ColumnStructure placed = column("Placed", "Date/Time");
    placed.defaultValue = {K::CurrentTimestamp, {}};
    ColumnStructure city = column("City", "Text", 50);
    city.defaultValue = {K::Text, "Land's End"};
    city.description = "Where it goes";
    ColumnStructure qty = column("Qty", "Long Integer");
    qty.defaultValue = {K::Expression, "[Code] & 1"};
    ColumnStructure paid = column("Paid", "Yes/No");
    paid.defaultValue = {K::Boolean, "1"};
    s.columns = {id, code, notes, placed, city, qty, paid};
    s.indexes = {index("PrimaryKey", {{"ID", false, 0}}, true, true),
                 index("Code", {{"Code", false, 0}}, true), index("Notes", {{"Notes", false, 0}}),
                 index("CityQty", {{"City", false, 0}, {"Qty", true, 0}})};
    s.nextAutoNumber = 1001;
    return s;
}

// The CREATE TABLE statement of `keys` with the default mapping's types.
std::string createStatement(transfer::TableKeys& keys, const std::vector<std::string>& types) {
    std::string out = "CREATE TABLE `" + keys.source().name + "`(";
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (i) out += ",";
        const std::string& name = keys.source().columns[i].name;
        out += "`" + name + "` " + keys.decorate(i, name, types[i], true);
    }
    return out + ")";
}

std::vector<std::string> names(const TableStructure& s) {
    std::vector<std::string> out;
    for (const auto& c : s.columns)
        out.push_back(c.name);
    return out;
}

const std::vector<std::string> kOrdersTypes = {"INT",  "text", "LONGTEXT", "text",
                                               "text", "INT",  "text"};

TEST(TableKeysToMySql, ColumnRulesKeysAndIndexesAsTheAccessTableHasThem) {
    const TableStructure s = accessOrders();
    transfer::TableKeys keys(Direction::AccessToMySql, s, names(s));
    // A key column of Access text becomes VARCHAR of its length, which MySQL keys whole.
    EXPECT_EQ(createStatement(keys, kOrdersTypes),
              "CREATE TABLE `Orders`(`ID` INT NOT NULL COMMENT 'The order''s number',"
              "`Code` VARCHAR(20) NOT NULL,`Notes` LONGTEXT,`Placed` text,"
              "`City` VARCHAR(50) DEFAULT 'Land''s End' COMMENT 'Where it goes',`Qty` INT,"
              "`Paid` text DEFAULT ('1'))");
    EXPECT_EQ(keys.afterRowsLines(),
              (std::vector<std::string>{
                  "ALTER TABLE `Orders` ADD PRIMARY KEY (`ID`), ADD UNIQUE KEY `Code` (`Code`), "
                  "ADD KEY `Notes` (`Notes`(768)), ADD KEY `CityQty` (`City`,`Qty` DESC), "
                  "MODIFY `ID` INT NOT NULL AUTO_INCREMENT COMMENT 'The order''s number', "
                  "AUTO_INCREMENT=1001"}));
    EXPECT_TRUE(keys.afterRowsLines().empty());  // made once
    EXPECT_EQ(keys.notes(),
              (std::vector<std::string>{
                  "Table \"Orders\", column \"Placed\": the default the current date and time is "
                  "left out: the column's type text has no such default.",
                  "Table \"Orders\", column \"Qty\": the default [Code] & 1 is an expression, "
                  "which is left out.",
                  "Table \"Orders\": MySQL keys the index \"Notes\" by the first 768 characters "
                  "of \"Notes\", which may hold more."}));
}

TEST(TableKeysToMySql, TextKeysShareMySqlsKeyLengthAndANumberedColumnGetsAnIndex) {
    TableStructure s;
    s.name = "Wide";
    ColumnStructure n = column("N", "Long Integer");
    n.autoIncrement = n.required = true;
    s.columns = {n, column("A", "Memo"), column("B", "Memo"), column("C", "Text", 100)};
    // Two Memos and a short text in one index: 3072 bytes, four a character, the short text
    // served whole first and the rest shared.
    s.indexes = {index("ABC", {{"A", false, 0}, {"B", false, 0}, {"C", false, 0}}, true)};
    transfer::TableKeys keys(Direction::AccessToMySql, s, names(s));
    EXPECT_EQ(createStatement(keys, {"INT", "LONGTEXT", "LONGTEXT", "text"}),
              "CREATE TABLE `Wide`(`N` INT NOT NULL,`A` LONGTEXT,`B` LONGTEXT,`C` VARCHAR(100))");
    EXPECT_EQ(keys.afterRowsLines(),
              (std::vector<std::string>{
                  "ALTER TABLE `Wide` ADD UNIQUE KEY `ABC` (`A`(334),`B`(334),`C`), "
                  "ADD KEY `N` (`N`), MODIFY `N` INT NOT NULL AUTO_INCREMENT"}));
    EXPECT_EQ(keys.notes(),
              (std::vector<std::string>{
                  "Table \"Wide\": MySQL keys the index \"ABC\" by the first 334 characters of "
                  "\"A\", which may hold more.",
                  "Table \"Wide\": MySQL keys the index \"ABC\" by the first 334 characters of "
                  "\"B\", which may hold more.",
                  "Table \"Wide\", column \"N\": MySQL numbers only a column that leads an index, "
                  "so it gets an index of its own."}));
}

TEST(TableKeysToMySql, AReplicationIdKeyIsTextOfItsLength) {
    TableStructure s;
    s.name = "R";
    ColumnStructure g = column("G", "Replication ID", 38);
    g.replicationId = g.required = true;
    s.columns = {g};
    s.indexes = {index("PrimaryKey", {{"G", false, 0}}, true, true)};
    transfer::TableKeys keys(Direction::AccessToMySql, s, names(s));
    EXPECT_EQ(createStatement(keys, {"text"}), "CREATE TABLE `R`(`G` VARCHAR(38) NOT NULL)");
    EXPECT_EQ(keys.afterRowsLines(),
              (std::vector<std::string>{"ALTER TABLE `R` ADD PRIMARY KEY (`G`)"}));
    EXPECT_EQ(keys.notes(), (std::vector<std::string>{
                                "Table \"R\", column \"G\": a Replication ID; its values are "
                                "kept, but MySQL makes none for new rows."}));
}

TEST(TableKeysToAccess, CounterRequiredDefaultsAndWhatAccessCannotHold) {
    TableStructure s;
    s.name = "items";
    ColumnStructure id = column("id", "int(11)");
    id.autoIncrement = id.required = true;
    ColumnStructure name = column("name", "varchar(40)", 40);
    name.required = true;
    name.defaultValue = {K::Text, "it's"};
    ColumnStructure made = column("made", "datetime");
    made.defaultValue = {K::CurrentTimestamp, {}};
    ColumnStructure flag = column("flag", "bit(1)");
    flag.defaultValue = {K::Number, "0"};
    ColumnStructure body = column("body", "text");
    body.description = "free text";
    s.columns = {id, name, made, flag, body};
    IndexStructure ft = index("ft", {{"body", false, 0}});
    ft.kind = IndexStructure::Kind::FullText;
    std::vector<db::IndexColumn> eleven;
    for (int i = 0; i < 11; ++i)
        eleven.push_back({"name", false, 0});
    s.indexes = {index("PRIMARY", {{"id", false, 0}}, true, true),
                 index("name", {{"name", false, 10}}, true),
                 ft,
                 index("wide", eleven),
                 index("byDay", {{"made", true, 0}, {"id", false, 0}}),
                 index("byBody", {{"body", false, 100}})};
    s.nextAutoNumber = 42;
    transfer::TableKeys keys(Direction::MySqlToAccess, s, names(s));
    std::string create = "CREATE TABLE `items`(";
    const std::vector<std::string> types = {"INT", "VARCHAR", "DATETIME", "VARCHAR", "TEXT"};
    for (std::size_t i = 0; i < types.size(); ++i)
        create += (i ? "," : "") + std::string("`") + s.columns[i].name + "` " +
                  keys.decorate(i, s.columns[i].name, types[i], true);
    EXPECT_EQ(create,
              "CREATE TABLE `items`(`id` COUNTER(42, 1),`name` VARCHAR NOT NULL DEFAULT 'it''s',"
              "`made` DATETIME DEFAULT Now(),`flag` VARCHAR DEFAULT FALSE,`body` TEXT");
    EXPECT_EQ(keys.afterRowsLines(),
              (std::vector<std::string>{
                  "ALTER TABLE `items` ADD CONSTRAINT `PrimaryKey` PRIMARY KEY (`id`)",
                  "CREATE UNIQUE INDEX `name` ON `items` (`name`)",
                  "CREATE INDEX `byDay` ON `items` (`made` DESC, `id`)"}));
    EXPECT_EQ(keys.notes(),
              (std::vector<std::string>{
                  "Table \"items\", column \"body\": its comment is not carried (\"free text\").",
                  "Table \"items\": the index \"name\" keys the whole of \"name\" in Access, "
                  "where MySQL keys its first 10 characters.",
                  "Table \"items\": the index \"ft\" is a FULLTEXT index, which Access does not "
                  "have; it is left out.",
                  "Table \"items\": the index \"wide\" has 11 columns, more than the 10 an Access "
                  "index may have; it is left out.",
                  "Table \"items\": the index \"byBody\" is left out: Access cannot index "
                  "\"body\", which the send makes a Memo or OLE Object."}));
}

// BIGINT goes as Large Number where the file has it and as a Decimal elsewhere, whose index keys
// the engine cannot write: an index on a Decimal is named and left out, never a failed run.
TEST(TableKeysToAccess, AnIndexOnAColumnThatGoesAsADecimalIsLeftOut) {
    TableStructure s;
    s.name = "big";
    ColumnStructure id = column("id", "bigint(20)");
    id.required = true;
    s.columns = {id, column("n", "bigint(20) unsigned"), column("k", "int(11)")};
    s.indexes = {index("PRIMARY", {{"id", false, 0}}, true, true),
                 index("byN", {{"k", false, 0}, {"n", false, 0}}, true),
                 index("byK", {{"k", false, 0}})};
    for (const char* idType : {"DECIMAL(20,0)", "BIGINT"}) {
        SCOPED_TRACE(idType);
        transfer::TableKeys keys(Direction::MySqlToAccess, s, names(s));
        const std::vector<std::string> types = {idType, "decimal(20,0)", "INT"};
        for (std::size_t i = 0; i < types.size(); ++i)
            keys.decorate(i, s.columns[i].name, types[i], true);
        std::vector<std::string> lines = {"CREATE INDEX `byK` ON `big` (`k`)"};
        std::vector<std::string> notes = {
            "Table \"big\": the index \"byN\" is left out: this program cannot yet write the "
            "index keys of \"n\", which the send makes a Decimal."};
        if (std::string(idType) == "BIGINT")
            lines.insert(lines.begin(),
                         "ALTER TABLE `big` ADD CONSTRAINT `PrimaryKey` PRIMARY KEY (`id`)");
        else
            notes.insert(notes.begin(),
                         "Table \"big\": the index \"PRIMARY\" is left out: this program cannot "
                         "yet write the index keys of \"id\", which the send makes a Decimal.");
        EXPECT_EQ(keys.afterRowsLines(), lines);
        EXPECT_EQ(keys.notes(), notes);
        EXPECT_EQ(keys.hasUniqueKeyOn({"id"}), std::string(idType) == "BIGINT");
    }
}

TEST(TableKeysToAccess, ThirtyTwoIndexesATableTheRelationshipsAmongThem) {
    TableStructure s;
    s.name = "t";
    for (int i = 0; i < 33; ++i) {
        s.columns.push_back(column("c" + std::to_string(i), "int(11)"));
        s.indexes.push_back(index("i" + std::to_string(i), {{"c" + std::to_string(i), false, 0}}));
    }
    transfer::TableKeys keys(Direction::MySqlToAccess, s, names(s), {}, /*foreignKeysSent=*/2);
    for (std::size_t i = 0; i < s.columns.size(); ++i)
        keys.decorate(i, s.columns[i].name, "INT", true);
    EXPECT_EQ(keys.afterRowsLines().size(), 30u);
    ASSERT_EQ(keys.notes().size(), 3u);
    EXPECT_EQ(keys.notes()[0],
              "Table \"t\": the index \"i30\" is left out: an Access table has at most 32 "
              "indexes, its relationships' among them.");
}

TEST(TableKeysToAccess, AnAutoIncrementBeyondLongIntegerStaysANumber) {
    TableStructure s;
    s.name = "big";
    ColumnStructure id = column("id", "bigint(20)");
    id.autoIncrement = id.required = true;
    s.columns = {id};
    s.nextAutoNumber = 3'000'000'000ULL;
    transfer::TableKeys keys(Direction::MySqlToAccess, s, names(s));
    EXPECT_EQ(keys.decorate(0, "id", "DECIMAL(20,0)", true), "DECIMAL(20,0) NOT NULL");
    EXPECT_EQ(keys.notes(), (std::vector<std::string>{
                                "Table \"big\", column \"id\": AUTO_INCREMENT is left out: its "
                                "next value 3000000000 is beyond what an AutoNumber (Long "
                                "Integer) holds."}));
}

// Customers and orders, an order's lines referencing both; a key to a table not in the send.
struct Shop {
    TableStructure customers, orders, lines;
    Shop() {
        customers.name = "Customers";
        customers.columns = {column("ID", "Long Integer")};
        customers.indexes = {index("PrimaryKey", {{"ID", false, 0}}, true, true)};
        orders = accessOrders();
        orders.columns.push_back(column("Customer", "Long Integer"));
        orders.foreignKeys = {{"CustomersOrders",
                               {"Customer"},
                               "Customers",
                               {"ID"},
                               ReferentialAction::Cascade,
                               ReferentialAction::SetNull}};
        lines.name = "Lines";
        lines.columns = {column("Order", "Long Integer"), column("Product", "Long Integer")};
        lines.foreignKeys = {{"OrdersLines",
                              {"Order"},
                              "Orders",
                              {"ID"},
                              ReferentialAction::Restrict,
                              ReferentialAction::Cascade},
                             {"ProductsLines",
                              {"Product"},
                              "Products",
                              {"ID"},
                              ReferentialAction::Restrict,
                              ReferentialAction::Restrict}};
    }
};

void addTable(transfer::SendKeys& send, const TableStructure& s) {
    transfer::TableKeys& keys = send.add(s, names(s));
    for (std::size_t i = 0; i < s.columns.size(); ++i)
        keys.decorate(i, s.columns[i].name, "INT", true);
    (void)keys.afterRowsLines();
}

TEST(SendKeys, ForeignKeysAfterEveryTableWhateverTheirOrder) {
    const Shop shop;
    for (Direction target : {Direction::AccessToMySql, Direction::MySqlToAccess}) {
        transfer::SendKeys send(target, {"Lines", "Orders", "Customers"});
        // The referencing tables go first: their keys wait for the end.
        addTable(send, shop.lines);
        addTable(send, shop.orders);
        addTable(send, shop.customers);
        std::vector<std::string> notes;
        const std::string sep = target == Direction::MySqlToAccess ? " " : "";
        EXPECT_EQ(send.foreignKeyLines(notes),
                  (std::vector<std::string>{
                      "ALTER TABLE `Lines` ADD CONSTRAINT `OrdersLines` FOREIGN KEY (`Order`) "
                      "REFERENCES `Orders` (`ID`) ON DELETE CASCADE",
                      "ALTER TABLE `Orders` ADD CONSTRAINT `CustomersOrders` FOREIGN KEY "
                      "(`Customer`) REFERENCES `Customers` (`ID`) ON UPDATE CASCADE ON DELETE "
                      "SET NULL"}));
        EXPECT_EQ(notes, (std::vector<std::string>{
                             "Table \"Lines\": the foreign key \"ProductsLines\" to \"Products\" "
                             "is left out: that table is not part of the send."}));
    }
}

TEST(SendKeys, AccessNeedsAUniqueIndexOnTheReferencedColumns) {
    Shop shop;
    shop.customers.indexes.clear();
    transfer::SendKeys send(Direction::MySqlToAccess, {"Orders", "Customers"});
    addTable(send, shop.customers);
    addTable(send, shop.orders);
    std::vector<std::string> notes;
    EXPECT_TRUE(send.foreignKeyLines(notes).empty());
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "Table \"Orders\": the foreign key \"CustomersOrders\" to \"Customers\" "
                         "is left out: Access needs a unique index of \"Customers\" on exactly "
                         "the columns it references, which the send does not make."}));
}

TEST(RowLines, AnEmptyTextStaysEmptyOnlyWhenKeysGo) {
    const std::vector<db::Value> row = {db::Value::text(""), db::Value(), db::Value::text("x")};
    for (Direction t : {Direction::AccessToMySql, Direction::MySqlToAccess}) {
        std::string off, on;
        transfer::appendRowStatement(off, t, "INSERT INTO `T` VALUES(", row);
        transfer::appendRowStatement(on, t, "INSERT INTO `T` VALUES(", row, true);
        EXPECT_EQ(off, "INSERT INTO `T` VALUES(NULL, NULL, 'x')");
        EXPECT_EQ(on, "INSERT INTO `T` VALUES('', NULL, 'x')");
    }
}

// The lines run on the server as a send writes them; the structure read back is the one sent.
TEST(TableKeysOnTheServer, WhatTheServerMakesIsWhatTheAccessTableWas) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch mysql;
    Shop shop;
    transfer::SendKeys send(Direction::AccessToMySql, {"Customers", "Orders"});
    std::vector<std::string> script;
    const std::vector<std::pair<const TableStructure*, std::vector<std::string>>> tables = {
        {&shop.orders, {"INT", "text", "LONGTEXT", "DATETIME(3)", "text", "INT", "TINYINT", "INT"}},
        {&shop.customers, {"INT"}}};
    for (const auto& [s, types] : tables) {
        transfer::TableKeys& keys = send.add(*s, names(*s));
        script.push_back(createStatement(keys, types));
        if (s->name == "Orders") {
            script.push_back("INSERT INTO `Orders` VALUES(1000, 'A', 'x', NULL, '', 1, 1, 7)");
        } else {
            script.push_back("INSERT INTO `Customers` VALUES(7)");
        }
        for (const auto& l : keys.afterRowsLines())
            script.push_back(l);
    }
    std::vector<std::string> notes;
    for (const auto& l : send.foreignKeyLines(notes))
        script.push_back(l);
    EXPECT_TRUE(notes.empty());
    for (const auto& l : script)
        ASSERT_NO_THROW(mysql.exec(l)) << l;

    db::Connection c;
    c.open(mysql.connectionString());
    const TableStructure back = c.tableStructure("Orders");
    ASSERT_EQ(back.columns.size(), 8u);
    EXPECT_TRUE(back.columns[0].autoIncrement);
    EXPECT_TRUE(back.columns[0].required);
    EXPECT_EQ(back.columns[0].description, "The order's number");
    EXPECT_TRUE(back.columns[1].required);
    EXPECT_EQ(back.columns[1].sourceType, "varchar(20)");
    EXPECT_FALSE(back.columns[2].required);
    EXPECT_EQ(back.columns[3].defaultValue.kind, K::CurrentTimestamp);
    EXPECT_EQ(back.columns[4].defaultValue.kind, K::Text);
    EXPECT_EQ(back.columns[4].defaultValue.text, "Land's End");
    EXPECT_EQ(back.columns[4].description, "Where it goes");
    EXPECT_EQ(back.columns[6].defaultValue.kind, K::Number);
    EXPECT_EQ(back.columns[6].defaultValue.text, "1");
    ASSERT_TRUE(back.nextAutoNumber.has_value());
    EXPECT_EQ(*back.nextAutoNumber, 1001u);
    ASSERT_EQ(back.indexes.size(), 5u);  // and the foreign key's own
    EXPECT_TRUE(back.indexes[0].primary);
    EXPECT_EQ(back.indexes[0].columns[0].name, "ID");
    EXPECT_EQ(back.indexes[1].name, "Code");
    EXPECT_TRUE(back.indexes[1].unique);
    EXPECT_EQ(back.indexes[2].name, "Notes");
    EXPECT_EQ(back.indexes[2].columns[0].prefixLength, 768);
    EXPECT_EQ(back.indexes[3].name, "CityQty");
    ASSERT_EQ(back.indexes[3].columns.size(), 2u);
    EXPECT_FALSE(back.indexes[3].columns[0].descending);
    EXPECT_TRUE(back.indexes[3].columns[1].descending);
    ASSERT_EQ(back.foreignKeys.size(), 1u);
    EXPECT_EQ(back.foreignKeys[0].name, "CustomersOrders");
    EXPECT_EQ(back.foreignKeys[0].referencedTable, "Customers");
    EXPECT_EQ(back.foreignKeys[0].columns, (std::vector<std::string>{"Customer"}));
    EXPECT_EQ(back.foreignKeys[0].onUpdate, ReferentialAction::Cascade);
    EXPECT_EQ(back.foreignKeys[0].onDelete, ReferentialAction::SetNull);
    c.close();

    // New rows continue the numbering; the keys refuse what they should.
    mysql.exec("INSERT INTO `Orders` (`Code`) VALUES ('B')");
    EXPECT_EQ(mysql.scalar("SELECT MAX(`ID`) FROM `Orders`"), "1001");
    EXPECT_EQ(mysql.scalar("SELECT `City` FROM `Orders` WHERE `Code` = 'B'"), "Land's End");
    EXPECT_THROW(mysql.exec("INSERT INTO `Orders` (`Code`) VALUES ('A')"), db::Error);
    EXPECT_THROW(mysql.exec("INSERT INTO `Orders` (`Code`, `Customer`) VALUES ('C', 8)"),
                 db::Error);
    EXPECT_THROW(mysql.exec("INSERT INTO `Orders` (`City`) VALUES ('x')"), db::Error);
    mysql.exec("DELETE FROM `Customers`");  // ON DELETE SET NULL
    EXPECT_EQ(mysql.scalar("SELECT COUNT(*) FROM `Orders` WHERE `Customer` IS NULL"), "2");
}

// A MySQL table with every kind of key read back as the send reads it.
TEST(MySqlStructure, ReadsKeysRulesAndDefaultsFromTheServer) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch mysql;
    mysql.exec("CREATE TABLE p (a INT, b INT, PRIMARY KEY (a, b))");
    mysql.exec(
        "CREATE TABLE c (id BIGINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY, "
        "x INT, y INT, t VARCHAR(300) NOT NULL DEFAULT 'it''s \\\\ here', "
        "d DATE DEFAULT (CURRENT_DATE), s TIMESTAMP(3) NOT NULL DEFAULT CURRENT_TIMESTAMP(3) ON "
        "UPDATE CURRENT_TIMESTAMP(3), n DECIMAL(5,2) DEFAULT -1.50, e ENUM('a','b') DEFAULT 'b', "
        "body TEXT, g INT AS (x + 1) VIRTUAL, "
        "UNIQUE KEY u (t(20), y DESC), FULLTEXT KEY ft (body), "
        "CONSTRAINT fk FOREIGN KEY (x, y) REFERENCES p (a, b) ON UPDATE CASCADE ON DELETE SET "
        "NULL) AUTO_INCREMENT = 77");
    mysql.exec("CREATE VIEW v AS SELECT id, t FROM c");
    db::Connection conn;
    conn.open(mysql.connectionString());
    const TableStructure s = conn.tableStructure("c");
    EXPECT_FALSE(s.isView);
    ASSERT_TRUE(s.nextAutoNumber.has_value());
    EXPECT_EQ(*s.nextAutoNumber, 77u);
    ASSERT_EQ(s.columns.size(), 10u);
    EXPECT_TRUE(s.columns[0].autoIncrement);
    EXPECT_EQ(s.columns[3].defaultValue.kind, K::Text);
    EXPECT_EQ(s.columns[3].defaultValue.text, "it's \\ here");
    EXPECT_EQ(s.columns[3].length, 300u);
    EXPECT_TRUE(s.columns[3].required);
    EXPECT_EQ(s.columns[4].defaultValue.kind, K::CurrentDate);
    EXPECT_EQ(s.columns[5].defaultValue.kind, K::CurrentTimestamp);
    EXPECT_EQ(s.columns[5].unsupported, "ON UPDATE current_timestamp(3)");
    EXPECT_EQ(s.columns[6].defaultValue.kind, K::Number);
    EXPECT_EQ(s.columns[6].defaultValue.text, "-1.50");
    EXPECT_EQ(s.columns[7].defaultValue.text, "b");
    EXPECT_EQ(s.columns[8].defaultValue.kind, K::None);
    EXPECT_FALSE(s.columns[9].unsupported.empty());
    ASSERT_GE(s.indexes.size(), 3u);
    EXPECT_TRUE(s.indexes[0].primary);
    const IndexStructure* u = nullptr;
    const IndexStructure* ft = nullptr;
    for (const auto& i : s.indexes) {
        if (i.name == "u") u = &i;
        if (i.name == "ft") ft = &i;
    }
    ASSERT_NE(u, nullptr);
    EXPECT_TRUE(u->unique);
    ASSERT_EQ(u->columns.size(), 2u);
    EXPECT_EQ(u->columns[0].prefixLength, 20);
    EXPECT_TRUE(u->columns[1].descending);
    ASSERT_NE(ft, nullptr);
    EXPECT_EQ(ft->kind, IndexStructure::Kind::FullText);
    ASSERT_EQ(s.foreignKeys.size(), 1u);
    EXPECT_EQ(s.foreignKeys[0].columns, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(s.foreignKeys[0].referencedColumns, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(s.foreignKeys[0].onUpdate, ReferentialAction::Cascade);
    EXPECT_EQ(s.foreignKeys[0].onDelete, ReferentialAction::SetNull);
    EXPECT_TRUE(conn.tableStructure("v").isView);
    EXPECT_THROW(conn.tableStructure("nothing"), db::Error);
}

}  // namespace
