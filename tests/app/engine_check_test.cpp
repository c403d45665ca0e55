// The engine check: present, missing with its question and pages, and other failures.
#include <gtest/gtest.h>

#include "app/engine_check.h"
#include "db/connection.h"
#include "db/error.h"
#include "tests/support/gui_fixture.h"

namespace {

void providerMissing() {
    throw db::Error(db::errc::kProviderNotFound,
                    "Provider cannot be found. It may not be properly installed.");
}
void otherNumberSamePhrase() {
    throw db::Error(db::errc::kGeneric, "The PROVIDER CANNOT BE FOUND here.");
}
void sameNumberOtherText() {
    throw db::Error(3706, "The engine library is missing.");
}
void otherFailure() {
    throw db::Error(db::errc::kGeneric, "Out of memory.");
}
void notADbError() {
    throw std::runtime_error("boom");
}

const QString kMessage = QStringLiteral(
    "Error #3706: Provider cannot be found. It may not be properly installed.\r\n\r\n"
    "You are getting this error because:\r\n\r\n"
    "1. Microsoft Access is not installed on your computer.\r\n\r\n"
    "2. A set of Microsoft components to transfer data is not installed on your computer.\r\n\r\n"
    "You need to download and install Microsoft Access Database Engine 2010 or 2016 to solve "
    "this problem.\r\n\r\n"
    "Would you like me to open the Microsoft site now so you can do this?\r\n\r\n"
    "(If you have any further questions please email a screenshot of this error message to "
    "support@dunmorrow.example.com)");

class EngineCheckTest : public testenv::GuiTest {
  protected:
    void TearDown() override {
        db::setAccessEngineStarter(nullptr);
        GuiTest::TearDown();
    }
};

TEST_F(EngineCheckTest, EnginePresentGoesOnWithoutAMessage) {
    EXPECT_TRUE(app::checkDatabaseEngine());
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(EngineCheckTest, MissingEngineAsksAndYesOpensBothPagesThenEnds) {
    db::setAccessEngineStarter(providerMissing);
    prompts.queueAnswer(ui::Answer::Yes);
    EXPECT_FALSE(app::checkDatabaseEngine());
    ASSERT_EQ(prompts.messages().size(), 1u);
    const auto boxes = prompts.messages();
    const auto& box = boxes[0];
    EXPECT_EQ(box.text, kMessage);
    EXPECT_EQ(box.title, "Dunmorrow");
    EXPECT_EQ(box.buttons, ui::Buttons::YesNo);
    EXPECT_EQ(box.icon, ui::Icon::Exclamation);  // the icon of every error box
    EXPECT_EQ(opened, (QStringList{"https://downloads.example.com/access-database-engine-2010",
                                   "https://downloads.example.com/access-database-engine-2016"}));
}

TEST_F(EngineCheckTest, MissingEngineAnsweredNoOpensNothing) {
    db::setAccessEngineStarter(providerMissing);
    prompts.queueAnswer(ui::Answer::No);
    EXPECT_FALSE(app::checkDatabaseEngine());
    EXPECT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(EngineCheckTest, ThePhraseInAnyCaseOrTheNumberAloneCountAsMissing) {
    for (auto starter : {otherNumberSamePhrase, sameNumberOtherText}) {
        db::setAccessEngineStarter(starter);
        prompts.clear();
        prompts.queueAnswer(ui::Answer::No);
        EXPECT_FALSE(app::checkDatabaseEngine());
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(prompts.messages()[0].text, kMessage);
    }
}

TEST_F(EngineCheckTest, AnyOtherFailureEndsWithoutAMessageButSaysWhyOnStandardError) {
    for (auto starter : {otherFailure, notADbError}) {
        db::setAccessEngineStarter(starter);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(app::checkDatabaseEngine());
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, std::string("dunmorrow: the data-access engine could not be started: ") +
                           (starter == otherFailure ? "Out of memory." : "boom") + "\n");
    }
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(EngineCheckTest, PagesTheDesktopRefusesStillEndTheProgram) {
    db::setAccessEngineStarter(providerMissing);
    int asked = 0;
    ui::setUrlOpener([&](const QString&) -> bool {
        ++asked;
        throw std::runtime_error("no browser");
    });
    prompts.queueAnswer(ui::Answer::Yes);
    EXPECT_FALSE(app::checkDatabaseEngine());
    EXPECT_EQ(asked, 2);
}

}  // namespace
