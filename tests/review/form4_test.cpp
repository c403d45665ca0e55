// The review window, headless: layout, collecting the text, Save, Copy, and Execute against the
// real MariaDB server and against an Access path, with the exact "Notes" and messages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "review/clipboard_retry.h"
#include "review/form4.h"
#include "review/script_editor.h"
#include "tests/support/heartbeat.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "ui/app_title.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/window_helpers.h"

using review::Form4;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

bool isTransferFinished(const ui::MessageRequest& m) {
    return m.text == "Transfer finished." && m.title == ui::applicationTitle() &&
           m.buttons == ui::Buttons::Ok && m.icon == ui::Icon::None;
}

// A failure, so it shows the error report's exclamation icon.
bool isTransferProblem(const ui::MessageRequest& m) {
    return m.text == "Transfer problem. See Notes." && m.title == ui::applicationTitle() &&
           m.buttons == ui::Buttons::Ok && m.icon == ui::Icon::Exclamation;
}

class Form4Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::setPromptService(&prompts_);
        ui::SqlExecuted = false;
    }
    void TearDown() override {
        EXPECT_TRUE(prompts_.unexpected().empty());
        ui::setPromptService(nullptr);
        ui::setLoginProvider(nullptr);
        ui::setProgramFolder(QString());
    }
    void useLogin(const db::LoginFields& login) {
        ui::setLoginProvider([login] { return login; });
    }
    std::vector<ui::MessageRequest> messages() const { return prompts_.messages(); }

    ui::ScriptedPrompts prompts_;
};

}  // namespace

// ---- layout and loading ----

TEST_F(Form4Test, HasTheDesignedControlsAndCaptions) {
    Form4 form;
    EXPECT_EQ(form.windowTitle(), "Send Table/s");
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(form.m_SendType, 0);
    EXPECT_EQ(form.Frame1->title(), "Preview SQL Commands Before Execution");
    EXPECT_EQ(form.PushButton3->text(), "Execute SQL Commands Now");
    EXPECT_EQ(form.PushButton1->text(), "Find and Replace");
    EXPECT_EQ(form.PushButton2->text(), "Save SQL Commands As Text File");
    EXPECT_EQ(form.PushButton4->text(), "Copy SQL Commands To Clipboard");
    EXPECT_EQ(form.Frame2->title(), "Notes");
    EXPECT_EQ(form.ProgressBar1->minimum(), 0);
    EXPECT_EQ(form.ProgressBar1->maximum(), 100);
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_EQ(form.RichTextBox1->parentWidget(), form.Frame1);
    EXPECT_EQ(form.Text1->parentWidget(), form.Frame2);
    EXPECT_TRUE(form.RichTextBox1->script().empty());
    EXPECT_TRUE(form.notes().isEmpty());
    if (form.screen()->logicalDotsPerInch() == 96) {
        // 15 twips to a pixel.
        EXPECT_EQ(form.size(), QSize(536, 703));
        EXPECT_EQ(form.Frame1->geometry(), QRect(8, 8, 520, 465));
        EXPECT_EQ(form.RichTextBox1->geometry(), QRect(16, 20, 489, 433));
        EXPECT_EQ(form.PushButton3->geometry(), QRect(8, 481, 256, 27));
        EXPECT_EQ(form.PushButton1->geometry(), QRect(272, 481, 256, 27));
        EXPECT_EQ(form.PushButton2->geometry(), QRect(8, 515, 256, 27));
        EXPECT_EQ(form.PushButton4->geometry(), QRect(272, 515, 256, 27));
        EXPECT_EQ(form.Frame2->geometry(), QRect(8, 548, 520, 113));
        EXPECT_EQ(form.Text1->geometry(), QRect(16, 20, 489, 81));
        EXPECT_EQ(form.ProgressBar1->geometry(), QRect(8, 668, 520, 27));
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(Form4Test, AnUnreadablePointerFileIsReportedAtStep106OfTheLoad) {
    testenv::TempDir dir;
    writeFile(dir.path() / "HAND-M.CUR", "not a pointer image");
    ui::setProgramFolder(QString::fromStdString(dir.path().string()));
    Form4 form;
    const auto m = messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].title, "Application Error");
    EXPECT_EQ(m[0].icon, ui::Icon::Exclamation);
    EXPECT_TRUE(m[0].text.contains("\r\nin Quillfen2021/08/31.Form4.Form_Load at line 106\r\r"))
        << m[0].text.toStdString();
    EXPECT_EQ(form.windowTitle(), "Send Table/s");  // the load went on
}

