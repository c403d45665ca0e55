// The file the program is started with (dunmorrow FILE): it fills the connection window's
// Access file field in place of the remembered one and becomes the remembered one.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/app/form1_fixture.h"
#include "ui/settings.h"

namespace form1test {
namespace {

class StartFileTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        // A login that fails at once, so the start-up stays in the connection window.
        ui::saveSetting("Server", "127.0.0.1");
        ui::saveSetting("Port", QString::number(closedLocalPort()));
    }
};

TEST_F(StartFileTest, TheFileFillsTheAccessFieldAndIsRemembered) {
    ui::saveSetting("AccessMDBFile", "/remembered/old.mdb");
    ui::saveSetting("AccessPassword", "Test123");
    const QString named = existingFile();
    ASSERT_TRUE(start(named));
    EXPECT_EQ(text("Text5")->text(), named);
    EXPECT_EQ(ui::getSetting("AccessMDBFile"), named);
    // The password field keeps the remembered password, as the browse dialog leaves it.
    EXPECT_EQ(text("Text6")->text(), "Test123");
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(browser.calls.empty());
    EXPECT_TRUE(prompts.records().empty());

    // The next start without a file opens with it.
    form.reset();
    ASSERT_TRUE(start());
    EXPECT_EQ(text("Text5")->text(), named);
}

TEST_F(StartFileTest, AMissingFileIsShownAndNothingElseHappens) {
    const QString missing = qpath(dir.path() / "gone" / "shop.accdb");
    ASSERT_TRUE(start(missing));
    EXPECT_EQ(text("Text5")->text(), missing);
    EXPECT_EQ(ui::getSetting("AccessMDBFile"), missing);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(StartFileTest, WithoutAFileTheRememberedOneStays) {
    ui::saveSetting("AccessMDBFile", "/remembered/old.mdb");
    ASSERT_TRUE(start(QString()));
    EXPECT_EQ(text("Text5")->text(), "/remembered/old.mdb");
}

}  // namespace
}  // namespace form1test
