// The review and find-and-replace windows as people use them: the question before a script is
// thrown away, the standard keys, the selection after Replace All, windows that grow and
// remember their size, and the save dialog's filters.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "db/jet/write/new_database.h"
#include "review/form4.h"
#include "review/form5.h"
#include "review/script_editor.h"
#include "tests/support/gui_fixture.h"
#include "ui/settings.h"
#include "ui/window_size.h"

using review::Form4;
using review::TextPos;

namespace {

const QString kCloseQuestion = QStringLiteral("Close without executing or saving the script?");

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Form4HabitsTest : public testenv::GuiTest {
  protected:
    void showAndWait(QWidget& w) {
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    void expectCloseQuestion(const ui::MessageRequest& m) {
        EXPECT_EQ(m.text, kCloseQuestion);
        EXPECT_EQ(m.title, ui::applicationTitle());
        EXPECT_EQ(m.buttons, ui::Buttons::YesNo);
        EXPECT_EQ(m.icon, ui::Icon::None);
        EXPECT_EQ(m.defaultButton, ui::Answer::No);
    }
};

// ---- closing ----

TEST_F(Form4HabitsTest, ClosingAScriptNeitherRunNorSavedAsksAndNoKeepsItOpen) {
    Form4 form;
    form.appendText("INSERT INTO `t` VALUES('1')\r\n");
    showAndWait(form);
    prompts.queueAnswer(ui::Answer::No);
    form.close();
    ASSERT_EQ(prompts.messages().size(), 1u);
    expectCloseQuestion(prompts.messages()[0]);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.text(), "INSERT INTO `t` VALUES('1')\r\n");
    prompts.queueAnswer(ui::Answer::Yes);
    form.close();
    ASSERT_EQ(prompts.messages().size(), 2u);
    expectCloseQuestion(prompts.messages()[1]);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST_F(Form4HabitsTest, ASavedScriptClosesWithoutAQuestionUntilItChangesAgain) {
    Form4 form;
    form.appendText("SELECT 1");
    showAndWait(form);
    EXPECT_FALSE(form.isSaved());
    const auto file = dir.path() / "script.sql";
    prompts.queueFile(qpath(file));
    form.pushButton2Click();
    EXPECT_EQ(readFile(file), "SELECT 1\r\n");
    EXPECT_TRUE(form.isSaved());
    form.close();
    EXPECT_TRUE(prompts.messages().empty());
    EXPECT_FALSE(form.isVisible());

    showAndWait(form);
    form.RichTextBox1->setCursorPosition({0, 8});
    form.RichTextBox1->insertText(";");
    EXPECT_FALSE(form.isSaved());
    prompts.queueAnswer(ui::Answer::Yes);
    form.close();
    ASSERT_EQ(prompts.messages().size(), 1u);
    expectCloseQuestion(prompts.messages()[0]);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Form4HabitsTest, ASaveThatFailsLeavesTheScriptUnsaved) {
    Form4 form;
    form.appendText("SELECT 1");
    showAndWait(form);
    prompts.queueFile(qpath(dir.path() / "no such folder" / "script.sql"));
    form.pushButton2Click();
    EXPECT_FALSE(form.isSaved());
    prompts.queueAnswer(ui::Answer::No);
    form.close();
    const auto m = prompts.messages();
    ASSERT_FALSE(m.empty());
    expectCloseQuestion(m.back());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Form4HabitsTest, AnEmptyWindowAndAScriptThatRanCloseWithoutAQuestion) {
    {
        Form4 empty;
        showAndWait(empty);
        empty.close();
        EXPECT_FALSE(empty.isVisible());
        EXPECT_TRUE(prompts.messages().empty());
    }
    const auto file = dir.path() / "ran.mdb";
    jet::createDatabase(file.string(), jet::Version::Jet4);
    db::LoginFields login;
    login.accessPath = file.string();
    ui::setLoginProvider([login] { return login; });
    Form4 form;
    form.m_SendType = 1;
    form.appendText("CREATE TABLE `t`(`id` INT)");
    showAndWait(form);
    form.pushButton3Click();
    ui::setLoginProvider(nullptr);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text, "Transfer finished.");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

// ---- keys ----

TEST_F(Form4HabitsTest, CtrlAZAndShiftZSelectUndoAndRedoInTheEditor) {
    Form4 form;
    form.appendText("SELECT 1\r\nSELECT 2");
    showAndWait(form);
    review::ScriptEditor* editor = form.RichTextBox1;
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor->selectedText(), "SELECT 1\r\nSELECT 2");
    QTest::keyClicks(editor, "X");
    EXPECT_EQ(form.text(), "X");
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form.text(), "SELECT 1\r\nSELECT 2");
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form.text(), "X");
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form.text(), "X");
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(Form4HabitsTest, CtrlSSavesAndCtrlFOpensFindAndReplaceFromTheEditor) {
    Form4 form;
    form.appendText("INSERT INTO `old` VALUES('1')");
    showAndWait(form);
    form.RichTextBox1->setFocus();
    const auto file = dir.path() / "keys.txt";
    prompts.queueFile(qpath(file));
    QTest::keyClick(form.RichTextBox1, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(prompts.records().size(), 1u);
    EXPECT_EQ(prompts.records()[0].kind, ui::ScriptedPrompts::Record::SaveFile);
    EXPECT_EQ(prompts.records()[0].file.title, "Save List");
    EXPECT_EQ(readFile(file), "INSERT INTO `old` VALUES('1')\r\n");

    bool seen = false;
    QTimer::singleShot(0, &form, [&] {
        auto* dialog = qobject_cast<review::Form5*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        dialog->Text1->setText("`old`");
        dialog->Text2->setText("`new`");
        dialog->pushButton3Click();
    });
    QTest::keyClick(form.RichTextBox1, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(seen);
    EXPECT_EQ(form.text(), "INSERT INTO `new` VALUES('1')");
    // The same keys work with the focus on a button.
    form.PushButton4->setFocus();
    prompts.queueFile(qpath(file));
    QTest::keyClick(form.PushButton4, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readFile(file), "INSERT INTO `new` VALUES('1')\r\n");
    form.close();  // saved: no question
    EXPECT_TRUE(prompts.messages().empty());
}

// ---- Replace All and the selection ----

TEST_F(Form4HabitsTest, ReplaceAllLeavesNoSelectionOverShiftedText) {
    Form4 form;
    form.appendText("aa bb aa\r\ncc aa");
    showAndWait(form);
    review::ScriptEditor* editor = form.RichTextBox1;
    editor->setCursorPosition({1, 0});
    editor->setCursorPosition({1, 2}, true);
    ASSERT_EQ(editor->selectedText(), "cc");
    review::Form5 dialog(editor, &form);
    dialog.Text1->setText("aa");
    dialog.Text2->setText("longer");
    dialog.pushButton3Click();
    EXPECT_EQ(form.text(), "longer bb longer\r\ncc longer");
    EXPECT_FALSE(editor->hasSelection());
    EXPECT_EQ(editor->cursorPosition(), (TextPos{1, 2}));
    EXPECT_EQ(editor->selectedText(), "");
}

// ---- sizes ----

TEST_F(Form4HabitsTest, ALargerReviewWindowGivesItsRoomToTheTextAndTheNotes) {
    Form4 form;
    showAndWait(form);
    const QSize designed = form.size();
    EXPECT_EQ(form.minimumSize(), designed);
    const QRect text = form.RichTextBox1->geometry();
    const QRect notes = form.Text1->geometry();
    const QRect execute = form.PushButton3->geometry();
    const QRect find = form.PushButton1->geometry();
    const QRect bar = form.ProgressBar1->geometry();
    form.resize(designed + QSize(200, 160));
    EXPECT_EQ(form.RichTextBox1->geometry(), text.adjusted(0, 0, 200, 120));
    EXPECT_EQ(form.Text1->geometry(), notes.adjusted(0, 0, 200, 40));
    EXPECT_EQ(form.PushButton3->geometry(),
              QRect(execute.x(), execute.y() + 120, execute.width() + 100, execute.height()));
    EXPECT_EQ(form.PushButton1->geometry(),
              QRect(find.x() + 100, find.y() + 120, find.width() + 100, find.height()));
    EXPECT_EQ(form.ProgressBar1->geometry(), bar.adjusted(0, 160, 200, 160));
    EXPECT_EQ(form.height() - form.ProgressBar1->geometry().bottom(),
              designed.height() - bar.bottom());
    // Smaller than designed is refused.
    form.resize(300, 300);
    EXPECT_EQ(form.size(), designed);
    EXPECT_EQ(form.RichTextBox1->geometry(), text);
}

TEST_F(Form4HabitsTest, EachWindowOpensAtTheSizeTheUserGaveItLastTime) {
    QSize designed;
    {
        Form4 form;
        designed = form.size();
        showAndWait(form);
        form.resize(designed + QSize(150, 0));
        form.done(QDialog::Rejected);
    }
    EXPECT_EQ(ui::getSetting(ui::kKeyForm4Size), ui::windowSizeText(designed + QSize(150, 0)));
    Form4 again;
    EXPECT_EQ(again.size(), designed + QSize(150, 0));
    const int designedTextWidth = again.RichTextBox1->width();
    showAndWait(again);
    EXPECT_EQ(again.RichTextBox1->width(), designedTextWidth + 150);

    QSize findDesigned;
    {
        review::Form5 dialog(again.RichTextBox1, &again);
        findDesigned = dialog.size();
        EXPECT_EQ(dialog.maximumHeight(), findDesigned.height());
        showAndWait(dialog);
        const int textWidth = dialog.Text1->width();
        dialog.resize(findDesigned + QSize(100, 50));
        EXPECT_EQ(dialog.size(), findDesigned + QSize(100, 0));  // only wider
        EXPECT_EQ(dialog.Text1->width(), textWidth + 100);
        EXPECT_EQ(dialog.Text2->width(), textWidth + 100);
        EXPECT_EQ(dialog.PushButton1->geometry().right(), dialog.Text1->geometry().right());
        dialog.pushButton1Click();
    }
    review::Form5 next(again.RichTextBox1, &again);
    EXPECT_EQ(next.size(), findDesigned + QSize(100, 0));
}

TEST_F(Form4HabitsTest, TheSaveDialogOffersTextAndSqlFiles) {
    Form4 form;
    form.appendText("SELECT 1");
    prompts.queueFile(QString());  // cancelled
    form.pushButton2Click();
    ASSERT_EQ(prompts.records().size(), 1u);
    EXPECT_EQ(prompts.records()[0].file.filter,
              "Text Files(*.txt)|*.txt|SQL Files(*.sql)|*.sql|All Files (*.*)|*.*|");
    EXPECT_EQ(ui::qtFilterFromPipes(prompts.records()[0].file.filter).split(";;").size(), 3);
    EXPECT_FALSE(form.isSaved());
}

}  // namespace