TEST_F(Form4Test, EscapeDoesNotThrowTheScriptAway) {
    Form4 form;
    form.appendText(std::string("SELECT 1"));
    form.show();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.text(), "SELECT 1");
}

TEST_F(Form4Test, ButtonsShowTheHandAndTheRestTheDefaultPointerUnlessBusy) {
    Form4 form;
    form.show();
    auto hover = [](QWidget* w) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), QPointF(2, 2),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    };
    hover(form.PushButton4);
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerCustom);
    hover(form.RichTextBox1->viewport());
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerDefault);
    hover(form.PushButton3);
    hover(form.Frame2);
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerDefault);
    ui::setMousePointer(&form, ui::kPointerBusy);
    hover(form.PushButton1);
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerBusy);
}

// ---- the caller's interface ----

TEST_F(Form4Test, TextIsCollectedWhileHiddenAndShownWhole) {
    Form4 form;
    std::string expected;
    for (int i = 0; i < 50000; ++i) {
        const std::string line = "INSERT INTO `t` VALUES('" + std::to_string(i) + "')\r\n";
        form.appendText(std::string_view(line));
        expected += line;
    }
    form.appendText(QStringLiteral("-- Ødegård\r\n"));
    expected +=
        "-- \xC3\x98"
        "deg\xC3\xA5rd\r\n";
    // Nothing reached the editor yet.
    EXPECT_TRUE(form.RichTextBox1->script().empty());
    EXPECT_EQ(form.text(), expected);
    form.show();
    EXPECT_EQ(form.RichTextBox1->script().lineCount(), 50002u);
    EXPECT_EQ(form.RichTextBox1->script().toString(), expected);
    // Once shown, appends go straight to the editor.
    form.appendText(std::string("SELECT 2"));
    EXPECT_EQ(form.RichTextBox1->script().line(50001), "SELECT 2");
    EXPECT_EQ(form.text(), expected + "SELECT 2");
}

// ---- Save ----

TEST_F(Form4Test, SaveWritesTheTextAndOneLineBreakAsUtf8WithoutMark) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "script.txt";
    writeFile(file, std::string(10000, 'x'));  // an existing, longer file is replaced
    Form4 form;
    const std::string script =
        "CREATE TABLE `t`(`a` text)\r\n\r\nINSERT INTO `t` VALUES('Ø\n\xC2\xA0')";
    form.appendText(std::string(script));
    form.show();
    prompts_.queueFile(QString::fromStdString(file.string()));
    form.pushButton2Click();

    ASSERT_EQ(prompts_.records().size(), 1u);
    const auto& dialog = prompts_.records()[0];
    EXPECT_EQ(dialog.kind, ui::ScriptedPrompts::Record::SaveFile);
    EXPECT_EQ(dialog.file.title, "Save List");
    // The SQL filter lets a name typed without extension become a .sql file.
    EXPECT_EQ(dialog.file.filter,
              "Text Files(*.txt)|*.txt|SQL Files(*.sql)|*.sql|All Files (*.*)|*.*|");
    EXPECT_EQ(ui::qtFilterFromPipes(dialog.file.filter),
              "Text Files(*.txt) (*.txt);;SQL Files(*.sql) (*.sql);;All Files (*.*) (*.*)");
    EXPECT_EQ(readFile(file), script + "\r\n");
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerDefault);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Form4Test, CancellingTheSaveDialogWritesNothingEvenAfterAnEarlierSave) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "first.txt";
    Form4 form;
    form.appendText(std::string("SELECT 1"));
    form.show();
    prompts_.queueFile(QString::fromStdString(file.string()));
    form.pushButton2Click();
    ASSERT_EQ(readFile(file), "SELECT 1\r\n");
    const auto stamp = fs::last_write_time(file);

    form.setText("SELECT 2");
    prompts_.queueFile(QString());  // cancelled
    form.pushButton2Click();
    EXPECT_EQ(readFile(file), "SELECT 1\r\n");
    EXPECT_EQ(fs::last_write_time(file), stamp);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_EQ(prompts_.records().size(), 2u);
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerDefault);
}

