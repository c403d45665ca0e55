// The script editor, headless: typing, line breaks, deleting, selection, the clipboard, undo,
// read-only, and bytes that other editors would change.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QtTest/QTest>
#include <iterator>
#include <random>
#include <string>

#include "review/display_line.h"
#include "review/script_editor.h"

using review::ScriptEditor;
using review::TextPos;

namespace {

class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        editor_.resize(400, 300);
        editor_.show();
        editor_.setFocus();
    }
    std::string text() const { return editor_.script().toString(); }
    void type(const QString& keys) { QTest::keyClicks(&editor_, keys); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(&editor_, k, m);
    }

    ScriptEditor editor_;
};

}  // namespace

TEST_F(EditorTest, TypingEnterAndBackspaceEditLines) {
    type("SELECT 1");
    key(Qt::Key_Return);
    type("SELECT 2");
    EXPECT_EQ(text(), "SELECT 1\r\nSELECT 2");
    EXPECT_EQ(editor_.cursorPosition(), (TextPos{1, 8}));
    key(Qt::Key_Home);
    key(Qt::Key_Backspace);  // joins the lines: the CR LF goes as one
    EXPECT_EQ(text(), "SELECT 1SELECT 2");
    key(Qt::Key_Delete);
    EXPECT_EQ(text(), "SELECT 1ELECT 2");
    key(Qt::Key_End);
    key(Qt::Key_Backspace);
    EXPECT_EQ(text(), "SELECT 1ELECT ");
}

TEST_F(EditorTest, MultiByteCharactersAreEditedWhole) {
    editor_.setScript("a\xC3\xB8\xF0\x9F\x98\x80z");  // a ø 😀 z
    editor_.setCursorPosition({0, 0});
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(editor_.cursorPosition(), (TextPos{0, 3}));
    key(Qt::Key_Right);
    EXPECT_EQ(editor_.cursorPosition(), (TextPos{0, 7}));
    key(Qt::Key_Backspace);
    EXPECT_EQ(text(), "a\xC3\xB8z");
    key(Qt::Key_Left);
    key(Qt::Key_Delete);
    EXPECT_EQ(text(), "az");
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QStringLiteral("é"));
    QApplication::sendEvent(&editor_, &press);
    EXPECT_EQ(text(), "a\xC3\xA9z");
}

TEST_F(EditorTest, SelectionCopyCutAndPaste) {
    editor_.setScript("one\r\ntwo\r\nthree");
    editor_.setCursorPosition({0, 1});
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(editor_.selectedText(), "ne\r\nt");  // straight down, to the same column
    editor_.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "ne\r\nt");
    editor_.cut();
    EXPECT_EQ(text(), "owo\r\nthree");
    // Text from elsewhere with LF or CR line breaks becomes lines of the script.
    QGuiApplication::clipboard()->setText("x\ny\rz\r\n");
    editor_.paste();
    EXPECT_EQ(text(), "ox\r\ny\r\nz\r\nwo\r\nthree");
    editor_.selectAll();
    type("Q");
    EXPECT_EQ(text(), "Q");
}

TEST_F(EditorTest, UndoAndRedoTakeBackEdits) {
    editor_.setScript("INSERT");
    editor_.setCursorPosition({0, 6});
    type(" INTO");
    key(Qt::Key_Return);
    type("x");
    EXPECT_EQ(text(), "INSERT INTO\r\nx");
    editor_.undo();
    EXPECT_EQ(text(), "INSERT INTO\r\n");
    editor_.undo();
    EXPECT_EQ(text(), "INSERT INTO");
    editor_.undo();
    EXPECT_EQ(text(), "INSERT");  // the typed word went back as one
    editor_.redo();
    EXPECT_EQ(text(), "INSERT INTO");
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), "INSERT");
}

TEST_F(EditorTest, ReadOnlyRefusesEveryChange) {
    editor_.setScript("keep");
    editor_.setReadOnly(true);
    editor_.setCursorPosition({0, 4});
    type("x");
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);
    editor_.insertText("y");
    editor_.paste();
    editor_.selectAll();
    editor_.cut();
    editor_.undo();
    EXPECT_EQ(text(), "keep");
    editor_.copy();  // reading is allowed
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "keep");
}

