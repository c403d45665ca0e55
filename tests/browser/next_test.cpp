// "Next >" of the connection window into the table browser, through the program's own handoff:
// the start-up that goes straight to the browser, "< Back" and a later "Next >", a wrong Access
// password, and the end of the program from the browser.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "app/form1.h"
#include "app/settings.h"
#include "tests/browser/browser_fixture.h"
#include "ui/browser_handoff.h"

namespace browsertest {
namespace {

const QString kForm1Tail = kReportTail;

class NextTest : public BrowserTest {
  protected:
    void SetUp() override {
        BrowserTest::SetUp();
        handoff = std::make_unique<browser::Form2Handoff>();
        ui::setBrowserHandoff(handoff.get());
    }
    void TearDown() override {
        form1.reset();
        BrowserTest::TearDown();
    }
    // The saved logins the start-up reads: the scratch database and the Access copy.
    void saveLogins() {
        app::saveSetting(app::kKeyServer, QString::fromStdString(login.server));
        app::saveSetting(app::kKeyPort, QString::fromStdString(login.port));
        app::saveSetting(app::kKeyUser, QString::fromStdString(login.user));
        app::saveSetting(app::kKeyPassword, QString::fromStdString(login.password));
        app::saveSetting(app::kKeyDatabase, QString::fromStdString(login.database));
        app::saveSetting(app::kKeyAccessFile, QString::fromStdString(login.accessPath));
        app::saveSetting(app::kKeyAccessPassword, QString::fromStdString(login.accessPassword));
    }
    // A program start: the connection window and its start-up sequence.
    bool start() {
        form1 = std::make_unique<app::Form1>();
        return form1->formLoad();
    }
    QLineEdit* field(const char* name) { return form1->findChild<QLineEdit*>(name); }
    void clickNext() { form1->findChild<QPushButton*>("PushButton2")->click(); }
    browser::Form2* browserWindow() { return handoff->existingForm(); }
    // Two tables on each side, in an order the lists do not keep.
    void fillBothSides() {
        useAccessCopy("access/V2003/indexTestV2003.mdb");
        auto& db = useScratchDatabase();
        db.exec("CREATE TABLE `orders` (id INT)");
        db.exec("CREATE TABLE `Customers` (id INT)");
    }

    std::unique_ptr<app::Form1> form1;
};

TEST_F(NextTest, SavedLoginsThatWorkGoStraightToTheBrowserWithBothListsFilled) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2003/indexTestV2003.mdb");
    fillBothSides();
    saveLogins();
    ASSERT_TRUE(start());
    ASSERT_NE(browserWindow(), nullptr);
    EXPECT_TRUE(browserWindow()->isVisible());
    EXPECT_FALSE(form1->isVisible());
    EXPECT_EQ(names(browserWindow()->list1()), (QStringList{"Table1", "Table2", "Table3"}));
    EXPECT_EQ(names(browserWindow()->list2()), (QStringList{"Customers", "orders"}));
    EXPECT_EQ(browserWindow()->list1()->listIndex(), -1);
    EXPECT_EQ(browserWindow()->list2()->listIndex(), 0);
    EXPECT_EQ(browserWindow()->windowTitle(), "Dunmorrow");
    EXPECT_TRUE(prompts.records().empty()) << messageTexts().join("|").toStdString();
}

TEST_F(NextTest, AMissingAccessFileAtStartUpLeavesTheConnectionWindowAndNoBrowser) {
    DM_REQUIRE_MYSQL();
    useScratchDatabase();
    login.accessPath = (dir.path() / "gone.mdb").string();
    saveLogins();
    ASSERT_TRUE(start());
    EXPECT_TRUE(form1->isVisible());
    EXPECT_EQ(browserWindow(), nullptr);  // the browser was never touched
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(NextTest, BackAndNextShowTheListsFreshlyListedNotDoubled) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2003/indexTestV2003.mdb");
    fillBothSides();
    saveLogins();
    start();
    ASSERT_TRUE(browserWindow() && browserWindow()->isVisible());
    browser::Form2* first = browserWindow();

    QPushButton* back = browserWindow()->findChild<QPushButton*>("PushButton2");
    back->click();
    EXPECT_TRUE(form1->isVisible());
    EXPECT_FALSE(browserWindow()->isVisible());
    // Both lists keep their contents while the browser is hidden.
    EXPECT_EQ(browserWindow()->list2()->count(), 2);

    scratch->exec("CREATE TABLE `added_meanwhile` (id INT)");
    clickNext();
    EXPECT_EQ(browserWindow(), first);  // the same window, not loaded again
    EXPECT_TRUE(browserWindow()->isVisible());
    EXPECT_FALSE(form1->isVisible());
    EXPECT_EQ(names(browserWindow()->list1()), (QStringList{"Table1", "Table2", "Table3"}));
    EXPECT_EQ(names(browserWindow()->list2()),
              (QStringList{"added_meanwhile", "Customers", "orders"}));
    EXPECT_EQ(browserWindow()->list2()->listIndex(), 0);

    // A different Access file named before the next "Next >" replaces the left list.
    back->click();
    field("Text5")->setText(
        QString::fromStdString(dir.copyFixture("access/V2000/fixedTextTestV2000.mdb").string()));
    clickNext();
    EXPECT_EQ(names(browserWindow()->list1()), QStringList{"users"});
    EXPECT_TRUE(prompts.records().empty()) << messageTexts().join("|").toStdString();
}

TEST_F(NextTest, AWrongAccessPasswordGivesOneReportAtStep108AndTheBrowserStillOpens) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V1997/testV1997.mdb");
    const auto copy = useAccessCopy("access/V1997/testV1997.mdb");
    setJet3Password(copy, "rosebud");
    auto& db = useScratchDatabase();
    db.exec("CREATE TABLE `kept` (id INT)");
    login.accessPassword = "wrong";
    saveLogins();
    ASSERT_TRUE(start());
    ASSERT_EQ(prompts.messages().size(), 1u) << messageTexts().join("|").toStdString();
    EXPECT_EQ(prompts.messages()[0].text,
              "Not a valid password.\r\n"
              "in Quillfen2021/08/31.Form1.PushButton2_Click at line 108" +
                  kForm1Tail);
    EXPECT_EQ(prompts.messages()[0].title, "Application Error");
    EXPECT_EQ(prompts.messages()[0].icon, ui::Icon::Exclamation);
    ASSERT_NE(browserWindow(), nullptr);
    EXPECT_TRUE(browserWindow()->isVisible());
    EXPECT_FALSE(form1->isVisible());
    EXPECT_EQ(browserWindow()->list1()->count(), 0);
    EXPECT_EQ(names(browserWindow()->list2()), QStringList{"kept"});

    // Back, the right password, and "Next >" lists the file.
    prompts.clear();
    browserWindow()->findChild<QPushButton*>("PushButton2")->click();
    field("Text6")->setText("rosebud");
    clickNext();
    EXPECT_EQ(names(browserWindow()->list1()),
              (QStringList{"Table1", "Table2", "Table3", "Table4"}));
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(NextTest, ClosingTheBrowserEndsTheProgramWithTheConnectionWindowHidden) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2003/indexTestV2003.mdb");
    fillBothSides();
    saveLogins();
    ASSERT_TRUE(start());
    ASSERT_TRUE(browserWindow() && browserWindow()->isVisible());
    QTimer::singleShot(0, browserWindow(), [this] { browserWindow()->close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(browserWindow()->isVisible());
    EXPECT_FALSE(form1->isVisible());
}

}  // namespace
}  // namespace browsertest