TEST_F(Form4Test, AnEmptyTextSavesAsOneLineBreak) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "empty.txt";
    Form4 form;
    form.show();
    prompts_.queueFile(QString::fromStdString(file.string()));
    form.pushButton2Click();
    EXPECT_EQ(readFile(file), "\r\n");
}

TEST_F(Form4Test, AFileThatCannotBeCreatedIsReportedStepByStep) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "no such folder" / "script.txt";
    Form4 form;
    form.appendText(std::string("SELECT 1"));
    form.show();
    prompts_.queueFile(QString::fromStdString(file.string()));
    form.pushButton2Click();
    const auto m = messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_TRUE(m[0].text.startsWith(
        QString::fromStdString("The file " + file.string() + " could not be created: ")))
        << m[0].text.toStdString();
    EXPECT_TRUE(m[0].text.contains("Form4.PushButton2_Click at line 114\r\r"));
    EXPECT_TRUE(m[1].text.contains("Form4.PushButton2_Click at line 116\r\r"));
    EXPECT_TRUE(m[2].text.contains("Form4.PushButton2_Click at line 118\r\r"));
    for (const auto& box : m)
        EXPECT_EQ(box.title, "Application Error");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerDefault);
}

// ---- Copy ----

TEST_F(Form4Test, CopyPutsTheWholeTextOnTheClipboardAndSaysSo) {
    Form4 form;
    const std::string script =
        "DROP TABLE `t`\r\n\r\nINSERT INTO `t` VALUES('上海 \xF0\x9F\x98\x80')\r\n";
    form.appendText(std::string(script));
    form.show();
    QGuiApplication::clipboard()->setText("something else");
    form.pushButton4Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), script);
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/plain").toStdString(), script);
    const auto m = messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Data sent to clipboard.");
    EXPECT_EQ(m[0].title, ui::applicationTitle());
    EXPECT_EQ(m[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(m[0].icon, ui::Icon::None);

    // An empty text leaves the clipboard empty, and the message is the same.
    form.setText("");
    form.pushButton4Click();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text, "Data sent to clipboard.");
}

TEST_F(Form4Test, TheClipboardKeepsWhatWasCopiedWhenTheScriptChangesOrTheWindowCloses) {
    const std::string copied = "INSERT INTO `t` VALUES('ø')\r\nINSERT INTO `t` VALUES('x')";
    {
        Form4 form;
        form.appendText(std::string(copied));
        form.show();
        form.pushButton4Click();
        form.setText("DROP TABLE `t`");
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), copied);
        form.pushButton4Click();
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "DROP TABLE `t`");
        form.appendText("\r\nmore");
    }
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "DROP TABLE `t`");
    {
        Form4 form;
        form.appendText(std::string(copied));
        form.show();
        form.pushButton4Click();
    }
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), copied);
}

TEST(ClipboardRetry, ClearsAndPlacesTextInTheAskedFormat) {
    QGuiApplication::clipboard()->setText("old");
    review::ClearClipboardWithRetry();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    EXPECT_TRUE(review::SetClipboardTextWithRetry(QStringLiteral("plain ø")));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("plain ø"));
    EXPECT_TRUE(review::SetClipboardTextWithRetry(QStringLiteral("SELECT 'ø'"), "text/x-sql"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data("text/x-sql"), QByteArray("SELECT '\xC3\xB8'"));
}

// ---- Execute: failures that need no server ----

TEST_F(Form4Test, AnAccessFileThatCannotBeOpenedGivesAnEmptyLineAndTheError) {
    testenv::TempDir dir;
    db::LoginFields login;
    login.accessPath = (dir.path() / "missing.mdb").string();
    useLogin(login);
    Form4 form;
    form.m_SendType = 1;
    form.appendText(std::string("CREATE TABLE `t`(`a` TEXT);\r\nINSERT INTO `t` VALUES('x')"));
    form.show();
    form.pushButton3Click();
    EXPECT_TRUE(form.notes().startsWith("\r\n")) << form.notes().toStdString();
    EXPECT_GT(form.notes().size(), 2);
    EXPECT_FALSE(form.notes().mid(2).contains("CREATE TABLE"));
    EXPECT_EQ(form.Text1->toPlainText(), "\n" + form.notes().mid(2));  // an empty first line
    const auto m = messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_TRUE(isTransferProblem(m[0]));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerDefault);
    EXPECT_TRUE(form.PushButton3->isEnabled());
    EXPECT_FALSE(form.RichTextBox1->isReadOnly());
    EXPECT_EQ(form.text(), "CREATE TABLE `t`(`a` TEXT);\r\nINSERT INTO `t` VALUES('x')");
}

