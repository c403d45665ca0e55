// The browser's sends and dunmorrow-cli's make the same script: what the review window's Save
// writes for a selection is, byte for byte, what `--script` writes for the same tables, by the
// default mapping and with the proposals taken as they stand. And the names Access cannot hold:
// a table refused with a sentence, a column offered for renaming by the customisation dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "browser/list_tables.h"
#include "tests/browser/send_fixture.h"
#include "tests/support/run_program.h"
#include "ui/app_title.h"

namespace browsertest {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SendScriptTest : public SendTest {
  protected:
    // The review window's Save for the tables selected in the source list, each dialog
    // confirmed as proposed when `customise`; every overwrite question answered Yes.
    std::string savedByTheWindow(bool toMySql, const QStringList& tables, bool customise,
                                 bool keys = false) {
        listBoth();  // an answered "Overwrite?" took the table off the target's list
        browser::TableList* source = toMySql ? list1() : list2();
        (toMySql ? form().check15() : form().check16())->setChecked(customise);
        (toMySql ? form().check17() : form().check18())->setChecked(keys);
        source->setRangeSelected(0, source->listCount() - 1, false);
        select(source, tables);
        source->setListIndex(0);
        for (int i = 0; customise && i < tables.size(); ++i)
            acceptCustomisation();
        const fs::path file = dir.path() / ("window" + std::to_string(++saves_) + ".txt");
        modal->onForm4([this, file](review::Form4& w) {
            notes_ = w.notes();
            prompts.queueFile(QString::fromStdString(file.string()));
            w.pushButton2Click();
            w.reject();
        });
        for (int i = 0; i < 8; ++i)
            prompts.queueAnswer(ui::Answer::Yes);
        button(toMySql ? "PushButton3" : "PushButton4")->click();
        EXPECT_EQ(modal->pending(), 0u);
        prompts.clear();
        return readAll(file);
    }

    // What dunmorrow-cli writes with --script for the same tables.
    std::string writtenByTheCommandLine(bool toMySql, const QStringList& tables, bool customise,
                                        bool keys = false) {
        const auto server = testenv::mysqlServer();
        const std::string address = "mysql://" + server.user + "@" + server.host + ":" +
                                    server.port + "/" + scratch->name();
        const fs::path file = dir.path() / ("cli" + std::to_string(++saves_) + ".txt");
        std::vector<std::string> args = {DM_CLI_PATH, toMySql ? "to-mysql" : "to-access"};
        if (toMySql) {
            args.push_back(login.accessPath);
            args.push_back(address);
        } else {
            args.push_back(address);
            args.push_back(login.accessPath);
        }
        for (const QString& t : tables)
            args.push_back(t.toStdString());
        args.insert(args.end(), {"--overwrite", "--quiet", "--script", file.string()});
        if (customise) args.push_back("--proposed-types");
        if (keys) args.push_back("--keys");
        ::setenv("DUNMORROW_MYSQL_PASSWORD", server.password.c_str(), 1);
        const auto r = testenv::runProgram(args);
        ::unsetenv("DUNMORROW_MYSQL_PASSWORD");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        cliErr_ = r.err;
        return readAll(file);
    }

    void expectSameScript(bool toMySql, const QStringList& tables, bool customise) {
        SCOPED_TRACE(std::string(toMySql ? "send to MySQL" : "send to Access") +
                     (customise ? ", proposed types" : ", default mapping"));
        const std::string window = savedByTheWindow(toMySql, tables, customise);
        const std::string cli = writtenByTheCommandLine(toMySql, tables, customise);
        EXPECT_GT(window.size(), 20u);
        EXPECT_TRUE(window == cli) << "window:\n" << window << "\ncommand line:\n" << cli;
    }

    int saves_ = 0;
    QString notes_;       // the review window's Notes when it showed
    std::string cliErr_;  // what the command line wrote on standard error
};

TEST_F(SendScriptTest, TheCommandLinesScriptIsTheWindowsSaveByteForByte) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    DM_REQUIRE_MYSQL();
    useAccessCopy("access/V2010/testV2010.accdb");
    auto& db = useScratchDatabase();
    // A table on both sides (overwritten: a DROP line), text with quotes and line breaks, a
    // numeric column name (the dialog renames it), dates, decimals and bytes.
    db.exec("CREATE TABLE Table2 (id INT)");
    db.exec(
        "CREATE TABLE zeta (`2021` INT, t VARCHAR(30), d DATETIME, m DECIMAL(12,3), "
        "b VARBINARY(8), f DOUBLE)");
    db.exec(
        "INSERT INTO zeta VALUES (1, 'it''s\\r\\nhere', '2024-02-29 13:14:15', -12.5, "
        "X'00FF', 0.1), (NULL, NULL, NULL, NULL, NULL, NULL)");
    db.exec("CREATE TABLE alpha (id BIGINT, note TEXT)");
    db.exec("INSERT INTO alpha VALUES (9007199254740993, 'a\\\\b')");
    listBoth();
    for (bool customise : {false, true}) {
        expectSameScript(/*toMySql=*/true, {"Table1", "Table2", "Table4"}, customise);
        expectSameScript(/*toMySql=*/false, {"zeta", "alpha"}, customise);
    }
}

