// The error report and the numbered steps of a command: exact text, resume, failing conditions.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "db/error.h"
#include "tests/support/gui_fixture.h"
#include "ui/command.h"

namespace {

const QString kTail =
    QStringLiteral("\r\rPlease email screenshot of this message to support@dunmorrow.example.com");

class CommandTest : public testenv::GuiTest {};

TEST(ErrorReportText, DescriptionLocationStepThenEmailRequest) {
    EXPECT_EQ(ui::errorReportText("Table 'x' is locked.",
                                  ui::commandLocation("Form1", "PushButton2_Click"), 108),
              "Table 'x' is locked.\r\nin Quillfen2021/08/31.Form1.PushButton2_Click at line 108" +
                  kTail);
}

TEST(ErrorReportText, EmptyDescriptionStillGivesTheReportWithAnEmptyFirstLine) {
    EXPECT_EQ(ui::errorReportText("", ui::commandLocation("Form2", "Form_Load"), 100),
              "\r\nin Quillfen2021/08/31.Form2.Form_Load at line 100" + kTail);
}

TEST(ErrorReportText, TransferCommandsAddTheStatement) {
    const std::string sql = "INSERT INTO `t` VALUES('a')";
    EXPECT_EQ(
        ui::errorReportText("bad", ui::commandLocation("Form2", "PushButton3_Click"), 142, &sql),
        "bad\r\nin Quillfen2021/08/31.Form2.PushButton3_Click at line 142" + kTail +
            "\r\rsql: INSERT INTO `t` VALUES('a')");
}

TEST_F(CommandTest, FailingStepsAreReportedInOrderAndTheCommandResumes) {
    std::vector<int> ran;
    ui::Command cmd("Form1", "PushButton2_Click");
    cmd.step(100, [&] { ran.push_back(100); });
    cmd.step(102, [&] {
        throw db::Error(db::errc::kWrongPassword, "Not a valid password.");
        ran.push_back(-1);
    });
    cmd.step(104, [&] { ran.push_back(104); });
    cmd.step(106, [&] { throw std::runtime_error("disk full"); });
    cmd.step(108, [&] { throw 42; });
    cmd.step(110, [&] { ran.push_back(110); });
    EXPECT_EQ(ran, (std::vector<int>{100, 104, 110}));

    const auto boxes = prompts.messages();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text,
              "Not a valid password.\r\nin Quillfen2021/08/31.Form1.PushButton2_Click at line 102" +
                  kTail);
    EXPECT_EQ(boxes[1].text,
              "disk full\r\nin Quillfen2021/08/31.Form1.PushButton2_Click at line 106" + kTail);
    EXPECT_TRUE(boxes[2].text.startsWith("Unknown error.\r\n"));
    EXPECT_TRUE(boxes[2].text.contains("at line 108\r\r"));
    for (const auto& b : boxes) {
        EXPECT_EQ(b.title, "Application Error");
        EXPECT_EQ(b.buttons, ui::Buttons::Ok);
        EXPECT_EQ(b.icon, ui::Icon::Exclamation);
    }
}

TEST_F(CommandTest, AFailingConditionCountsAsTrueAndAValueFallsBack) {
    ui::Command cmd("Form3", "PushButton1_Click");
    EXPECT_TRUE(cmd.test(100, [] { return false; }) == false);
    EXPECT_TRUE(cmd.test(102, []() -> bool { throw std::runtime_error("x"); }));
    EXPECT_EQ(cmd.value(104, 7, []() -> int { throw std::runtime_error("y"); }), 7);
    EXPECT_EQ(cmd.value(106, 7, [] { return 9; }), 9);
    const auto boxes = prompts.messages();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.endsWith("Form3.PushButton1_Click at line 102" + kTail));
    EXPECT_TRUE(boxes[1].text.endsWith("at line 104" + kTail));
}

TEST_F(CommandTest, AttachedStatementShowsInTheReportAsItStandsWhenTheStepFails) {
    std::string sql = "CREATE TABLE";
    ui::Command cmd("Form2", "PushButton3_Click");
    cmd.attachSql(&sql);
    cmd.step(120, [&] {
        sql += " `t`(";
        throw std::runtime_error("no");
    });
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(prompts.messages()[0].text.endsWith(kTail + "\r\rsql: CREATE TABLE `t`("));
}

}  // namespace
