// What every window shares beyond its own controls: growing with the window, remembering the
// size the user gave it, message boxes wide enough for their titles, the same icon on every
// error box, the save dialog's extension from the chosen filter, and path fields that show a
// long path from its start.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include "tests/support/gui_fixture.h"
#include "ui/command.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/prompt_service.h"
#include "ui/settings.h"
#include "ui/stretch_layout.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"

namespace {

// ---- growing with the window ----

TEST(StretchLayout, ControlsKeepTheirPlaceAtTheDesignedSizeAndGrowByTheirShares) {
    const QRect list(10, 20, 200, 100);
    EXPECT_EQ(ui::grownRect(list, {0, 0, 0.5, 1}, QSize(0, 0)), list);
    // Smaller than designed counts as designed.
    EXPECT_EQ(ui::grownRect(list, {0, 0, 0.5, 1}, QSize(-40, -30)), list);
    EXPECT_EQ(ui::grownRect(list, {0, 0, 0.5, 1}, QSize(100, 60)), QRect(10, 20, 250, 160));
    // A row below the list moves down with it and keeps its height.
    EXPECT_EQ(ui::grownRect(QRect(10, 130, 200, 27), {0, 1, 0.5, 0}, QSize(100, 60)),
              QRect(10, 190, 250, 27));
}

TEST(StretchLayout, NeighboursThatMeetAtTheDesignedSizeStillMeetWhenGrownByAnOddAmount) {
    // Two buttons side by side: the left takes half the extra width, the right moves by half.
    const QRect left(8, 0, 256, 27);
    const QRect right(264, 0, 256, 27);
    for (int extra = 0; extra < 40; ++extra) {
        const QRect a = ui::grownRect(left, {0, 0, 0.5, 0}, QSize(extra, 0));
        const QRect b = ui::grownRect(right, {0.5, 0, 0.5, 0}, QSize(extra, 0));
        EXPECT_EQ(a.x() + a.width(), b.x()) << extra;
        EXPECT_EQ(b.x() + b.width(), right.x() + right.width() + extra) << extra;
    }
}

TEST(StretchLayout, ApplyPlacesEveryControlAndForgetsOnesThatAreGone) {
    QWidget window;
    auto* grows = new QWidget(&window);
    auto* stays = new QWidget(&window);
    ui::StretchLayout layout;
    layout.add(grows, QRect(0, 0, 100, 50), {0, 0, 1, 1});
    layout.add(stays, QRect(0, 60, 100, 20), {0, 1, 0, 0});
    EXPECT_EQ(grows->geometry(), QRect(0, 0, 100, 50));  // placed as designed when added
    layout.apply(QSize(30, 40));
    EXPECT_EQ(grows->geometry(), QRect(0, 0, 130, 90));
    EXPECT_EQ(stays->geometry(), QRect(0, 100, 100, 20));
    delete grows;
    layout.apply(QSize(0, 0));
    EXPECT_EQ(stays->geometry(), QRect(0, 60, 100, 20));
}

// ---- remembered sizes ----

TEST(WindowSizeText, RoundTripsAndRefusesAnythingElse) {
    EXPECT_EQ(ui::windowSizeText(QSize(640, 480)), "640x480");
    EXPECT_EQ(ui::parseWindowSize("640x480"), QSize(640, 480));
    for (const char* bad : {"", "640", "640x", "x480", "0x480", "640x0", "-640x480", "640 x 480",
                            "640x480x2", "1e3x480", "999999x480"})
        EXPECT_FALSE(ui::parseWindowSize(bad).has_value()) << bad;
}

TEST(WindowSizeText, RestoringStaysWithinTheMinimumAndTheScreen) {
    const QSize minimum(536, 703);
    EXPECT_EQ(ui::restoredWindowSize(QSize(800, 900), minimum, QSize()), QSize(800, 900));
    EXPECT_EQ(ui::restoredWindowSize(QSize(100, 100), minimum, QSize()), minimum);
    EXPECT_EQ(ui::restoredWindowSize(QSize(3000, 2000), minimum, QSize(1280, 1000)),
              QSize(1280, 1000));
    // A screen smaller than the minimum: the minimum wins, so no control is cut.
    EXPECT_EQ(ui::restoredWindowSize(QSize(3000, 2000), minimum, QSize(1024, 600)),
              QSize(1024, 703));
}

class WindowSizeTest : public testenv::GuiTest {};

TEST_F(WindowSizeTest, TheSizeTheUserGivesIsStoredAndTheNextWindowOpensAtIt) {
    const QString key = QStringLiteral("Test Window Size");
    {
        QWidget window;
        window.setMinimumSize(300, 200);
        window.resize(300, 200);
        auto* memory = new ui::WindowSizeMemory(&window, key);
        EXPECT_FALSE(memory->restore());  // nothing stored yet
        EXPECT_EQ(window.size(), QSize(300, 200));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_FALSE(memory->userSized());
        {
            // The window's own resizes are not the user's.
            const ui::WindowSizeMemory::ProgramResize own(*memory);
            window.resize(320, 210);
        }
        window.hide();
        EXPECT_EQ(ui::getSetting(key, "none"), "none");
        window.show();
        window.resize(420, 260);  // as a user's drag ends
        EXPECT_TRUE(memory->userSized());
        window.hide();  // written at the latest now
        EXPECT_EQ(ui::getSetting(key), "420x260");
    }
    QWidget next;
    next.setMinimumSize(300, 200);
    auto* memory = new ui::WindowSizeMemory(&next, key);
    EXPECT_TRUE(memory->restore());
    EXPECT_EQ(next.size(), QSize(420, 260));
    EXPECT_TRUE(memory->userSized());

    // A stored size smaller than the window allows, or one that is not a size, changes nothing
    // for the worse.
    ui::saveSetting(key, "10x10");
    QWidget small;
    small.setMinimumSize(300, 200);
    EXPECT_TRUE((new ui::WindowSizeMemory(&small, key))->restore());
    EXPECT_EQ(small.size(), QSize(300, 200));
    ui::saveSetting(key, "wide");
    QWidget odd;
    odd.resize(333, 222);
    EXPECT_FALSE((new ui::WindowSizeMemory(&odd, key))->restore());
    EXPECT_EQ(odd.size(), QSize(333, 222));
}

TEST_F(WindowSizeTest, ASizeIsWrittenOnceTheUserStopsChangingIt) {
    const QString key = QStringLiteral("Settling Size");
    QWidget window;
    window.resize(300, 200);
    new ui::WindowSizeMemory(&window, key);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int w = 310; w <= 350; w += 10)
        window.resize(w, 200);
    EXPECT_EQ(ui::getSetting(key, "none"), "none");  // not at every step of a drag
    QTRY_COMPARE(ui::getSetting(key, "none"), QStringLiteral("350x200"));
}

