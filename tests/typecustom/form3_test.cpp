// The type customisation dialog, headless: inference from real MySQL tables and real Access
// files, the paired lists, "Change", "OK" with both quote styles, "Help", "Cancel" and the
// question before closing.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "typecustom/form3.h"
#include "ui/app_title.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/window_helpers.h"

using typecustom::Form3;
using typecustom::Form3Window;
using Strings = std::vector<std::string>;

namespace {

Strings items(const QListWidget* list) {
    Strings out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toStdString());
    return out;
}

class Form3Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::setPromptService(&prompts_);
        ui::CustomizeCancelled = true;
    }
    void TearDown() override {
        EXPECT_TRUE(prompts_.unexpected().empty());
        ui::setPromptService(nullptr);
        ui::setLoginProvider(nullptr);
    }
    void useLogin(const db::LoginFields& login) {
        ui::setLoginProvider([login] { return login; });
    }
    // The caller's part of the contract, for table `table` going to `target`.
    void prepare(const std::string& target, const std::string& table) {
        ui::CustomizeCancelled = true;
        form_.mType = target;
        form_.mTableName = table;
        form_.mSQL = "CREATE TABLE `" + table + "`(";
    }
    std::vector<ui::MessageRequest> messages() const { return prompts_.messages(); }

    ui::ScriptedPrompts prompts_;
    Form3 form_;
};

// A MySQL table holding every kind of column the server reports, and its first row; the text
// columns declare more room than their first values take, except v255.
void createEveryKind(testenv::MySqlScratch& db, bool withRow) {
    db.exec(
        "CREATE TABLE kinds (id INT, name VARCHAR(100), code CHAR(10), notes TEXT, "
        "price DECIMAL(10,2), flag BIT(1), small SMALLINT, usmall SMALLINT UNSIGNED, "
        "tiny TINYINT, big BIGINT, uint INT UNSIGNED, day DATE, stamp DATETIME, clock TIME, "
        "f FLOAT, d DOUBLE, bin VARBINARY(16), pic LONGBLOB, v255 VARCHAR(255), "
        "v256 VARCHAR(300), nul VARCHAR(20), empty VARCHAR(20), accents VARCHAR(10), yr YEAR)");
    if (withRow)
        db.exec(
            "INSERT INTO kinds VALUES (1, 'abc', 'x', 'short', 3.75, 1, 2, 3, 4, 5, 6, "
            "'2024-01-02', '2024-01-02 03:04:05', '10:11:12', 1.5, 2.5, 0x0102, 0x0304, "
            "REPEAT('a', 255), REPEAT('b', 256), NULL, '', 'Ødegård', 2024)");
}

const Strings kKindNames{"id",   "name", "code", "notes", "price", "flag",  "small",   "usmall",
                         "tiny", "big",  "uint", "day",   "stamp", "clock", "f",       "d",
                         "bin",  "pic",  "v255", "v256",  "nul",   "empty", "accents", "yr"};

}  // namespace

TEST_F(Form3Test, ProposesAccessTypesFromTheFirstMySqlRow) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch db;
    createEveryKind(db, true);
    useLogin(db.login());
    prepare("ACCESS", "kinds");
    Form3Window w(form_);
    EXPECT_TRUE(prompts_.records().empty());
    EXPECT_EQ(items(w.list1()), kKindNames);
    EXPECT_EQ(
        items(w.list2()),
        (Strings{"INT",           "VARCHAR(100)", "VARCHAR(10)", "TEXT",         "decimal(10,2)",
                 "BIT",           "SMALLINT",     "INT",         "SMALLINT",     "decimal(20,0)",
                 "decimal(20,0)", "DATETIME",     "DATETIME",    "VARCHAR(10)",  "Real",
                 "Float",         "Image",        "Image",       "VARCHAR(255)", "TEXT",
                 "VARCHAR(20)",   "VARCHAR(20)",  "VARCHAR(10)", "SMALLINT"}));
    // The first field is selected, and with it the first type.
    EXPECT_EQ(w.list1()->currentRow(), 0);
    EXPECT_EQ(w.list2()->currentRow(), 0);
    EXPECT_EQ(w.text1()->text(), "INT");
}

