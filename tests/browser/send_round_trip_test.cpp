// Round trips through both send commands as a user makes them: every table of the real Access
// files (Jet 4 and ACE, unencrypted) selected, sent to MySQL and executed in the review window,
// then sent back from MySQL into a copy of an empty Access database of the same version and
// executed there; by the default mappings, and with every customisation dialog confirmed as
// proposed. Each value read back must name the value that was sent (line breaks included), and
// with customisation each column must have the proposed type. Hostile text makes the
// same journey byte for byte, and nothing but the script's own statements runs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/type_names.h"
#include "tests/browser/send_fixture.h"
#include "tests/transfer/round_trip_values.h"

namespace browsertest {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<db::Value>>;

struct Table {
    std::vector<db::FieldInfo> fields;
    Rows rows;
};

Table readTable(const std::string& connectionString, const std::string& sql) {
    db::Connection c;
    c.setCursorLocation(db::kAdUseClient);
    c.open(connectionString);
    db::Recordset rs;
    rs.open(sql, c);
    Table t;
    for (int i = 0; i < rs.fieldCount(); ++i)
        t.fields.push_back(rs.field(static_cast<std::size_t>(i)).info());
    for (; !rs.eof(); rs.moveNext())
        t.rows.push_back(rs.row());
    return t;
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The type name an Access column made from `proposal` reads back with.
std::string accessTypeOf(const std::string& proposal) {
    const std::string p = lower(proposal);
    if (p == "text") return "adLongVarWChar";
    if (p.rfind("varchar(", 0) == 0) return "adVarWChar";
    if (p == "bit") return "adBoolean";
    if (p == "money") return "adCurrency";
    if (p == "real") return "adSingle";
    if (p == "float") return "adDouble";
    if (p.rfind("decimal(", 0) == 0) return "adNumeric";
    if (p == "smallint") return "adSmallInt";
    if (p == "tinyint") return "adUnsignedTinyInt";
    if (p == "bigint") return "adBigInt";
    if (p == "int") return "adInteger";
    if (p == "datetime") return "adDate";
    if (p == "datetime2") return "adDBTimeStamp";  // Date/Time Extended
    if (p == "image") return "adLongVarBinary";
    return "(no Access type for " + proposal + ")";
}

class SendRoundTrip : public SendTest, public ::testing::WithParamInterface<bool> {
  protected:
    struct Sent {
        std::map<std::string, std::vector<std::string>> proposed;  // per table, when customised
        std::vector<std::string> refused;  // tables whose CREATE the server refused
    };

    // Sends `tables` of the source list (List1 to MySQL, List2 to Access) and executes the
    // script: in one command by the default mapping, or one command per table with its dialog
    // confirmed as proposed, so that a table the server refuses as proposed leaves the others.
    Sent sendAll(bool toMySql, bool customise, const QStringList& tables) {
        Sent sent;
        browser::TableList* source = toMySql ? list1() : list2();
        (toMySql ? form().check15() : form().check16())->setChecked(customise);
        auto send = [&](const QStringList& which) {
            source->setRangeSelected(0, source->listCount() - 1, false);
            select(source, which);
            source->setListIndex(0);
            for (int i = 0; customise && i < which.size(); ++i) {
                modal->onForm3([&sent](typecustom::Form3Window& w) {
                    auto& p = sent.proposed[typecustom::form3().mTableName];
                    for (int r = 0; r < w.list2()->count(); ++r)
                        p.push_back(w.list2()->item(r)->text().toStdString());
                    w.pushButton2()->click();
                });
            }
            auto seen = expectReview(/*execute=*/true);
            button(toMySql ? "PushButton3" : "PushButton4")->click();
            EXPECT_TRUE(prompts.unexpected().empty());
            return seen;
        };
        if (tables.isEmpty()) return sent;
        if (!customise) {
            auto seen = send(tables);
            EXPECT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
            return sent;
        }
        for (const QString& t : tables) {
            auto seen = send({t});
            if (seen->executedWithoutTrouble) continue;
            // InnoDB keeps VARCHAR columns of up to 255 bytes inside the row, at most about 8 KB
            // of them: a table of many text columns is refused as proposed, told plainly by the
            // server. Nothing else may fail.
            EXPECT_TRUE(toMySql && seen->notes.contains("Row size too large"))
                << t.toStdString() << ": " << seen->notes.toStdString();
            sent.refused.push_back(t.toStdString());
        }
        return sent;
    }
};

TEST_P(SendRoundTrip, EveryFixtureTableToMySqlAndBackIntoAnEmptyAccessFile) {
    const bool customise = GetParam();
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    const auto files = testenv::unencryptedJet4AndAceFixtures();
    int tables = 0, back = 0, refused = 0;
    std::vector<std::string> rounded;
    for (std::size_t n = 0; n < files.size(); ++n) {
        const std::string& fixture = files[n];
        SCOPED_TRACE(fixture);
        const std::string original = useAccessCopy(fixture).string();
        auto& mysql = useScratchDatabase();
        listBoth();
        const QStringList accessTables = names(list1());
        const Sent there = sendAll(/*toMySql=*/true, customise, accessTables);
        refused += static_cast<int>(there.refused.size());

        // Every table that the server took holds every value, named as the script named it.
        for (const QString& qt : accessTables) {
            const std::string t = qt.toStdString();
            SCOPED_TRACE(t);
            if (std::count(there.refused.begin(), there.refused.end(), t)) continue;
            ++tables;
            const Table sent = readTable(db::buildAccessConnectionString(login, original, ""),
                                         "SELECT * FROM [" + t + "]");
            const Table arrived = readTable(mysql.connectionString(), "SELECT * FROM `" + t + "`");
            ASSERT_EQ(arrived.rows.size(), sent.rows.size());
            ASSERT_EQ(arrived.fields.size(), sent.fields.size());
            const std::vector<std::string>* proposed = customise ? &there.proposed.at(t) : nullptr;
            for (std::size_t r = 0; r < sent.rows.size(); ++r) {
                for (std::size_t c = 0; c < sent.fields.size(); ++c) {
                    const db::Value& s = sent.rows[r][c];
                    const db::Value& a = arrived.rows[r][c];
                    if (testenv::isNullOnTheWay(s)) {
                        EXPECT_TRUE(a.isNull()) << "row " << r << " column " << c;
                    } else if (testenv::arrivedText(a) != testenv::denotedForMySql(s) && proposed &&
                               testenv::lostToTheProposedType(s, proposed->at(c))) {
                        rounded.push_back(t + " row " + std::to_string(r));
                    } else {
                        EXPECT_EQ(testenv::arrivedText(a), testenv::denotedForMySql(s))
                            << "row " << r << " column " << c;
                    }
                }
            }
            if (proposed) {
                auto types = mysql.exec(
                    "SELECT COLUMN_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                    "DATABASE() AND TABLE_NAME = '" +
                    t + "' ORDER BY ORDINAL_POSITION");
                for (std::size_t i = 0; !types->eof(); types->moveNext(), ++i) {
                    ASSERT_LT(i, proposed->size());
                    EXPECT_TRUE(testenv::isProposedMySqlType(
                        types->field(std::size_t{0}).value().asText(), proposed->at(i)))
                        << "column " << i << " proposed " << proposed->at(i) << ", made "
                        << types->field(std::size_t{0}).value().asText();
                }
            }
        }

        // Back from MySQL into an empty Access file of the same version.
        const std::string ext = fs::path(fixture).extension().string();
        const std::string home =
            dir.copyFixture(emptyDatabaseLike(fixture), "back" + std::to_string(n) + ext).string();
        login.accessPath = home;
        listBoth();
        // Access keeps names that begin with "MSys" for its own tables: a table of that name
        // (Access's own log of a compaction, kept as a user table) cannot come back.
        QStringList mysqlTables;
        for (const QString& t : names(list2()))
            if (!t.startsWith("MSys", Qt::CaseInsensitive)) mysqlTables << t;
        ASSERT_TRUE(names(list1()).isEmpty());
        const Sent returned = sendAll(/*toMySql=*/false, customise, mysqlTables);
        EXPECT_TRUE(returned.refused.empty());
        // The Access list was listed anew from the file: it names every table sent.
        EXPECT_EQ(names(list1()), mysqlTables);
        for (const QString& qt : mysqlTables) {
            const std::string t = qt.toStdString();
            SCOPED_TRACE("back: " + t);
            ++back;
            const Table sentTable =
                readTable(mysql.connectionString(), "SELECT * FROM `" + t + "`");
            const Table returnedTable = readTable(db::buildAccessConnectionString(login, home, ""),
                                                  "SELECT * FROM [" + t + "]");
            ASSERT_EQ(returnedTable.rows.size(), sentTable.rows.size());
            ASSERT_EQ(returnedTable.fields.size(), sentTable.fields.size());
            for (std::size_t r = 0; r < sentTable.rows.size(); ++r) {
                for (std::size_t c = 0; c < sentTable.fields.size(); ++c) {
                    const db::Value& s = sentTable.rows[r][c];
                    const db::Value& a = returnedTable.rows[r][c];
                    if (testenv::isNullOnTheWay(s)) {
                        EXPECT_TRUE(a.isNull()) << "row " << r << " column " << c;
                    } else {
                        EXPECT_EQ(testenv::arrivedText(a), testenv::arrivedText(s))
                            << "row " << r << " column " << c;
                    }
                }
            }
            if (customise) {
                const auto& proposed = returned.proposed.at(t);
                ASSERT_EQ(proposed.size(), returnedTable.fields.size());
                for (std::size_t c = 0; c < proposed.size(); ++c)
                    EXPECT_EQ(db::dataTypeNameText(db::typeCode16(returnedTable.fields[c].type)),
                              accessTypeOf(proposed[c]))
                        << "column " << c << " proposed " << proposed[c];
            }
        }
    }
    std::printf(
        "%d tables to MySQL, %d back into Access; %d refused as proposed, %zu values rounded "
        "by the proposed type\n",
        tables, back, refused, rounded.size());
    EXPECT_GT(tables, 20);
    EXPECT_LE(refused, 4);
    EXPECT_LE(rounded.size(), 20u);
    EXPECT_GT(back, 20);
}

INSTANTIATE_TEST_SUITE_P(DefaultAndProposed, SendRoundTrip, ::testing::Bool());

// ---- hostile text ----

// Text that breaks statements built carelessly, or that a careless escape would change.
std::vector<std::string> hostileCorpus() {
    return {
        "it's",
        "''",
        "\\",
        "ends with a backslash\\",
        "\\'",
        "\\''",
        "'; DROP TABLE x; --",
        "\\'; DROP TABLE x; -- ",
        "`; DROP TABLE x; `",
        "'); DROP TABLE x; INSERT INTO x VALUES('",
        std::string("nul\0inside", 10),
        std::string(1, '\0'),
        "lone\rcr",
        "lone\nlf",
        "\n\r",
        "tab\there",
        "%_ wildcards [brackets] #hash#",
        "\\n is not a line break, \\t not a tab, \\0 not a NUL",
        "\x1A control-Z",
        "\xF0\x9F\x98\x80\xF0\x9F\x8C\x8D non-BMP",
        "\xE2\x80\xAE right-to-left override",
        std::string(70000, '\\'),
        std::string(35000, '\'') + std::string(35000, 'x'),
        std::string(70000, 'm'),
    };
}

std::string hexOf(const std::string& s) {
    static const char* const kDigits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::set<std::string> accessTables(const std::string& path) {
    db::LoginFields l;
    l.accessPath = path;
    db::Connection c;
    c.open(db::buildAccessConnectionString(l));
    auto rs = c.openSchema(db::kAdSchemaTables);
    std::set<std::string> out;
    for (; !rs->eof(); rs->moveNext())
        if (rs->field("TABLE_TYPE").value().asText() == "TABLE")
            out.insert(rs->field("TABLE_NAME").value().asText());
    return out;
}

TEST_F(SendTest, HostileTextArrivesByteForByteInAccessAndBackInMySqlAndRunsNothing) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/empty/empty.mdb");
    const auto corpus = hostileCorpus();
    auto& source = useScratchDatabase();
    source.exec("CREATE TABLE x (a INT)");
    source.exec("INSERT INTO x VALUES (1)");
    source.exec("CREATE TABLE Hostile (ID INT, Short VARCHAR(255), `Long` LONGTEXT)");
    for (std::size_t i = 0; i < corpus.size(); ++i) {
        // Written as hexadecimal, so that the test's own statements need no escaping at all.
        const std::string text = "CONVERT(X'" + hexOf(corpus[i]) + "' USING utf8mb4)";
        source.exec("INSERT INTO Hostile VALUES (" + std::to_string(i) + ", " +
                    (corpus[i].size() <= 255 ? text : "NULL") + ", " + text + ")");
    }
    const std::string home = dir.copyFixture("access/empty/empty.mdb", "hostile.mdb").string();
    login.accessPath = home;
    listBoth();
    select(list2(), {"Hostile"});
    auto seen = expectReview(/*execute=*/true);
    button("PushButton4")->click();
    ASSERT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
    EXPECT_EQ(accessTables(home), std::set<std::string>{"Hostile"});
    EXPECT_EQ(names(list1()), QStringList{"Hostile"});

    auto expectCorpus = [&](const Table& t, const char* where) {
        SCOPED_TRACE(where);
        ASSERT_EQ(t.rows.size(), corpus.size());
        for (std::size_t i = 0; i < corpus.size(); ++i) {
            EXPECT_EQ(t.rows[i][0].asInteger(), static_cast<long>(i));
            if (corpus[i].size() <= 255) {
                EXPECT_EQ(t.rows[i][1].asText(), corpus[i]) << i;
            }
            EXPECT_EQ(t.rows[i][2].asText(), corpus[i]) << i;
        }
    };
    expectCorpus(
        readTable(db::buildAccessConnectionString(login, home, ""), "SELECT * FROM [Hostile]"),
        "in Access");

    // And from the Access file into another MySQL database that has a table x of its own.
    auto& target = useScratchDatabase();
    target.exec("CREATE TABLE x (a INT)");
    target.exec("INSERT INTO x VALUES (2)");
    listBoth();
    select(list1(), {"Hostile"});
    list1()->setListIndex(0);
    seen = expectReview(/*execute=*/true);
    button("PushButton3")->click();
    ASSERT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
    expectCorpus(readTable(target.connectionString(), "SELECT * FROM `Hostile` ORDER BY ID"),
                 "back in MySQL");
    EXPECT_EQ(names(list2()), (QStringList{"Hostile", "x"}));
    EXPECT_EQ(target.scalar("SELECT COUNT(*) FROM x WHERE a = 2"), "1");
    EXPECT_EQ(accessTables(home), std::set<std::string>{"Hostile"});
}

// ---- Send to MySQL with values only a written Access table holds ----

TEST_F(SendTest, AccessRowsOfNullsLineBreaksBackslashesAndBackticksForMySql) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/empty/empty.mdb");
    const std::string path = dir.copyFixture("access/empty/empty.mdb", "edge.mdb").string();
    login.accessPath = path;
    {
        db::Connection c;
        c.setCursorLocation(db::kAdUseServer);
        c.setMode(db::kAdModeReadWrite);
        c.open(db::buildAccessConnectionString(login));
        c.execute("CREATE TABLE `Edge`(`ID` INT,`A` VARCHAR(50),`B` MEMO);");
        c.execute("INSERT INTO `Edge` VALUES(NULL, NULL, NULL)");
        c.execute("INSERT INTO `Edge` VALUES('1', '\r\n', 'C:\\temp\\')");
        c.execute("INSERT INTO `Edge` VALUES('2', 'a`b', 'x\r\ny\rz\nw')");
        c.execute("INSERT INTO `Edge` VALUES('3', NULL, 'it''s \\''')");
    }
    auto& mysql = useScratchDatabase();
    listBoth();
    select(list1(), {"Edge"});
    list1()->setListIndex(0);
    auto seen = expectReview(/*execute=*/true);
    button("PushButton3")->click();
    // For MySQL a backslash is doubled (it would start an escape there) and a CR LF pair is
    // written \r\n; the rest as for Access.
    EXPECT_EQ(seen->text,
              "CREATE TABLE `Edge`(`ID` INT,`A` text,`B` LONGTEXT)\r\n\r\n"
              "INSERT INTO `Edge` VALUES(NULL, NULL, NULL)\r\n"
              "INSERT INTO `Edge` VALUES('1', '\\r\\n', 'C:\\\\temp\\\\')\r\n"
              "INSERT INTO `Edge` VALUES('2', 'a`b', 'x\\r\\ny\rz\nw')\r\n"
              "INSERT INTO `Edge` VALUES('3', NULL, 'it''s \\\\''')\r\n"
              "\r\n");
    ASSERT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
    const Table t = readTable(mysql.connectionString(), "SELECT * FROM `Edge`");
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_TRUE(t.rows[0][0].isNull() && t.rows[0][1].isNull() && t.rows[0][2].isNull());
    EXPECT_EQ(t.rows[1][1].asText(), "\r\n");
    EXPECT_EQ(t.rows[1][2].asText(), "C:\\temp\\");
    EXPECT_EQ(t.rows[2][1].asText(), "a`b");
    EXPECT_EQ(t.rows[2][2].asText(), "x\r\ny\rz\nw");
    EXPECT_EQ(t.rows[3][2].asText(), "it's \\'");
}

TEST_F(SendTest, TwoAccessTablesOverwrittenAreReplacedInTheFileAndListedAnew) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2003/queryTestV2003.mdb");
    useAccessCopy("access/V2003/queryTestV2003.mdb");  // Table1, Table2, Table3, unrelated
    auto& mysql = useScratchDatabase();
    mysql.exec("CREATE TABLE Table1 (n VARCHAR(10))");
    mysql.exec("INSERT INTO Table1 VALUES ('one'), ('two')");
    mysql.exec("CREATE TABLE Table2 (d DATETIME)");
    mysql.exec("INSERT INTO Table2 VALUES ('2024-02-29 12:34:56')");
    listBoth();
    select(list2(), {"Table1", "Table2"});
    prompts.queueAnswer(ui::Answer::Yes);
    prompts.queueAnswer(ui::Answer::Yes);
    auto seen = expectReview(/*execute=*/true);
    button("PushButton4")->click();
    EXPECT_EQ(seen->text,
              "DROP TABLE `Table2`\r\n\r\nCREATE TABLE `Table2`(`d` DATETIME);\r\n\r\n"
              "INSERT INTO `Table2` VALUES('2024-02-29 12:34:56')\r\n\r\n"
              "DROP TABLE `Table1`\r\n\r\nCREATE TABLE `Table1`(`n` TEXT);\r\n\r\n"
              "INSERT INTO `Table1` VALUES('one')\r\nINSERT INTO `Table1` VALUES('two')\r\n\r\n");
    ASSERT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
    EXPECT_TRUE(ui::SqlExecuted);
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "Table2", "Table3"}));
    const std::string cs = db::buildAccessConnectionString(login);
    const Table t1 = readTable(cs, "SELECT * FROM [Table1]");
    ASSERT_EQ(t1.rows.size(), 2u);
    EXPECT_EQ(t1.rows[1][0].asText(), "two");
    const Table t2 = readTable(cs, "SELECT * FROM [Table2]");
    ASSERT_EQ(t2.rows.size(), 1u);
    EXPECT_EQ(transfer::valueText(t2.rows[0][0]), "2024-02-29 12:34:56");
}

}  // namespace
}  // namespace browsertest