TEST_F(Form4Test, ASendTypeWithoutDestinationIsAFailureNotASuccess) {
    Form4 form;
    form.m_SendType = 2;
    form.appendText(std::string("SELECT 1"));
    form.show();
    form.pushButton3Click();
    EXPECT_EQ(form.notes(),
              "\r\nThe statements have no destination: the send type 2 is neither 0 (MySQL) nor 1 "
              "(Access).");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(isTransferProblem(messages()[0]));
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_TRUE(form.isVisible());
}

// ---- Execute against MySQL ----

class Form4MySqlTest : public Form4Test {
  protected:
    void SetUp() override {
        Form4Test::SetUp();
        DM_REQUIRE_MYSQL();
        scratch_ = std::make_unique<testenv::MySqlScratch>();
        useLogin(scratch_->login());
        scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(40)) ENGINE=InnoDB");
    }
    std::string count() { return scratch_->scalar("SELECT COUNT(*) FROM t"); }
    // Runs Execute on a shown window holding `script`.
    void execute(Form4& form, const std::string& script) {
        form.appendText(std::string(script));
        form.show();
        form.pushButton3Click();
    }
    void expectFinished(Form4& form) {
        const auto m = messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_TRUE(isTransferFinished(m[0])) << m[0].text.toStdString();
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_TRUE(ui::SqlExecuted);
        EXPECT_EQ(ui::mousePointer(&form), ui::kPointerDefault);
    }

    std::unique_ptr<testenv::MySqlScratch> scratch_;
};

std::string insertLines(int from, int to) {
    std::string s;
    for (int i = from; i < to; ++i)
        s += "INSERT INTO `t` VALUES('" + std::to_string(i) + "', 'row " + std::to_string(i) +
             "')\r\n";
    return s;
}

TEST_F(Form4MySqlTest, AnEmptyTextFinishesAndCloses) {
    Form4 form;
    execute(form, "");
    expectFinished(form);
}

TEST_F(Form4MySqlTest, OnlyEmptyLinesFinishWithTheBarAtHundred) {
    Form4 form;
    execute(form, "\r\n\r\n\r\n");
    expectFinished(form);
    EXPECT_EQ(form.ProgressBar1->value(), 100);
}

TEST_F(Form4MySqlTest, OneStatementWithoutLineBreakRuns) {
    Form4 form;
    execute(form, "INSERT INTO `t` VALUES('1', 'one')");
    expectFinished(form);
    EXPECT_EQ(form.ProgressBar1->value(), 100);
    EXPECT_EQ(scratch_->scalar("SELECT name FROM t WHERE id = 1"), "one");
}

TEST_F(Form4MySqlTest, ALineOfBlanksIsSentAndItsFailureReported) {
    Form4 form;
    execute(form,
            "INSERT INTO `t` VALUES('1', 'one')\r\n   \r\nINSERT INTO `t` VALUES('2', 'two')");
    EXPECT_EQ(form.notes(), "   \r\nQuery was empty");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(isTransferProblem(messages()[0]));
    EXPECT_EQ(count(), "1");
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Form4MySqlTest, TenLinesWithTheFifthRejectedKeepTheFirstFour) {
    Form4 form;
    const std::string fifth = "INSERT INTO `t` VALUES('1', 'again')";
    const std::string script = insertLines(0, 4) + fifth + "\r\n" + insertLines(5, 10);
    execute(form, script);
    EXPECT_EQ(form.notes(),
              QString::fromStdString(fifth + "\r\nDuplicate entry '1' for key 'PRIMARY'"));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(isTransferProblem(messages()[0]));
    EXPECT_EQ(scratch_->scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "0,1,2,3");
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_EQ(ui::mousePointer(&form), ui::kPointerDefault);
    EXPECT_EQ(form.text(), script);  // the text is unchanged
    // The rejected line is selected.
    EXPECT_EQ(form.RichTextBox1->selectedText(), fifth);

    // A second Execute starts again from the first line, which is now a duplicate itself.
    form.pushButton3Click();
    EXPECT_EQ(form.notes(), QString::fromStdString("INSERT INTO `t` VALUES('0', 'row 0')\r\n"
                                                   "Duplicate entry '0' for key 'PRIMARY'"));
    EXPECT_EQ(count(), "4");
}