TEST_F(Form3Test, AnEmptyMySqlTableSizesCharacterColumnsByTheirDeclaredSize) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch db;
    createEveryKind(db, false);
    useLogin(db.login());
    prepare("ACCESS", "kinds");
    Form3Window w(form_);
    EXPECT_EQ(
        items(w.list2()),
        (Strings{"INT",           "VARCHAR(100)", "VARCHAR(10)", "TEXT",         "decimal(10,2)",
                 "BIT",           "SMALLINT",     "INT",         "SMALLINT",     "decimal(20,0)",
                 "decimal(20,0)", "DATETIME",     "DATETIME",    "VARCHAR(10)",  "Real",
                 "Float",         "Image",        "Image",       "VARCHAR(255)", "TEXT",
                 "VARCHAR(20)",   "VARCHAR(20)",  "VARCHAR(10)", "SMALLINT"}));
}

// A fixture file and the proposals for its Table1's text columns A and B. Their first values in
// storage order ("abcdefg", "hijklmnop" in the Access 2000 file; "a", "b" in the others) are
// shorter than the 50 and 100 characters the columns declare, which decide.
struct AccessCase {
    const char* fixture;
    const char* a;
    const char* b;
};

void PrintTo(const AccessCase& c, std::ostream* os) {
    *os << c.fixture;
}

class Form3AccessFiles : public Form3Test, public ::testing::WithParamInterface<AccessCase> {};

TEST_P(Form3AccessFiles, ProposesMySqlTypesFromTheFirstAccessRowAndOkUsesBackticks) {
    const std::string fixture = GetParam().fixture;
    const std::string a = GetParam().a, b = GetParam().b;
    DM_REQUIRE_FIXTURE(fixture);
    testenv::TempDir dir;
    db::LoginFields login;
    login.accessPath = dir.copyFixture(fixture).string();
    useLogin(login);
    prepare("MySQL", "Table1");
    Form3Window w(form_);
    EXPECT_TRUE(prompts_.records().empty());
    EXPECT_EQ(items(w.list1()), (Strings{"A", "B", "C", "D", "E", "F", "G", "H", "I"}));
    EXPECT_EQ(items(w.list2()), (Strings{a, b, "TINYINT UNSIGNED", "SMALLINT", "INT", "Real",
                                         "DATETIME(3)", "decimal(19,4)", "BIT"}));
    w.pushButton2()->click();
    EXPECT_EQ(form_.mSQL, "CREATE TABLE `Table1`(`A` " + a + ",`B` " + b +
                              ",`C` TINYINT UNSIGNED,`D` SMALLINT,`E` INT,`F` Real,`G` DATETIME(3),"
                              "`H` decimal(19,4),"
                              "`I` BIT)");
    EXPECT_FALSE(ui::CustomizeCancelled);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts_.records().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, Form3AccessFiles,
    ::testing::Values(AccessCase{"access/V2000/testV2000.mdb", "VARCHAR(50)", "VARCHAR(100)"},
                      AccessCase{"access/V2007/testV2007.accdb", "VARCHAR(50)", "VARCHAR(100)"},
                      AccessCase{"access/V2010/testV2010.accdb", "VARCHAR(50)", "VARCHAR(100)"}),
    [](const auto& testInfo) {
        const std::string path = testInfo.param.fixture;
        std::string name = path.substr(path.rfind('/') + 1);
        for (char& c : name)
            if (c == '.') c = '_';
        return name;
    });

TEST_F(Form3Test, OtherTagsLeaveBothListsEmpty) {
    for (const char* tag : {"access", "MYSQL", "mysql", "", "ACCESS "}) {
        prepare(tag, "whatever");
        Form3Window w(form_);
        EXPECT_EQ(w.list1()->count(), 0) << tag;
        EXPECT_EQ(w.list2()->count(), 0) << tag;
        EXPECT_EQ(w.text1()->text(), "") << tag;
    }
    EXPECT_TRUE(prompts_.records().empty());
}

TEST_F(Form3Test, AMySqlTableThatCannotBeOpenedGivesOneReportAndAnEmptyDialog) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch db;
    useLogin(db.login());
    prepare("ACCESS", "no_such_table");
    Form3Window w(form_);
    const auto boxes = messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Application Error");
    EXPECT_EQ(boxes[0].icon, ui::Icon::Exclamation);
    EXPECT_TRUE(boxes[0].text.contains("in Quillfen2021/08/31.Form3.Form_Load at line 112"))
        << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains("no_such_table")) << boxes[0].text.toStdString();
    EXPECT_EQ(w.list1()->count(), 0);
    EXPECT_EQ(w.list2()->count(), 0);
}