// With "Send keys and indexes" ticked the window's script is the one of --keys, its keys after
// the rows and the foreign keys after every table; the Notes say what the command line says.
TEST_F(SendScriptTest, WithKeysTheWindowAndTheCommandLineWriteTheSameScriptAndNotes) {
    DM_REQUIRE_FIXTURE("access/V2010/indexTestV2010.accdb");
    DM_REQUIRE_MYSQL();
    useAccessCopy("access/V2010/indexTestV2010.accdb");
    useScratchDatabase();
    listBoth();
    const QStringList tables = {"Table1", "Table2", "Table3"};
    const std::string window = savedByTheWindow(true, tables, false, /*keys=*/true);
    const std::string cli = writtenByTheCommandLine(true, tables, false, /*keys=*/true);
    EXPECT_TRUE(window == cli) << "window:\n" << window << "\ncommand line:\n" << cli;
    const std::size_t fk = window.find(
        "ALTER TABLE `Table1` ADD CONSTRAINT `Table2Table1` FOREIGN KEY (`otherfk1`) REFERENCES "
        "`Table2` (`id`) ON DELETE CASCADE\r\n");
    ASSERT_NE(fk, std::string::npos) << window;
    // After the last table's rows and its keys.
    EXPECT_GT(fk, window.rfind("INSERT INTO"));
    EXPECT_GT(fk, window.rfind("ADD PRIMARY KEY"));
    EXPECT_NE(window.find("ALTER TABLE `Table2` ADD PRIMARY KEY (`id`), ADD KEY `id` (`id`)\r\n"),
              std::string::npos);
    EXPECT_TRUE(notes_.isEmpty()) << notes_.toStdString();
    EXPECT_EQ(cliErr_, "");

    // A relationship to a table not sent is named in both.
    savedByTheWindow(true, {"Table1"}, false, true);
    writtenByTheCommandLine(true, {"Table1"}, false, true);
    const std::string note =
        "Table \"Table1\": the foreign key \"Table2Table1\" to \"Table2\" is left out: that "
        "table is not part of the send.";
    EXPECT_TRUE(notes_.contains(QString::fromStdString(note))) << notes_.toStdString();
    EXPECT_NE(cliErr_.find("dunmorrow-cli: note: " + note + "\n"), std::string::npos) << cliErr_;

    // Untick it and the script is the one of a send of columns and rows.
    const std::string plain = savedByTheWindow(true, tables, false, /*keys=*/false);
    EXPECT_EQ(plain, writtenByTheCommandLine(true, tables, false));
    EXPECT_EQ(plain.find("ALTER TABLE"), std::string::npos);
    EXPECT_EQ(plain.find("NOT NULL"), std::string::npos);
}

TEST_F(SendScriptTest, ATableNameAccessCannotHoldIsRefusedAndTheOthersGo) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    DM_REQUIRE_MYSQL();
    useAccessCopy("access/V2010/testV2010.accdb");
    auto& db = useScratchDatabase();
    db.exec("CREATE TABLE `t`` UNION SELECT 2,CONCAT(user(),' ',version())#` (id INT)");
    db.exec("CREATE TABLE plain (id INT)");
    listBoth();
    select(list2(), {"t` UNION SELECT 2,CONCAT(user(),' ',version())#", "plain"});
    auto seen = expectReview();
    button("PushButton4")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              "The table name \"t` UNION SELECT 2,CONCAT(user(),' ',version())#\" cannot be used "
              "in an Access file: it holds the character \"`\". The table is not sent.");
    EXPECT_EQ(prompts.messages()[0].title, ui::applicationTitle());
    EXPECT_EQ(seen->text, "CREATE TABLE `plain`(`id` INT);\r\n\r\n\r\n");
}

TEST_F(SendScriptTest, AColumnNameAccessCannotHoldIsOfferedForRenamingInTheDialog) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    DM_REQUIRE_MYSQL();
    useAccessCopy("access/V2010/testV2010.accdb");
    auto& db = useScratchDatabase();
    db.exec("CREATE TABLE dots (`a.b` INT, `c]d` TEXT)");
    db.exec("INSERT INTO dots VALUES (1, 'x')");
    listBoth();

    // Without the dialog the table is refused, naming the column.
    select(list2(), {"dots"});
    auto refused = expectReview();
    button("PushButton4")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              "The column name \"a.b\" cannot be used in an Access file: it holds the character "
              "\".\". The table \"dots\" is not sent.");
    EXPECT_EQ(refused->text, "");
    prompts.clear();

    // With it, OK asks for a name for each such column; declining keeps the dialog open.
    form().check16()->setChecked(true);
    bool keptOpen = false;
    modal->onForm3([&](typecustom::Form3Window& w) {
        prompts.queueInput("");
        w.pushButton2()->click();
        keptOpen = w.isVisible();
        prompts.queueInput("a_b");
        prompts.queueInput("c.d");  // still not a name Access holds: asked again
        prompts.queueInput("c_d");
        w.pushButton2()->click();
    });
    auto seen = expectReview();
    button("PushButton4")->click();
    EXPECT_TRUE(keptOpen);
    std::vector<ui::InputRequest> asked;
    for (const auto& r : prompts.records())
        if (r.kind == ui::ScriptedPrompts::Record::Input) asked.push_back(r.input);
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[0].prompt,
              "The column name \"a.b\" cannot be used in an Access file: it holds the character "
              "\".\". Type a name for the column in the Access table:");
    EXPECT_EQ(asked[0].defaultText, "a_b");
    EXPECT_EQ(asked[0].title, ui::applicationTitle());
    EXPECT_EQ(asked[2].prompt,
              "The column name \"c]d\" cannot be used in an Access file: it holds the character "
              "\"]\". Type a name for the column in the Access table:");
    EXPECT_EQ(asked[3].prompt,
              "The column name \"c.d\" cannot be used in an Access file: it holds the character "
              "\".\". Type a name for the column in the Access table:");
    EXPECT_EQ(seen->text,
              "CREATE TABLE `dots`([a_b] INT,[c_d] TEXT)\r\n\r\n"
              "INSERT INTO `dots` VALUES('1', 'x')\r\n\r\n");
}

}  // namespace
}  // namespace browsertest
