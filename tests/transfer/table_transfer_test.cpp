// One table of a send command, headless, from real MySQL tables: the default statement, the
// DROP line, the rows, the customisation dialog accepted, cancelled or left unchanged, the
// progress reports, and failures reported with the command's step and statement.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "db/connection.h"
#include "db/connection_string.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "tests/transfer/script_runner.h"
#include "transfer/table_transfer.h"
#include "typecustom/form3.h"
#include "ui/command.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"

using transfer::Direction;
using transfer::TableResult;

namespace {

class TableTransferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::setPromptService(&prompts_);
        if (testenv::mysqlServer().host.empty()) return;
        db_ = std::make_unique<testenv::MySqlScratch>();
        db_->exec(
            "CREATE TABLE orders (id INT, name VARCHAR(20), price DECIMAL(10,2), "
            "flag BIT(1), d DATETIME)");
        db_->exec(
            "INSERT INTO orders VALUES (1, 'don''t', 3.50, 1, '2024-01-02 03:04:05'), "
            "(2, NULL, NULL, 0, NULL), (3, 'a\\r\\nb\\\\c`d', -0.01, NULL, "
            "'2024-02-29 00:00:00')");
        db_->exec("CREATE TABLE empty (id INT, t TEXT)");
        const db::LoginFields login = db_->login();
        ui::setLoginProvider([login] { return login; });
        connection_.setCursorLocation(db::kAdUseClient);
        connection_.open(db_->connectionString());
        hooks_.setProgress = [this](double p) { progress_.push_back(p); };
        hooks_.resetProgress = [this] { ++resets_; };
        hooks_.removeFromTargetList = [this] { ++removals_; };
        hooks_.restoreCursor = [this] { ++cursorRestores_; };
    }
    void TearDown() override {
        EXPECT_TRUE(prompts_.unexpected().empty());
        ui::setPromptService(nullptr);
        ui::setLoginProvider(nullptr);
    }
    // Runs `act` once the customisation dialog is shown: the table is read in a worker, so the
    // window's events run before the dialog appears.
    void whenDialogShows(std::function<void()> act) {
        dialogTimer_.setInterval(2);
        QObject::connect(&dialogTimer_, &QTimer::timeout, [this, act] {
            if (!form3_.window() || !form3_.window()->isVisible()) return;
            dialogTimer_.stop();
            act();
        });
        dialogTimer_.start();
    }
    TableResult run(const std::string& table, std::optional<ui::Answer> answer, bool customise) {
        ui::Command cmd("Form2", "PushButton4_Click");
        cmd.attachSql(&statement_);
        return transfer::transferTable(cmd, Direction::MySqlToAccess, connection_, table, answer,
                                       customise, form3_, script_, statement_, hooks_);
    }

    ui::ScriptedPrompts prompts_;
    std::unique_ptr<testenv::MySqlScratch> db_;
    db::Connection connection_;
    typecustom::Form3 form3_;
    transfer::ScriptBuilder script_{transfer::Direction::MySqlToAccess};
    std::string statement_;
    transfer::TableWindowHooks hooks_;
    std::vector<double> progress_;
    int resets_ = 0, removals_ = 0, cursorRestores_ = 0;
    QTimer dialogTimer_;
};

const char* const kOrderRows =
    "INSERT INTO `orders` VALUES('1', 'don''t', '3.50', 'True', '2024-01-02 03:04:05')\r\n"
    "INSERT INTO `orders` VALUES('2', NULL, NULL, 'False', NULL)\r\n"
    "INSERT INTO `orders` VALUES('3', 'a' & Chr(13) & Chr(10) & 'b\\c`d', '-0.01', NULL, "
    "'2024-02-29')\r\n"
    "\r\n";

}  // namespace

TEST_F(TableTransferTest, DefaultStatementRowsAndProgress) {
    DM_REQUIRE_MYSQL();
    EXPECT_EQ(run("orders", std::nullopt, false), TableResult::Added);
    EXPECT_EQ(script_.text(),
              std::string("CREATE TABLE `orders`(`id` INT,`name` TEXT,`price` DECIMAL(10,2),"
                          "`flag` VARCHAR,`d` DATETIME);\r\n\r\n") +
                  kOrderRows);
    EXPECT_EQ(statement_,
              "INSERT INTO `orders` VALUES('3', 'a' & Chr(13) & Chr(10) & 'b\\c`d', '-0.01', NULL, "
              "'2024-02-29')");
    ASSERT_FALSE(progress_.empty());
    EXPECT_DOUBLE_EQ(progress_.back(), 100.0);
    EXPECT_EQ(resets_, 1);
    EXPECT_EQ(removals_, 0);
    EXPECT_EQ(cursorRestores_, 1);
    EXPECT_TRUE(prompts_.records().empty());
    EXPECT_EQ(connection_.state(), db::kAdStateOpen);
}

TEST_F(TableTransferTest, OverwriteAddsTheDropLineAndLeavesTheTargetList) {
    DM_REQUIRE_MYSQL();
    EXPECT_EQ(run("orders", ui::Answer::Yes, false), TableResult::Added);
    EXPECT_EQ(script_.text().rfind("DROP TABLE `orders`\r\n\r\nCREATE TABLE `orders`(", 0), 0u);
    EXPECT_EQ(removals_, 1);
}

