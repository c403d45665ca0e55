// The start-up sequence: its steps' failures, the engine check at the end, the skin, the hand
// pointer and the home page.
#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>

#include "tests/app/form1_fixture.h"
#include "ui/app_title.h"
#include "ui/settings.h"
#include "ui/window_helpers.h"

namespace form1test {
namespace {

class StartupTest : public Form1Test {
  protected:
    void writeProgramFile(const std::filesystem::path& relative, const QByteArray& bytes) {
        std::filesystem::create_directories((programDir() / relative).parent_path());
        QFile f(qpath(programDir() / relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(StartupTest, AMissingEngineFailsTheProbeThenNextThenAsksAndEnds) {
    ui::saveSetting("Server", "127.0.0.1");
    ui::saveSetting("AccessMDBFile", existingFile());
    db::setAccessEngineStarter(engineMissing);
    prompts.queueAnswer(ui::Answer::No);
    EXPECT_FALSE(start());
    EXPECT_FALSE(form->isVisible());
    const auto boxes = prompts.messages();
    ASSERT_EQ(boxes.size(), 3u);
    // The failing probe counts as success, so the file test and "Next >" run and fail in turn.
    EXPECT_EQ(boxes[0].text,
              "Provider cannot be found. It may not be properly installed.\r\n"
              "in Quillfen2021/08/31.Form1.Form_Load at line 142" +
                  kReportTail);
    EXPECT_EQ(boxes[1].text,
              "Provider cannot be found. It may not be properly installed.\r\n"
              "in Quillfen2021/08/31.Form1.PushButton2_Click at line 104" +
                  kReportTail);
    EXPECT_TRUE(boxes[2].text.startsWith("Error #3706: Provider cannot be found."));
    EXPECT_EQ(boxes[2].buttons, ui::Buttons::YesNo);
    EXPECT_TRUE(browser.calls.empty());
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(StartupTest, TheTitleAndIconAreSetAndTheSequenceShowsTheWindow) {
    ui::setApplicationTitle("Something Else");
    ASSERT_TRUE(start());
    EXPECT_EQ(ui::applicationTitle(), "Dunmorrow");
    EXPECT_EQ(form->windowTitle(), "Dunmorrow");
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(StartupTest, ADamagedSkinIsReportedAtStep100AndStartUpGoesOn) {
    writeProgramFile("x/o.cjs", "QPushButton { color: red");
    ui::saveSetting("User", "ann");
    ASSERT_TRUE(start());
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              "The skin file " + qpath(programDir()) +
                  "/x/o.cjs is not a style sheet this program can read.\r\n"
                  "in Quillfen2021/08/31.Form1.Form_Load at line 100" +
                  kReportTail);
    EXPECT_EQ(text("Text2")->text(), "ann");
    EXPECT_TRUE(form->isVisible());
}

TEST_F(StartupTest, ASkinFileSkinsTheConnectionWindow) {
    writeProgramFile("x/o.cjs", "QPushButton { color: rgb(1, 2, 3); }");
    ASSERT_TRUE(start());
    EXPECT_EQ(form->styleSheet(), "QPushButton { color: rgb(1, 2, 3); }");
    button("PushButton2")->ensurePolished();
    EXPECT_EQ(button("PushButton2")->palette().color(QPalette::ButtonText), QColor(1, 2, 3));
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(StartupTest, ADamagedPointerFileIsReportedAtStep126) {
    writeProgramFile("HAND-M.CUR", "garbage");
    ASSERT_TRUE(start());
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(prompts.messages()[0].text.endsWith(
        "\r\nin Quillfen2021/08/31.Form1.Form_Load at line 126" + kReportTail));
    EXPECT_EQ(text("Text1")->text(), "localhost");
}

TEST_F(StartupTest, ADrawOfSevenOpensTheHomePage) {
    ui::setHomePageRandomSource([] { return 0.06; });
    ASSERT_TRUE(start());
    EXPECT_EQ(opened, QStringList{"https://www.dunmorrow.example.com/"});
}

}  // namespace
}  // namespace form1test
