// The window helpers: file existence, colours, pointer states, the hover convention and the hand
// pointer loaded from a cursor file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <fstream>
#include <stdexcept>

#include "tests/support/gui_fixture.h"
#include "ui/window_helpers.h"

namespace {

// A cursor file as the platform writes it: an icon image with type 2 and a hot spot.
QByteArray cursorFile(int hotX, int hotY) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    bytes[2] = 2;  // type: cursor
    bytes[10] = static_cast<char>(hotX);
    bytes[11] = 0;
    bytes[12] = static_cast<char>(hotY);
    bytes[13] = 0;
    return bytes;
}

void moveOver(QWidget* w, QPointF at = QPointF(3, 3)) {
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

class WindowHelpersTest : public testenv::GuiTest {
  protected:
    void writeProgramFile(const char* name, const QByteArray& bytes) {
        QFile f(qpath(programDir() / name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(WindowHelpersTest, FileExistsOnlyForAReadableFile) {
    EXPECT_FALSE(ui::fileExists(""));
    EXPECT_FALSE(ui::fileExists(qpath(dir.path() / "missing.mdb")));
    EXPECT_FALSE(ui::fileExists(qpath(dir.path())));  // a folder is not a file
    EXPECT_FALSE(ui::fileExists(QString::fromUtf8("bad\0path", 8)));
    std::ofstream(dir.path() / "x.mdb") << "";
    EXPECT_TRUE(ui::fileExists(qpath(dir.path() / "x.mdb")));
    EXPECT_EQ(ui::programFile("HAND-M.CUR"), qpath(programDir()) + "/HAND-M.CUR");
}

TEST_F(WindowHelpersTest, WindowColoursReachFramesLabelsAndCheckBoxesOnly) {
    QWidget window;
    auto* frame = new QGroupBox("g", &window);
    auto* label = new QLabel("l", frame);
    auto* check = new QCheckBox("c", &window);
    auto* edit = new QLineEdit(&window);
    QPalette odd = edit->palette();
    odd.setColor(QPalette::Window, QColor(1, 2, 3));
    edit->setPalette(odd);
    ui::prepareWindowColours(&window);
    const QColor face = QApplication::palette().color(QPalette::Button);
    for (QWidget* w : {&window, static_cast<QWidget*>(frame), static_cast<QWidget*>(label),
                       static_cast<QWidget*>(check)}) {
        EXPECT_EQ(w->palette().color(QPalette::Window), face) << w->metaObject()->className();
        EXPECT_TRUE(w->autoFillBackground());
    }
    EXPECT_EQ(edit->palette().color(QPalette::Window), QColor(1, 2, 3));
}

TEST_F(WindowHelpersTest, HoverSetsHandOverButtonsAndDefaultElsewhereButNeverReplacesBusy) {
    QWidget window;
    auto* button = new QPushButton("b", &window);
    auto* edit = new QLineEdit(&window);
    window.resize(200, 200);
    button->setGeometry(0, 0, 50, 20);
    edit->setGeometry(0, 40, 50, 20);
    ui::installHoverConvention(&window, {button}, {&window, edit});
    EXPECT_EQ(ui::mousePointer(&window), ui::kPointerDefault);
    moveOver(button);
    EXPECT_EQ(ui::mousePointer(&window), ui::kPointerCustom);
    // Without the pointer file the custom pointer looks like the arrow.
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    // The button's move, passed on to the window behind it, does not count for the window.
    moveOver(&window, QPointF(10, 10));
    EXPECT_EQ(ui::mousePointer(&window), ui::kPointerCustom);
    moveOver(&window, QPointF(150, 150));
    EXPECT_EQ(ui::mousePointer(&window), ui::kPointerDefault);
    ui::setMousePointer(&window, ui::kPointerBusy);
    moveOver(button);
    moveOver(edit);
    EXPECT_EQ(ui::mousePointer(&window), ui::kPointerBusy);
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    // Busy shows over text fields too; afterwards they get their text pointer back.
    EXPECT_FALSE(edit->testAttribute(Qt::WA_SetCursor));
    ui::setMousePointer(&window, ui::kPointerBusy);
    ui::setMousePointer(&window, ui::kPointerDefault);
    EXPECT_EQ(edit->cursor().shape(), Qt::IBeamCursor);
    ui::setMousePointer(&window, ui::kPointerCustom);
    EXPECT_EQ(edit->cursor().shape(), Qt::IBeamCursor);
    EXPECT_FALSE(button->testAttribute(Qt::WA_SetCursor));
}

TEST_F(WindowHelpersTest, HandPointerComesFromTheCursorFileWithItsHotSpot) {
    QWidget window;
    EXPECT_FALSE(ui::handPointerFileExists());
    writeProgramFile("HAND-M.CUR", cursorFile(7, 3));
    ASSERT_TRUE(ui::handPointerFileExists());
    ui::loadHandPointer(&window);
    ui::setMousePointer(&window, ui::kPointerCustom);
    EXPECT_EQ(window.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(window.cursor().hotSpot(), QPoint(7, 3));
    EXPECT_EQ(window.cursor().pixmap().size(), QSize(32, 32));
}

TEST_F(WindowHelpersTest, DamagedCursorFileThrowsAndLeavesThePointerAlone) {
    QWidget window;
    writeProgramFile("HAND-M.CUR", "not a cursor at all");
    EXPECT_THROW(ui::loadHandPointer(&window), std::runtime_error);
    ui::setMousePointer(&window, ui::kPointerCustom);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(WindowHelpersTest, FocusSelectsTheWholeText) {
    QWidget window;
    auto* first = new QLineEdit("one", &window);
    auto* second = new QLineEdit("two words", &window);
    new QVBoxLayout(&window);
    window.layout()->addWidget(first);
    window.layout()->addWidget(second);
    ui::selectAllOnFocus(second);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    second->setCursorPosition(2);
    second->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(second->selectedText(), "two words");
    first->setFocus();
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::qWait(10);
    EXPECT_EQ(second->selectedText(), "two words");
    EXPECT_EQ(second->selectionStart(), 0);
}

}  // namespace