TEST_F(Form4MySqlTest, AWrongPasswordGivesAnEmptyLineAndTheServersText) {
    db::LoginFields login = scratch_->login();
    login.password = "wrong";
    useLogin(login);
    Form4 form;
    execute(form, insertLines(0, 3));
    EXPECT_TRUE(form.notes().startsWith("\r\nAccess denied for user '" +
                                        QString::fromStdString(login.user) + "'@"))
        << form.notes().toStdString();
    EXPECT_TRUE(form.notes().endsWith("(using password: YES)")) << form.notes().toStdString();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(isTransferProblem(messages()[0]));
    EXPECT_EQ(count(), "0");
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Form4MySqlTest, FortyThousandLinesRunWhole) {
    Form4 form;
    execute(form, insertLines(0, 40000));
    expectFinished(form);
    EXPECT_EQ(count(), "40000");
    EXPECT_EQ(form.ProgressBar1->value(), 100);
}

TEST_F(Form4MySqlTest, NoOtherCommandInterleavesWithARun) {
    Form4 form;
    form.executionSettings.progressInterval = std::chrono::milliseconds(0);
    form.executionSettings.mergeLines = 50;
    bool checked = false;
    QTimer::singleShot(0, &form, [&] {
        checked = true;
        EXPECT_TRUE(form.isExecuting());
        EXPECT_EQ(ui::mousePointer(&form), ui::kPointerBusy);
        for (QPushButton* b :
             {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4})
            EXPECT_FALSE(b->isEnabled());
        EXPECT_TRUE(form.RichTextBox1->isReadOnly());
        form.close();
        form.reject();
        EXPECT_TRUE(form.isVisible());
        form.pushButton2Click();  // no dialog
        form.pushButton4Click();  // no message
        form.pushButton3Click();  // no second run
        form.RichTextBox1->insertText("garbage");
    });
    execute(form, insertLines(0, 2000));
    EXPECT_TRUE(checked);
    expectFinished(form);
    EXPECT_EQ(count(), "2000");
    EXPECT_EQ(prompts_.records().size(), 1u);
}

// A line that keeps the server busy for a second and a half: the window answers its events
// within a tenth of a second all along, its commands disabled, and the bar moves on after it.
TEST_F(Form4MySqlTest, TheWindowAnswersWithinATenthOfASecondWhileALongLineRuns) {
    Form4 form;
    form.executionSettings.progressInterval = std::chrono::milliseconds(0);
    testenv::Heartbeat beat;
    int busyBeats = 0;
    std::vector<int> values;
    QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged,
                     [&](int v) { values.push_back(v); });
    beat.onBeat = [&] {
        bool allDisabled = form.isExecuting() && form.RichTextBox1->isReadOnly();
        for (QPushButton* b :
             {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4})
            allDisabled = allDisabled && !b->isEnabled();
        if (allDisabled) ++busyBeats;
    };
    beat.start();
    execute(form, "DO SLEEP(1.5)\r\n" + insertLines(0, 3));
    beat.stop();
    expectFinished(form);
    EXPECT_GE(beat.elapsedMs(), 1500);
    EXPECT_LT(beat.longestGapMs(), 100) << "beats: " << beat.beats();
    EXPECT_GT(busyBeats, 50);
    EXPECT_EQ(count(), "3");
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), 100);
    EXPECT_TRUE(form.ranStatements());
}