TEST_F(Form3Test, AnAccessFileThatCannotBeOpenedIsReportedAtStep116) {
    testenv::TempDir dir;
    db::LoginFields login;
    login.accessPath = (dir.path() / "missing.mdb").string();
    useLogin(login);
    prepare("MySQL", "Table1");
    Form3Window w(form_);
    const auto boxes = messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("Form3.Form_Load at line 116"))
        << boxes[0].text.toStdString();
    EXPECT_EQ(w.list1()->count(), 0);
}

// A two-field MySQL table T (ID INT, Name TEXT) and a dialog over it, for an Access target.
class Form3OverMySql : public Form3Test {
  protected:
    void SetUp() override {
        Form3Test::SetUp();
        if (testenv::mysqlServer().host.empty()) return;
        db_ = std::make_unique<testenv::MySqlScratch>();
        db_->exec("CREATE TABLE T (ID INT, Name TEXT, Born DATE)");
        db_->exec("INSERT INTO T VALUES (1, 'Ann', '2000-01-01')");
        useLogin(db_->login());
    }
    std::unique_ptr<testenv::MySqlScratch> db_;
};

TEST_F(Form3OverMySql, SelectingAFieldSelectsItsTypeAndTheOtherWayRound) {
    DM_REQUIRE_MYSQL();
    prepare("ACCESS", "T");
    Form3Window w(form_);
    ASSERT_EQ(items(w.list2()), (Strings{"INT", "TEXT", "DATETIME"}));
    w.list1()->setCurrentRow(2);
    EXPECT_EQ(w.list2()->currentRow(), 2);
    EXPECT_EQ(w.text1()->text(), "DATETIME");
    w.list2()->setCurrentRow(1);
    EXPECT_EQ(w.list1()->currentRow(), 1);
    EXPECT_EQ(w.text1()->text(), "TEXT");
}

TEST_F(Form3OverMySql, OkForAnAccessTargetUsesSquareBracketsAndAsksNothing) {
    DM_REQUIRE_MYSQL();
    prepare("ACCESS", "T");
    Form3Window w(form_);
    w.show();
    // A change does not make "OK" ask anything.
    w.list1()->setCurrentRow(2);
    w.text1()->setText("smalldatetime");
    w.pushButton1()->click();
    EXPECT_TRUE(w.changed());
    w.pushButton2()->click();
    EXPECT_EQ(form_.mSQL, "CREATE TABLE `T`([ID] INT,[Name] TEXT,[Born] smalldatetime)");
    EXPECT_FALSE(ui::CustomizeCancelled);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(prompts_.records().empty());
}

