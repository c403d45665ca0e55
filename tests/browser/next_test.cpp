// "Next >" of the connection window into the table browser, through the program's own handoff:
// the start-up that goes straight to the browser, "< Back" and a later "Next >", a wrong Access
// password, and the end of the program from the browser.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "app/form1.h"
#include "browser/list_tables.h"
#include "db/error.h"
#include "tests/browser/browser_fixture.h"
#include "tests/support/heartbeat.h"
#include "ui/browser_handoff.h"
#include "ui/settings.h"

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
        ui::saveSetting(ui::kKeyServer, QString::fromStdString(login.server));
        ui::saveSetting(ui::kKeyPort, QString::fromStdString(login.port));
        ui::saveSetting(ui::kKeyUser, QString::fromStdString(login.user));
        ui::saveSetting(ui::kKeyPassword, QString::fromStdString(login.password));
        ui::saveSetting(ui::kKeyDatabase, QString::fromStdString(login.database));
        ui::saveSetting(ui::kKeyAccessFile, QString::fromStdString(login.accessPath));
        ui::saveSetting(ui::kKeyAccessPassword, QString::fromStdString(login.accessPassword));
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

// A server that takes connections and never says a word: the port listens, nothing accepts.
// Closing it resets the connections waiting there.
class SilentServer {
  public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            ::listen(fd_, 8) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("no listening socket");
        port_ = ntohs(a.sin_port);
    }
    ~SilentServer() { close(); }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

TEST_F(NextTest, NextWithAServerThatDoesNotAnswerKeepsTheWindowAnsweringWithItsButtonsDisabled) {
    DM_REQUIRE_FIXTURE("access/V2003/indexTestV2003.mdb");
    const auto copy = dir.copyFixture("access/V2003/indexTestV2003.mdb");
    SilentServer server;
    ASSERT_TRUE(start());  // nothing saved: the probe of the default login fails
    form1->show();
    field("Text1")->setText("127.0.0.1");
    field("Text7")->setText(QString::number(server.port()));
    field("Text2")->setText("nobody");
    field("Text5")->setText(QString::fromStdString(copy.string()));
    bool buttonsDisabled = false;
    QTimer::singleShot(800, form1.get(), [&] {
        buttonsDisabled = true;
        for (QPushButton* b : form1->findChildren<QPushButton*>())
            buttonsDisabled = buttonsDisabled && !b->isEnabled();
        server.close();
    });
    testenv::Heartbeat beat;
    beat.start();
    clickNext();
    beat.stop();
    EXPECT_GE(beat.elapsedMs(), 800);
    EXPECT_LT(beat.longestGapMs(), 100);
    EXPECT_TRUE(buttonsDisabled);
    // The login did not work: "Next >" ends without a word and the window is as it was.
    EXPECT_TRUE(form1->isVisible());
    EXPECT_EQ(browserWindow(), nullptr);
    for (QPushButton* b : form1->findChildren<QPushButton*>())
        EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(NextTest, AListingFromAServerThatDoesNotAnswerKeepsTheWindowAnsweringAndTheListAsItWas) {
    SilentServer server;
    login.server = "127.0.0.1";
    login.port = std::to_string(server.port());
    login.user = "nobody";
    browser::Form2& f = handoff->form();
    f.list2()->addItem("left over");
    QTimer::singleShot(800, [&] { server.close(); });
    testenv::Heartbeat beat;
    beat.start();
    EXPECT_THROW(browser::listMySqlTables(*f.list2()), db::Error);
    beat.stop();
    EXPECT_GE(beat.elapsedMs(), 800);
    EXPECT_LT(beat.longestGapMs(), 100);
    EXPECT_EQ(names(f.list2()), QStringList{"left over"});
}

}  // namespace
}  // namespace browsertest
