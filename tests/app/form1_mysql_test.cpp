// The connection window against the test command's MariaDB server: "Test Connection", the
// start-up probe and "Next >", on the server's own (non-default) port.
#include <gtest/gtest.h>

#include <fstream>

#include "db/connection.h"
#include "db/connection_string.h"
#include "tests/app/form1_fixture.h"
#include "ui/settings.h"
#include "ui/window_helpers.h"

namespace form1test {
namespace {

const QString kSuccess = QStringLiteral("Connection successful.");
const QString kCouldNotConnect = QStringLiteral(
    "Could not connect. Please check with your administrator. Make sure you are allowed to "
    "connect to your database remotely and not just through web-based control panels.");

class Form1MySqlTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        server = testenv::mysqlServer();
    }
    // Fills the MySQL fields with the test server's login.
    void fillLogin(const QString& password = {}) {
        text("Text1")->setText(QString::fromStdString(server.host));
        text("Text7")->setText(QString::fromStdString(server.port));
        text("Text2")->setText(QString::fromStdString(server.user));
        text("Text3")->setText(password.isNull() ? QString::fromStdString(server.password)
                                                 : password);
        text("Text4")->setText("");
    }
    void saveLogin() {
        ui::saveSetting("Server", QString::fromStdString(server.host));
        ui::saveSetting("Port", QString::fromStdString(server.port));
        ui::saveSetting("User", QString::fromStdString(server.user));
        ui::saveSetting("Password", QString::fromStdString(server.password));
    }
    QStringList messageTexts() const {
        QStringList out;
        for (const auto& m : prompts.messages())
            out << m.text;
        return out;
    }

    testenv::MySqlServer server;
};

TEST_F(Form1MySqlTest, TestConnectionSucceedsOnTheServersPort) {
    DM_REQUIRE_MYSQL();
    ASSERT_NE(server.port, "3306");  // the test server listens elsewhere
    make();
    fillLogin();
    button("PushButton3")->click();
    ASSERT_EQ(messageTexts(), QStringList{kSuccess});
    EXPECT_EQ(prompts.messages()[0].title, "Dunmorrow");
    EXPECT_EQ(prompts.messages()[0].icon, ui::Icon::None);
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
}

TEST_F(Form1MySqlTest, AWrongPasswordOrAClosedPortCannotConnect) {
    DM_REQUIRE_MYSQL();
    make();
    fillLogin("not-the-password");
    button("PushButton3")->click();
    fillLogin();
    text("Text7")->setText(QString::number(closedLocalPort()));
    button("PushButton3")->click();
    EXPECT_EQ(messageTexts(), (QStringList{kCouldNotConnect, kCouldNotConnect}));
    for (const auto& m : prompts.messages())
        EXPECT_EQ(m.icon, ui::Icon::Exclamation);  // a failure, told as every error box tells it
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
}

TEST_F(Form1MySqlTest, APasswordHoldingSemicolonsAndBracesLogsIn) {
    DM_REQUIRE_MYSQL();
    const std::string user = "dm_app_" + std::to_string(::getpid());
    const std::string password = "pa;ss}w{rd=x";
    db::LoginFields admin{server.host, server.port, server.user, server.password, "", "", ""};
    db::Connection c;
    c.open(db::mySqlConnectionString(admin));
    c.execute("CREATE USER '" + user + "'@'127.0.0.1' IDENTIFIED BY '" + password + "'");
    make();
    fillLogin(QString::fromStdString(password));
    text("Text2")->setText(QString::fromStdString(user));
    button("PushButton3")->click();
    c.execute("DROP USER '" + user + "'@'127.0.0.1'");
    EXPECT_EQ(messageTexts(), QStringList{kSuccess});
}

TEST_F(Form1MySqlTest, NextHandsOverToTheBrowserAndHidesTheWindow) {
    DM_REQUIRE_MYSQL();
    make();
    form->show();
    fillLogin();
    text("Text5")->setText(existingFile());
    button("PushButton2")->click();
    EXPECT_EQ(browser.calls, (std::vector<std::string>{"access", "mysql", "show"}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(prompts.records().empty());
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
}

TEST_F(Form1MySqlTest, NextWithAMissingFileOrAFailedLoginEndsSilently) {
    DM_REQUIRE_MYSQL();
    make();
    form->show();
    fillLogin();
    text("Text5")->setText(qpath(dir.path() / "missing.mdb"));
    button("PushButton2")->click();
    fillLogin("wrong");
    text("Text5")->setText(existingFile());
    button("PushButton2")->click();
    EXPECT_TRUE(browser.calls.empty());
    EXPECT_TRUE(prompts.records().empty());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Form1MySqlTest, AFailureAtStep108IsReportedAndTheBrowserStillOpens) {
    DM_REQUIRE_MYSQL();
    make();
    form->show();
    fillLogin();
    text("Text5")->setText(existingFile());
    browser.failAt = 108;
    button("PushButton2")->click();
    ASSERT_EQ(messageTexts(),
              QStringList{"Not a valid password.\r\n"
                          "in Quillfen2021/08/31.Form1.PushButton2_Click at line 108" +
                          kReportTail});
    EXPECT_EQ(browser.calls, (std::vector<std::string>{"access", "mysql", "show"}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
}

TEST_F(Form1MySqlTest, WhenTheBrowserCannotBeShownTheWindowStays) {
    DM_REQUIRE_MYSQL();
    make();
    form->show();
    fillLogin();
    text("Text5")->setText(existingFile());
    browser.failAt = 112;
    button("PushButton2")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(prompts.messages()[0].text.contains("PushButton2_Click at line 112\r\r"));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Form1MySqlTest, SavedLoginsThatWorkGoStraightToTheBrowserAtStartUp) {
    DM_REQUIRE_MYSQL();
    saveLogin();
    ui::saveSetting("AccessMDBFile", existingFile());
    ASSERT_TRUE(start());
    EXPECT_EQ(browser.calls, (std::vector<std::string>{"access", "mysql", "show"}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(Form1MySqlTest, AFileNamedAtStartUpOpensInPlaceOfTheRememberedOne) {
    DM_REQUIRE_MYSQL();
    saveLogin();
    const QString remembered = existingFile();
    ui::saveSetting("AccessMDBFile", remembered);
    const QString named = qpath(dir.path() / "named.accdb");
    { std::ofstream(dir.path() / "named.accdb") << "x"; }
    ASSERT_TRUE(start(named));
    EXPECT_EQ(browser.calls, (std::vector<std::string>{"access", "mysql", "show"}));
    EXPECT_EQ(browser.accessPathListed, named.toStdString());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ui::getSetting("AccessMDBFile"), named);
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(Form1MySqlTest, SavedLoginsThatFailKeepTheWindowAtStartUp) {
    DM_REQUIRE_MYSQL();
    saveLogin();
    ui::saveSetting("Password", "wrong");
    ui::saveSetting("AccessMDBFile", existingFile());
    ASSERT_TRUE(start());
    EXPECT_TRUE(browser.calls.empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(prompts.records().empty());
}

}  // namespace
}  // namespace form1test