TEST_F(TableTransferTest, AnEmptyTableGivesItsCreateLineAndTwoEmptyLines) {
    DM_REQUIRE_MYSQL();
    EXPECT_EQ(run("empty", std::nullopt, false), TableResult::Added);
    EXPECT_EQ(script_.text(), "CREATE TABLE `empty`(`id` INT,`t` TEXT);\r\n\r\n\r\n");
    EXPECT_TRUE(progress_.empty());
    EXPECT_EQ(resets_, 1);
}

TEST_F(TableTransferTest, TheDialogsStatementReplacesTheDefaultOne) {
    DM_REQUIRE_MYSQL();
    ui::CustomizeCancelled = false;
    whenDialogShows([&] {
        EXPECT_EQ(form3_.mType, "ACCESS");
        EXPECT_EQ(form3_.mTableName, "orders");
        EXPECT_EQ(form3_.mSQL, "CREATE TABLE `orders`(");
        EXPECT_TRUE(ui::CustomizeCancelled);
        form3_.window()->pushButton2()->click();
    });
    EXPECT_EQ(run("orders", std::nullopt, true), TableResult::Added);
    EXPECT_EQ(script_.text(),
              std::string("CREATE TABLE `orders`([id] INT,[name] VARCHAR(20),"
                          "[price] decimal(10,2),[flag] BIT,[d] DATETIME)\r\n\r\n") +
                  kOrderRows);
}

TEST_F(TableTransferTest, CancellingTheDialogEndsWithNothingAddedAndTheConnectionClosed) {
    DM_REQUIRE_MYSQL();
    whenDialogShows([&] { form3_.window()->pushButton4()->click(); });
    EXPECT_EQ(run("orders", ui::Answer::Yes, true), TableResult::Cancelled);
    EXPECT_EQ(script_.text(), "");
    EXPECT_EQ(connection_.state(), db::kAdStateClosed);
    EXPECT_EQ(cursorRestores_, 1);
    EXPECT_EQ(removals_, 0);
    EXPECT_TRUE(ui::CustomizeCancelled);
}

TEST_F(TableTransferTest, AConfirmedButUnchangedHeadTakesTheDefaultMapping) {
    DM_REQUIRE_MYSQL();
    whenDialogShows([&] {
        ui::CustomizeCancelled = false;
        form3_.window()->pushButton4()->click();
    });
    EXPECT_EQ(run("orders", std::nullopt, true), TableResult::Added);
    EXPECT_EQ(script_.text().substr(0, 46), "CREATE TABLE `orders`(`id` INT,`name` TEXT,`pr");
}

TEST_F(TableTransferTest, AMissingTableIsReportedWithTheStepAndTheStatement) {
    DM_REQUIRE_MYSQL();
    run("gone", std::nullopt, false);
    const auto boxes = prompts_.messages();
    ASSERT_GE(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Application Error");
    EXPECT_TRUE(boxes[0].text.contains("in Quillfen2021/08/31.Form2.PushButton4_Click at line 128"))
        << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains("gone")) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.endsWith("\r\rsql: ")) << boxes[0].text.toStdString();
    // Later steps that need the record set are reported too; no row is written.
    EXPECT_GT(boxes.size(), 1u);
    EXPECT_TRUE(boxes[1].text.endsWith("sql: CREATE TABLE `gone`(")) << boxes[1].text.toStdString();
    EXPECT_EQ(script_.text().find("INSERT"), std::string::npos);
}

// MySQL allows 65 digits, Access 28: a wide DECIMAL arrives as a column that still holds the
// values, whole numbers and fractions, instead of one that refuses every value from 1 on.
TEST_F(TableTransferTest, WideDecimalsArriveInAccessWithTheirValues) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    db_->exec("CREATE TABLE wide (a DECIMAL(65,30), b DECIMAL(40,4))");
    db_->exec("INSERT INTO wide VALUES (12345.678, 1234567890.1234), (-0.5, 0)");
    EXPECT_EQ(run("wide", std::nullopt, false), TableResult::Added);
    EXPECT_EQ(script_.text().substr(0, script_.text().find("\r\n")),
              "CREATE TABLE `wide`(`a` DECIMAL(28,14),`b` DECIMAL(28,4));");

    testenv::TempDir dir;
    db::LoginFields login;
    login.accessPath = dir.copyFixture("access/empty/empty2003.mdb").string();
    db::Connection access;
    access.open(db::buildAccessConnectionString(login));
    EXPECT_EQ(testenv::runScript(access, script_.text()), 3);
    db::Recordset rs;
    rs.open("SELECT * FROM [wide]", access);
    std::vector<std::string> got;
    for (; !rs.eof(); rs.moveNext())
        got.push_back(rs.field(0).value().toDebugString() + " " +
                      rs.field(1).value().toDebugString());
    EXPECT_EQ(got, (std::vector<std::string>{"12345.67800000000000 1234567890.1234",
                                             "-0.50000000000000 0.0000"}));
}