TEST_F(Form3OverMySql, ChangeWritesTheTypeExactlyAsTypedOrRefusesIt) {
    DM_REQUIRE_MYSQL();
    prepare("ACCESS", "T");
    Form3Window w(form_);
    w.list1()->setCurrentRow(1);
    w.text1()->setText("varchar (50)");
    w.pushButton1()->click();
    EXPECT_EQ(items(w.list2()), (Strings{"INT", "varchar (50)", "DATETIME"}));
    EXPECT_TRUE(prompts_.records().empty());

    w.text1()->setText("LONGTEXT");
    w.pushButton1()->click();
    const auto boxes = messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Invalid datatype.");
    EXPECT_EQ(boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(boxes[0].icon, ui::Icon::None);
    EXPECT_EQ(boxes[0].title, ui::applicationTitle());
    EXPECT_EQ(items(w.list2()), (Strings{"INT", "varchar (50)", "DATETIME"}));

    // The empty text passes the check and leaves the cell empty.
    w.text1()->setText("");
    w.pushButton1()->click();
    EXPECT_EQ(items(w.list2()), (Strings{"INT", "", "DATETIME"}));
    EXPECT_EQ(messages().size(), 1u);
}

TEST_F(Form3OverMySql, CancelAfterAChangeAsksAndNoKeepsTheDialogOpen) {
    DM_REQUIRE_MYSQL();
    prepare("ACCESS", "T");
    Form3Window w(form_);
    w.show();
    w.text1()->setText("bigint");
    w.pushButton1()->click();

    prompts_.queueAnswer(ui::Answer::No);
    w.pushButton4()->click();
    auto boxes = messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Data type has been change.\r\nDo you still want to exit without changes?");
    EXPECT_EQ(boxes[0].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(boxes[0].icon, ui::Icon::None);
    EXPECT_EQ(boxes[0].title, ui::applicationTitle());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(items(w.list2())[0], "bigint");

    // The close box asks the same question; Yes closes without confirming.
    prompts_.queueAnswer(ui::Answer::Yes);
    w.close();
    EXPECT_EQ(messages().size(), 2u);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(ui::CustomizeCancelled);
    EXPECT_EQ(form_.mSQL, "CREATE TABLE `T`(");
}

TEST_F(Form3OverMySql, TheCloseBoxWithoutAChangeAsksNothingAndConfirmsNothing) {
    DM_REQUIRE_MYSQL();
    prepare("ACCESS", "T");
    Form3Window w(form_);
    w.show();
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(prompts_.records().empty());
    EXPECT_TRUE(ui::CustomizeCancelled);
    EXPECT_EQ(form_.mSQL, "CREATE TABLE `T`(");
}

TEST_F(Form3Test, NumericFieldNamesAreReplacedAndRememberedAcrossShowings) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch db;
    db.exec("CREATE TABLE n (`2021` INT, `newfieldname0` INT, `tempid1` INT, `3.5` TEXT)");
    db.exec("CREATE TABLE m (`7` INT, `x` INT)");
    useLogin(db.login());

    prepare("ACCESS", "n");
    {
        Form3Window w(form_);
        w.pushButton2()->click();
    }
    // Both numeric names receive the same replacement: names handed out are not considered.
    EXPECT_EQ(form_.mSQL,
              "CREATE TABLE `n`([tempid2] INT,[newfieldname0] INT,[tempid1] INT,[tempid2] TEXT)");
    EXPECT_EQ(form_.mOldFieldNames, (Strings{"2021", "3.5"}));
    EXPECT_EQ(form_.mNewFieldNames, (Strings{"tempid2", "tempid2"}));

    prepare("MySQL", "m");
    form_.mType = "ACCESS";
    {
        Form3Window w(form_);
        w.pushButton2()->click();
    }
    EXPECT_EQ(form_.mSQL, "CREATE TABLE `m`([newfieldname0] INT,[x] INT)");
    EXPECT_EQ(form_.mOldFieldNames, (Strings{"2021", "3.5", "7"}));
    EXPECT_EQ(form_.mNewFieldNames, (Strings{"tempid2", "tempid2", "newfieldname0"}));
}

TEST_F(Form3Test, ChangeWithEmptyListsIsReportedAndStillCountsAsAChange) {
    prepare("none", "T");
    Form3Window w(form_);
    w.show();
    w.text1()->setText("int");
    w.pushButton1()->click();
    const auto boxes = messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("Form3.PushButton1_Click at line 102"))
        << boxes[0].text.toStdString();
    EXPECT_TRUE(w.changed());
    prompts_.queueAnswer(ui::Answer::Yes);
    w.pushButton4()->click();
    EXPECT_EQ(messages().size(), 2u);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Form3Test, HelpListsTheTargetsTypes) {
    prepare("ACCESS", "T");
    Form3Window access(form_);  // inference fails without a login; that box is not the point
    prompts_.clear();
    access.pushButton3()->click();
    auto boxes = messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.split("\r\n").size(), 8);
    EXPECT_EQ(boxes[0].text,
              "The following are the Data Types of ACCESS: \r\nText\r\nMemo\r\nINT\r\nDECIMAL\r\n"
              "DATETIME\r\nFLOAT\r\nOLEOBJECT");
    EXPECT_EQ(boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(boxes[0].icon, ui::Icon::None);
    EXPECT_EQ(boxes[0].title, ui::applicationTitle());

    prepare("MySQL", "T");
    Form3Window mysql(form_);
    prompts_.clear();
    mysql.pushButton3()->click();
    boxes = messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(
        boxes[0].text.startsWith("The following are the Data Types of MySQL: \r\nText\r\n"));
    EXPECT_TRUE(boxes[0].text.endsWith("\r\nSet(1,2,3,so on)\r\nEnum(1,2,3,so on)"));

    prepare("Access", "T");
    Form3Window other(form_);
    prompts_.clear();
    other.pushButton3()->click();
    EXPECT_TRUE(prompts_.records().empty());
}