TEST_F(EditorTest, BytesOtherEditorsChangeStayAsTheyAre) {
    // Lone LF and CR, no-break spaces, separators and invalid bytes are shown, never changed,
    // and editing elsewhere in the line keeps them.
    const std::string line = std::string(
        "'a\nb\rc\xC2\xA0"
        "d\xE2\x80\xA8"
        "e\xFF'");
    editor_.setScript("INSERT INTO t VALUES(" + line + ")");
    EXPECT_EQ(editor_.script().lineCount(), 1u);
    editor_.setCursorPosition({0, 0});
    type("-- ");
    EXPECT_EQ(text(), "-- INSERT INTO t VALUES(" + line + ")");
    const review::DisplayLine shown = review::makeDisplayLine(line, 1000);
    EXPECT_EQ(shown.text, QString::fromUtf8("'a\u240Ab\u240Dc\u00A0d\u2424e\uFFFD'"));
    EXPECT_EQ(shown.byteOf(3), 3u);
    EXPECT_EQ(shown.unitOf(6), 6);  // the two-byte no-break space is one unit
    EXPECT_EQ(shown.unitOf(8), 7);
}

TEST(DisplayLine, MapsBytesAndUnitsBothWays) {
    const std::string s = "a\xC3\xB8\xF0\x9F\x98\x80z";
    const review::DisplayLine d = review::makeDisplayLine(s, 100);
    EXPECT_EQ(d.text.size(), 5);  // a, ø, a surrogate pair, z
    EXPECT_EQ(d.unitOf(0), 0);
    EXPECT_EQ(d.unitOf(1), 1);
    EXPECT_EQ(d.unitOf(3), 2);
    EXPECT_EQ(d.unitOf(7), 4);
    EXPECT_EQ(d.byteOf(4), 7u);
    EXPECT_EQ(d.byteOf(5), 8u);
    EXPECT_EQ(review::nextChar(s, 1), 3u);
    EXPECT_EQ(review::previousChar(s, 7), 3u);
    EXPECT_EQ(review::previousChar(s, 3), 1u);
    EXPECT_EQ(review::previousChar("\x80\x80", 2), 1u);  // stray continuation bytes one by one
    const review::DisplayLine cut = review::makeDisplayLine(std::string(50, 'x'), 10);
    EXPECT_TRUE(cut.truncated);
    EXPECT_EQ(cut.shownBytes, 10u);
}

TEST_F(EditorTest, AMillionLinesLoadAtOnceAndTheEndIsReachable) {
    std::string big;
    big.reserve(40'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        big += "INSERT INTO `t` VALUES('" + std::to_string(i) + "')\r\n";
    editor_.setScript(std::move(big));
    EXPECT_EQ(editor_.script().lineCount(), 1'000'001u);
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(editor_.cursorPosition(), (TextPos{1'000'000, 0}));
    EXPECT_GT(editor_.firstVisibleLine(), 999'000u);
    key(Qt::Key_Up);
    EXPECT_EQ(editor_.script().line(editor_.cursorPosition().line),
              "INSERT INTO `t` VALUES('999999')");
    editor_.selectLine(500'000);
    EXPECT_EQ(editor_.selectedText(), "INSERT INTO `t` VALUES('500000')");
    QApplication::processEvents();  // draws the lines in view
}

TEST_F(EditorTest, RandomEditingUndoesBackToTheStartAndRedoesToTheEnd) {
    const std::string start =
        "INSERT INTO `t` VALUES('a\nb')\r\n\r\nSELECT 'Ø\r' \xF0\x9F\x98\x80\r\n\nx\r\r\n\ny";
    editor_.setScript(start);
    std::mt19937 rng(7);
    const Qt::Key moves[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,     Qt::Key_Down,
                             Qt::Key_Home, Qt::Key_End,   Qt::Key_PageUp, Qt::Key_PageDown};
    for (int step = 0; step < 3000; ++step) {
        const unsigned r = rng() % 10;
        const bool shift = rng() % 4 == 0;
        if (r < 3)
            key(moves[rng() % std::size(moves)], shift ? Qt::ShiftModifier : Qt::NoModifier);
        else if (r < 5)
            type(QString(QChar(static_cast<char16_t>('a' + rng() % 26))));
        else if (r == 5)
            key(Qt::Key_Return);
        else if (r == 6)
            key(Qt::Key_Backspace);
        else if (r == 7)
            key(Qt::Key_Delete);
        else if (r == 8)
            editor_.insertText("'\xC3\xB8'");
        else
            key(Qt::Key_Right, Qt::ControlModifier);
        const TextPos caret = editor_.cursorPosition();
        ASSERT_LT(caret.line, editor_.script().lineCount());
        ASSERT_LE(caret.column, editor_.script().line(caret.line).size());
    }
    const std::string end = text();
    int undone = 0;
    while (editor_.canUndo()) {
        editor_.undo();
        ++undone;
    }
    EXPECT_GT(undone, 100);
    EXPECT_EQ(text(), start);
    while (editor_.canRedo())
        editor_.redo();
    EXPECT_EQ(text(), end);
}