TEST_F(Form4MySqlTest, ALostConnectionIsToldWithTheFirstLineThatMayNotBeInEffect) {
    Form4 form;
    bool killed = false;
    // The run goes on in a worker while the window handles events: its session is killed while
    // the first line keeps the server busy.
    QTimer killer;
    killer.setInterval(5);
    QObject::connect(&killer, &QTimer::timeout, [&] {
        // The window's session is the only other one on the scratch database.
        const std::string id = scratch_->scalar(
            "SELECT COALESCE(MAX(ID), 0) FROM information_schema.PROCESSLIST WHERE DB = '" +
            scratch_->name() + "' AND ID <> CONNECTION_ID() AND INFO LIKE 'DO SLEEP%'");
        if (id == "0") return;
        killer.stop();
        scratch_->exec("KILL " + id);
        killed = true;
    });
    killer.start();
    execute(form, "DO SLEEP(20)\r\n" + insertLines(0, 500));
    ASSERT_TRUE(killed);
    const QString notes = form.notes();
    EXPECT_TRUE(notes.startsWith("DO SLEEP(20)\r\n")) << notes.toStdString();
    EXPECT_TRUE(
        notes.endsWith("\r\nThe connection to the database was lost. The lines before line 1 "
                       "are in effect; line 1 (shown above) and the lines after it may not be."))
        << notes.toStdString();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(isTransferProblem(messages()[0]));
    EXPECT_EQ(count(), "0");
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_FALSE(form.isExecuting());
    EXPECT_TRUE(form.ranStatements());  // the destination may have changed: the list is reread
}

// ---- Execute against a real Access file ----

TEST_F(Form4Test, AccessStatementsRunOnACopyOfARealFile) {
    const std::string fixture = "access/V2010/testV2010.accdb";
    DM_REQUIRE_FIXTURE(fixture);
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture(fixture);
    const std::string before = readFile(file);
    db::LoginFields login;
    login.accessPath = file.string();
    useLogin(login);
    Form4 form;
    form.m_SendType = 1;
    form.appendText(std::string("SELECT * FROM `Table1`\r\n\r\nSELECT * FROM [Table2];\r\n"));
    form.show();
    form.pushButton3Click();
    const auto m = messages();
    ASSERT_EQ(m.size(), 1u) << form.notes().toStdString();
    EXPECT_TRUE(isTransferFinished(m[0]));
    EXPECT_TRUE(ui::SqlExecuted);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.ProgressBar1->value(), 100);
    EXPECT_EQ(readFile(file), before);
}

TEST_F(Form4Test, ARejectedAccessStatementIsNamedInTheNotes) {
    const std::string fixture = "access/V2003/test2V2003.mdb";
    DM_REQUIRE_FIXTURE(fixture);
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture(fixture);
    db::LoginFields login;
    login.accessPath = file.string();
    useLogin(login);
    Form4 form;
    form.m_SendType = 1;
    const std::string bad = "SELECT * FROM `No Such Table`";
    form.appendText("SELECT * FROM `MSP_PROJECTS`\r\n" + bad + "\r\nSELECT * FROM `MSP_PROJECTS`");
    form.show();
    form.pushButton3Click();
    EXPECT_TRUE(form.notes().startsWith(QString::fromStdString(bad + "\r\n")))
        << form.notes().toStdString();
    EXPECT_GT(form.notes().size(), static_cast<qsizetype>(bad.size() + 2));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(isTransferProblem(messages()[0]));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_EQ(form.RichTextBox1->selectedText(), bad);
}

// ---- Execute writing into Access files ----

namespace {

class Form4AccessTest : public Form4Test {
  protected:
    // A copy of `fixture` in a scratch folder, used as the login's Access file.
    void useCopy(const std::string& fixture, const std::string& password = {}) {
        file_ = dir_.copyFixture(fixture);
        db::LoginFields login;
        login.accessPath = file_.string();
        login.accessPassword = password;
        login_ = login;
        useLogin(login);
    }
    void execute(Form4& form, const std::string& script) {
        form.m_SendType = 1;
        form.appendText(std::string(script));
        form.show();
        form.pushButton3Click();
    }
    // The ids of `table` in the file as a reader sees it, in row order.
    std::string ids(const std::string& table) {
        db::Connection c;
        c.open(db::buildAccessConnectionString(login_));
        db::Recordset rs;
        rs.open("SELECT * FROM [" + table + "]", c);
        std::string s;
        for (; !rs.eof(); rs.moveNext())
            s += (s.empty() ? "" : ",") + rs.field(0).value().toDebugString();
        return s;
    }
    std::vector<std::string> checkProblems() {
        jet::OpenOptions o;
        o.password = login_.accessPassword;
        auto db = jet::Database::open(file_.string(), o);
        return jet::checkDatabase(*db).problems();
    }