TEST_F(Form3Test, ShowModalBuildsAFreshWindowAndKeepsTheVariables) {
    prepare("none", "T");
    form_.mOldFieldNames = {"9"};
    QTimer::singleShot(0, [&] {
        ASSERT_NE(form_.window(), nullptr);
        EXPECT_TRUE(form_.window()->isModal());
        EXPECT_EQ(form_.window()->windowTitle(), "Data Type Customization - T");
        form_.window()->pushButton2()->click();
    });
    form_.showModal();
    EXPECT_EQ(form_.window(), nullptr);
    EXPECT_FALSE(ui::CustomizeCancelled);
    // No field: the last character removed is the opening parenthesis.
    EXPECT_EQ(form_.mSQL, "CREATE TABLE `T`)");

    ui::CustomizeCancelled = true;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(form_.window(), nullptr);
        EXPECT_EQ(form_.window()->list1()->count(), 0);
        EXPECT_EQ(form_.window()->text1()->text(), "");
        form_.window()->pushButton4()->click();
    });
    form_.showModal();
    EXPECT_TRUE(ui::CustomizeCancelled);
    EXPECT_EQ(form_.mSQL, "CREATE TABLE `T`)");
    EXPECT_EQ(form_.mOldFieldNames, (Strings{"9"}));
    EXPECT_EQ(form_.mType, "none");
    EXPECT_EQ(form_.mTableName, "T");
}

TEST_F(Form3Test, LayoutFollowsTheDesignerInTwips) {
    prepare("none", "T");
    Form3Window w(form_);
    const double px = w.screen()->logicalDotsPerInch() / 96.0 / 15.0;
    auto tw = [&](int t) { return static_cast<int>(std::lround(t * px)); };
    EXPECT_EQ(w.size(), QSize(tw(8040), tw(6240)));
    EXPECT_EQ(w.pushButton3()->geometry(), QRect(tw(120), tw(120), tw(7800), tw(405)));
    EXPECT_EQ(w.frame1()->geometry(), QRect(tw(120), tw(570), tw(3840), tw(3660)));
    EXPECT_EQ(w.frame2()->geometry(), QRect(tw(4080), tw(570), tw(3840), tw(3660)));
    EXPECT_EQ(w.frame3()->geometry(), QRect(tw(120), tw(4290), tw(7800), tw(1320)));
    EXPECT_EQ(w.pushButton2()->geometry(), QRect(tw(120), tw(5730), tw(3840), tw(405)));
    EXPECT_EQ(w.pushButton4()->geometry(), QRect(tw(4080), tw(5730), tw(3840), tw(405)));
    EXPECT_EQ(w.list1()->parentWidget(), w.frame1());
    EXPECT_EQ(w.list2()->parentWidget(), w.frame2());
    EXPECT_EQ(w.text1()->parentWidget(), w.frame3());
    EXPECT_EQ(w.pushButton1()->parentWidget(), w.frame3());
    EXPECT_EQ(w.frame1()->title(), "Fields");
    EXPECT_EQ(w.frame2()->title(), "Data Type");
    EXPECT_EQ(w.frame3()->title(), "Change selected data type to");
    EXPECT_EQ(w.pushButton1()->text(), "Change");
    EXPECT_EQ(w.pushButton2()->text(), "OK");
    EXPECT_EQ(w.pushButton3()->text(), "Help");
    EXPECT_EQ(w.pushButton4()->text(), "Cancel");
    EXPECT_EQ(w.list1()->selectionMode(), QAbstractItemView::SingleSelection);
    // The tab order: List1, List2, OK, Cancel, Help, Text1, Change.
    auto next = [](QWidget* from) {
        QWidget* n = from->nextInFocusChain();
        while (n != from && !(n->focusPolicy() & Qt::TabFocus))
            n = n->nextInFocusChain();
        return n;
    };
    EXPECT_EQ(next(w.list1()), w.list2());
    EXPECT_EQ(next(w.list2()), w.pushButton2());
    EXPECT_EQ(next(w.pushButton2()), w.pushButton4());
    EXPECT_EQ(next(w.pushButton4()), w.pushButton3());
    EXPECT_EQ(next(w.pushButton3()), w.text1());
    EXPECT_EQ(next(w.text1()), w.pushButton1());
}

TEST_F(Form3Test, TheHandOverButtonsTheArrowElsewhereNeverOverTheHourglass) {
    prepare("none", "T");
    Form3Window w(form_);
    w.show();
    auto move = [](QWidget* target) {
        QMouseEvent e(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    };
    move(w.pushButton2());
    EXPECT_EQ(ui::mousePointer(&w), ui::kPointerCustom);
    move(w.list1());
    EXPECT_EQ(ui::mousePointer(&w), ui::kPointerDefault);
    ui::setMousePointer(&w, ui::kPointerBusy);
    move(w.pushButton1());
    EXPECT_EQ(ui::mousePointer(&w), ui::kPointerBusy);
}
