// The find-and-replace dialog, headless, on the review window's text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>
#include <string>

#include "review/form4.h"
#include "review/form5.h"
#include "review/script_editor.h"
#include "tests/support/test_env.h"
#include "ui/app_title.h"
#include "ui/prompt_service.h"

using review::Form4;
using review::Form5;

namespace {

class Form5Test : public ::testing::Test {
  protected:
    void SetUp() override { ui::setPromptService(&prompts_); }
    void TearDown() override {
        EXPECT_TRUE(prompts_.unexpected().empty());
        ui::setPromptService(nullptr);
    }
    // Replace All on `text` with the two boxes filled; returns the text afterwards.
    std::string replace(const std::string& text, const QString& find, const QString& with) {
        form4_.setText(text);
        Form5 dialog(form4_.RichTextBox1, &form4_);
        dialog.show();
        dialog.Text1->setText(find);
        dialog.Text2->setText(with);
        dialog.pushButton3Click();
        accepted_ = dialog.result() == QDialog::Accepted;
        return form4_.text();
    }

    ui::ScriptedPrompts prompts_;
    Form4 form4_;
    bool accepted_ = false;
};

}  // namespace

TEST_F(Form5Test, HasTheDesignedControls) {
    Form5 dialog(form4_.RichTextBox1, &form4_);
    EXPECT_EQ(dialog.windowTitle(), "Find and Replace");
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(dialog.Label1[0]->text(), "Find what:");
    EXPECT_EQ(dialog.Label1[1]->text(), "Replace with:");
    EXPECT_EQ(dialog.PushButton3->text(), "Replace All");
    EXPECT_EQ(dialog.PushButton1->text(), "Cancel");
    EXPECT_TRUE(dialog.Text1->text().isEmpty());
    EXPECT_TRUE(dialog.Text2->text().isEmpty());
    // Tab order: Text1, Text2, then the buttons.
    auto nextFocusable = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus);
        return w;
    };
    EXPECT_EQ(nextFocusable(dialog.Text1), dialog.Text2);
    EXPECT_EQ(nextFocusable(dialog.Text2), dialog.PushButton3);
    EXPECT_EQ(nextFocusable(dialog.PushButton3), dialog.PushButton1);
    if (dialog.screen()->logicalDotsPerInch() == 96) {
        EXPECT_EQ(dialog.size(), QSize(536, 106));
        EXPECT_EQ(dialog.Text1->geometry(), QRect(96, 8, 432, 23));
        EXPECT_EQ(dialog.Text2->geometry(), QRect(96, 40, 432, 23));
        EXPECT_EQ(dialog.PushButton3->geometry(), QRect(8, 72, 256, 27));
        EXPECT_EQ(dialog.PushButton1->geometry(), QRect(272, 72, 256, 27));
        EXPECT_EQ(dialog.Label1[0]->pos(), QPoint(8, 11));
        EXPECT_LE(dialog.Label1[1]->geometry().right(), dialog.Text2->x());
    }
}

TEST_F(Form5Test, BothBoxesAreRequired) {
    for (const auto& [find, with] : {std::pair<QString, QString>{"a", ""}, {"", "b"}, {"", ""}}) {
        prompts_.clear();
        EXPECT_EQ(replace("aaa", find, with), "aaa");
        EXPECT_FALSE(accepted_);  // the dialog stays open
        const auto m = prompts_.messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].text, "Please fill both textboxes.");
        EXPECT_EQ(m[0].title, ui::applicationTitle());
        EXPECT_EQ(m[0].buttons, ui::Buttons::Ok);
        EXPECT_EQ(m[0].icon, ui::Icon::None);
    }
}

TEST_F(Form5Test, ReplacesOnceLeftToRightCaseSensitively) {
    EXPECT_EQ(replace("`a` varchar, `b` VARCHAR", "varchar", "text"), "`a` text, `b` VARCHAR");
    EXPECT_TRUE(accepted_);
    EXPECT_EQ(replace("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(replace("aa", "a", "ab"), "abab");
    EXPECT_EQ(
        replace("INSERT INTO `Old Name` VALUES('1')\r\nINSERT INTO `Old Name` VALUES('2')\r\n",
                "`Old Name`", "`New Name`"),
        "INSERT INTO `New Name` VALUES('1')\r\nINSERT INTO `New Name` VALUES('2')\r\n");
    EXPECT_EQ(replace("Tromsø", "ø", "oe"), "Tromsoe");
    EXPECT_TRUE(prompts_.messages().empty());
}

TEST_F(Form5Test, ATextThatDoesNotOccurChangesNothingAndClosesQuietly) {
    EXPECT_EQ(replace("SELECT 1\r\n", "VARCHAR", "TEXT"), "SELECT 1\r\n");
    EXPECT_TRUE(accepted_);
    EXPECT_TRUE(prompts_.messages().empty());
}

TEST_F(Form5Test, CancelChangesNothing) {
    form4_.setText("aaaa");
    Form5 dialog(form4_.RichTextBox1, &form4_);
    dialog.show();
    dialog.Text1->setText("a");
    dialog.Text2->setText("b");
    dialog.pushButton1Click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(form4_.text(), "aaaa");
}

TEST_F(Form5Test, TheReviewWindowOpensItEmptyEveryTime) {
    form4_.setText("CREATE TABLE `t`(`a` text)");
    form4_.show();
    int openings = 0;
    auto fill = [&](const QString& find, const QString& with) {
        QTimer::singleShot(0, [&, find, with] {
            auto* dialog = qobject_cast<Form5*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            ++openings;
            EXPECT_TRUE(dialog->Text1->text().isEmpty());
            EXPECT_TRUE(dialog->Text2->text().isEmpty());
            QTest::keyClicks(dialog->Text1, find);
            QTest::keyClicks(dialog->Text2, with);
            QTest::mouseClick(dialog->PushButton3, Qt::LeftButton);
        });
    };
    fill("text", "LONGTEXT");
    form4_.pushButton1Click();
    EXPECT_EQ(form4_.text(), "CREATE TABLE `t`(`a` LONGTEXT)");
    fill("`a`", "`b`");
    form4_.pushButton1Click();
    EXPECT_EQ(form4_.text(), "CREATE TABLE `t`(`b` LONGTEXT)");
    EXPECT_EQ(openings, 2);
}