    testenv::TempDir dir_;
    fs::path file_;
    db::LoginFields login_;
};

std::string accessInserts(int from, int to) {
    std::string s;
    for (int i = from; i < to; ++i)
        s += "INSERT INTO `t` (id, name) VALUES(" + std::to_string(i) + ", 'row " +
             std::to_string(i) + "')\r\n";
    return s;
}

const std::string kCreateT = "CREATE TABLE `t` (`id` INT PRIMARY KEY, `name` VARCHAR(40))\r\n";

TEST_F(Form4AccessTest, TenLinesWithTheFifthRejectedKeepTheFirstFour) {
    const std::string fixture = "access/empty/empty2003.mdb";
    DM_REQUIRE_FIXTURE(fixture);
    useCopy(fixture);
    Form4 form;
    const std::string fifth = "INSERT INTO `t` (id, name) VALUES(1, 'again')";
    const std::string script =
        kCreateT + accessInserts(0, 4) + fifth + "\r\n" + accessInserts(5, 10);
    execute(form, script);
    EXPECT_EQ(form.notes().toStdString(),
              fifth +
                  "\r\nThe row would put a value into the index 'PrimaryKey' of table 't' that "
                  "it holds already; the index allows each value only once.");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(isTransferProblem(messages()[0]));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_EQ(form.RichTextBox1->selectedText(), fifth);
    // The window let the file go: another reader sees the committed lines, and no lock is left.
    EXPECT_EQ(ids("t"), "0,1,2,3");
    EXPECT_FALSE(fs::exists(fs::path(file_).replace_extension(".ldb")));
    EXPECT_EQ(checkProblems(), std::vector<std::string>{});
}

TEST_F(Form4AccessTest, FortyThousandLinesRunWholeIntoANewAccdbTable) {
    const std::string fixture = "access/empty/empty2010.accdb";
    DM_REQUIRE_FIXTURE(fixture);
    useCopy(fixture);
    Form4 form;
    execute(form, kCreateT + accessInserts(0, 40000));
    ASSERT_EQ(messages().size(), 1u) << form.notes().toStdString();
    EXPECT_TRUE(isTransferFinished(messages()[0]));
    EXPECT_TRUE(ui::SqlExecuted);
    EXPECT_EQ(form.ProgressBar1->value(), 100);
    db::Connection c;
    c.open(db::buildAccessConnectionString(login_));
    db::Recordset rs;
    rs.open("SELECT * FROM [t]", c);
    EXPECT_EQ(rs.recordCount(), 40000);
    EXPECT_EQ(checkProblems(), std::vector<std::string>{});
}

TEST_F(Form4AccessTest, AnEncryptedFileIsWrittenWithItsPasswordAndRefusedWithAWrongOne) {
    const std::string fixture = "access/encrypted/db2013-enc.accdb";
    DM_REQUIRE_FIXTURE(fixture);
    useCopy(fixture, "1234");
    {
        Form4 form;
        execute(form, kCreateT + accessInserts(0, 3));
        ASSERT_EQ(messages().size(), 1u) << form.notes().toStdString();
        EXPECT_TRUE(isTransferFinished(messages()[0]));
    }
    EXPECT_EQ(ids("t"), "0,1,2");
    EXPECT_EQ(checkProblems(), std::vector<std::string>{});

    const std::string before = readFile(file_);
    db::LoginFields wrong = login_;
    wrong.accessPassword = "4321";
    useLogin(wrong);
    Form4 form;
    execute(form, accessInserts(3, 5));
    EXPECT_EQ(form.notes(), "\r\nNot a valid password.");
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_TRUE(isTransferProblem(messages()[1]));
    EXPECT_EQ(readFile(file_), before);
}

TEST_F(Form4AccessTest, AnAccess97FileIsReadOnlyAndSaysSo) {
    const std::string fixture = "access/V1997/testV1997.mdb";
    DM_REQUIRE_FIXTURE(fixture);
    useCopy(fixture);
    const std::string before = readFile(file_);
    Form4 form;
    execute(form, kCreateT);
    EXPECT_EQ(form.notes().toStdString(),
              kCreateT +
                  "Databases of the Jet 3 (Access 97) format can be read but not written "
                  "by this program.");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(isTransferProblem(messages()[0]));
    EXPECT_EQ(readFile(file_), before);
}

}  // namespace