// ---- message boxes ----

TEST_F(WindowSizeTest, AMessageBoxIsWideEnoughForItsWholeTitle) {
    const QString title = QStringLiteral("A title far longer than the two words of its text");
    auto box = ui::createMessageBox({QStringLiteral("Done."), title}, nullptr);
    const int width = ui::titleBarWidth(title, QApplication::font("QMdiSubWindowTitleBar"),
                                        box->screen()->logicalDotsPerInch());
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    EXPECT_GE(box->width(), width);
    EXPECT_GT(width,
              QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(title));
    EXPECT_EQ(box->windowTitle(), title);
    EXPECT_EQ(box->text(), "Done.");
}

TEST_F(WindowSizeTest, AQuestionCanMakeNoItsDefaultButton) {
    ui::MessageRequest question{QStringLiteral("Delete?"), QStringLiteral("Delete?"),
                                ui::Buttons::YesNo, ui::Icon::None};
    auto plain = ui::createMessageBox(question, nullptr);
    EXPECT_NE(plain->defaultButton(), plain->button(QMessageBox::No));
    question.defaultButton = ui::Answer::No;
    auto careful = ui::createMessageBox(question, nullptr);
    EXPECT_EQ(careful->defaultButton(), careful->button(QMessageBox::No));
    EXPECT_EQ(careful->icon(), QMessageBox::NoIcon);
}

TEST_F(WindowSizeTest, EveryErrorBoxShowsTheIconOfTheErrorReport) {
    ui::reportProblem(QStringLiteral("Transfer problem. See Notes."));
    ui::reportCommandError(QStringLiteral("Broken."), QStringLiteral("in here "), 100);
    const auto boxes = prompts.messages();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(boxes[0].icon, boxes[1].icon);
    EXPECT_EQ(boxes[0].title, ui::applicationTitle());
    EXPECT_EQ(boxes[0].buttons, ui::Buttons::Ok);
    auto box = ui::createMessageBox(boxes[0], nullptr);
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
}

// ---- the save dialog's extension ----

TEST(FilterExtension, OneExtensionIsNamedOthersAreNot) {
    EXPECT_EQ(ui::filterExtension("Text Files(*.txt) (*.txt)"), "txt");
    EXPECT_EQ(ui::filterExtension("SQL Files(*.sql) (*.sql)"), "sql");
    EXPECT_EQ(ui::filterExtension("All Files (*.*) (*.*)"), "");
    EXPECT_EQ(ui::filterExtension("All Microsoft Databases (*.mdb,*.accdb) (*.*db)"), "");
    EXPECT_EQ(ui::filterExtension("Databases (*.mdb *.accdb)"), "");
    EXPECT_EQ(ui::filterExtension("Nothing"), "");
}

TEST_F(WindowSizeTest, TheSaveDialogAddsTheExtensionOfTheChosenFilter) {
    ui::FileDialogRequest request{
        QStringLiteral("Save List"),
        QStringLiteral("Text Files(*.txt)|*.txt|SQL Files(*.sql)|*.sql|All Files (*.*)|*.*|"),
        {},
        0};
    auto dialog = ui::createFileDialog(request, ui::FileDialogKind::Save, nullptr);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setDirectory(qpath(dir.path()));
    EXPECT_EQ(dialog->defaultSuffix(), "txt");  // the first filter is chosen at the start
    dialog->show();
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    auto choose = [&](int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        emit combo->textActivated(combo->itemText(index));
    };
    choose(1);
    EXPECT_EQ(dialog->defaultSuffix(), "sql");
    dialog->selectFile(QStringLiteral("script"));
    ASSERT_EQ(dialog->selectedFiles().size(), 1);
    EXPECT_EQ(dialog->selectedFiles().first(), qpath(dir.path() / "script.sql"));
    // A name with an extension of its own keeps it.
    dialog->selectFile(QStringLiteral("script.bak"));
    EXPECT_EQ(dialog->selectedFiles().first(), qpath(dir.path() / "script.bak"));
    choose(2);
    EXPECT_EQ(dialog->defaultSuffix(), "");
    dialog->selectFile(QStringLiteral("plain"));
    EXPECT_EQ(dialog->selectedFiles().first(), qpath(dir.path() / "plain"));
}

// ---- path fields ----

TEST_F(WindowSizeTest, APathFieldShowsItsStartAndTheWholePathAsToolTip) {
    QWidget window;
    auto* field = new QLineEdit(&window);
    auto* other = new QLineEdit(&window);
    field->setGeometry(0, 0, 120, 24);
    other->setGeometry(0, 30, 120, 24);
    ui::showPathFromItsStart(field);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    const QString path = QStringLiteral(
        "/home/someone/Documents/Customers and suppliers/2024/Quarterly figures/shop.accdb");
    field->setText(path);  // as the browse dialog puts it there
    EXPECT_EQ(field->cursorPosition(), 0);
    EXPECT_EQ(field->toolTip(), path);
    // Typing is left alone; leaving the field shows the start again.
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, "x");
    EXPECT_EQ(field->cursorPosition(), path.size() + 1);
    EXPECT_EQ(field->toolTip(), path + "x");
    other->setFocus();
    EXPECT_FALSE(field->hasFocus());
    EXPECT_EQ(field->cursorPosition(), 0);
}

}  // namespace
