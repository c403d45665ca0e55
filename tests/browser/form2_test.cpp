// The table browser window without databases: layout in twips, fonts, the height rule, the load
// routine, the remembered check boxes, "Select All", "Deselect All", "Help", "< Back", the
// hover pointers and the end of the program on close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "browser/text_progress_bar.h"
#include "tests/browser/browser_fixture.h"
#include "ui/settings.h"
#include "ui/twips.h"
#include "ui/window_helpers.h"

namespace browsertest {
namespace {

struct Placed {
    const char* name;
    const char* parent;  // nullptr: the window itself
    const char* caption;
    int left, top, width, height;
};

// Positions in twips; inside a frame relative to the frame.
const Placed kLayout[] = {
    {"Frame1", nullptr, "Access Tables", 120, 120, 3840, 5200},
    {"List1", "Frame1", nullptr, 240, 360, 3330, 1635},
    {"PushButton10", "Frame1", "Select All", 240, 2100, 1600, 400},
    {"PushButton11", "Frame1", "Deselect All", 1960, 2100, 1600, 400},
    {"PushButton3", "Frame1", "Send Table/s To MySQL", 240, 2600, 3330, 405},
    {"Check15", "Frame1", "Send with data type customization", 240, 3100, 3330, 405},
    {"Check17", "Frame1", "Send keys and indexes", 240, 3600, 3330, 405},
    {"PushButton1", "Frame1", "Delete Table/s", 240, 4100, 3330, 405},
    {"PushButton6", "Frame1", "Rename Table", 240, 4600, 3330, 405},
    {"Frame2", nullptr, "MySQL Tables", 4080, 120, 3840, 5200},
    {"List2", "Frame2", nullptr, 240, 360, 3330, 1635},
    {"PushButton8", "Frame2", "Select All", 240, 2100, 1600, 400},
    {"PushButton9", "Frame2", "Deselect All", 1960, 2100, 1600, 400},
    {"PushButton4", "Frame2", "Send Table/s To Access", 240, 2600, 3330, 405},
    {"Check16", "Frame2", "Send with data type customization", 240, 3100, 3330, 405},
    {"Check18", "Frame2", "Send keys and indexes", 240, 3600, 3330, 405},
    {"PushButton5", "Frame2", "Delete Table/s", 240, 4100, 3330, 405},
    {"PushButton7", "Frame2", "Rename Table", 240, 4600, 3330, 405},
    {"ProgressBar1", nullptr, nullptr, 120, 5440, 7800, 405},
    {"PushButton2", nullptr, "< Back", 120, 5960, 3840, 405},
    {"PushButton12", nullptr, "Help", 4080, 5960, 3840, 405},
};

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return {};
}

class Form2Test : public BrowserTest {
  protected:
    // A new program run: the window is made and loaded again from the settings store.
    void restart() {
        handoff.reset();
        form();
    }
    void moveOver(QWidget* w) {
        const QPointF at(w->width() - 3, w->height() - 3);
        QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
};

TEST_F(Form2Test, ControlsSitWhereTheDesignerPutThemWithTheirCaptions) {
    browser::Form2& f = form();
    const ui::Twips tw(&f);
    for (const Placed& p : kLayout) {
        auto* w = f.findChild<QWidget*>(p.name);
        ASSERT_NE(w, nullptr) << p.name;
        QWidget* parent = p.parent ? f.findChild<QWidget*>(p.parent) : &f;
        EXPECT_EQ(w->parentWidget(), parent) << p.name;
        EXPECT_EQ(w->geometry(), tw.rect(p.left, p.top, p.width, p.height)) << p.name;
        if (p.caption) {
            EXPECT_EQ(captionOf(w), p.caption) << p.name;
        }
    }
    EXPECT_EQ(f.width(), tw(8040));
    EXPECT_EQ(f.windowTitle(), "Dunmorrow");
    EXPECT_FALSE(f.windowIcon().isNull());
    // Twelve command buttons, no more.
    EXPECT_EQ(f.findChildren<QPushButton*>().size(), 12);
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(Form2Test, TwipsArePixelsAtFifteenToOneOnA96DpiScreen) {
    browser::Form2& f = form();
    const double dpi = f.screen()->logicalDotsPerInch();
    const ui::Twips tw(&f);
    EXPECT_EQ(tw(8040), static_cast<int>(std::lround(8040 * dpi / 1440.0)));
    if (dpi == 96.0) {
        EXPECT_EQ(f.width(), 536);
        EXPECT_EQ(button("PushButton2")->geometry(), QRect(8, 397, 256, 27));
    }
}

TEST_F(Form2Test, TextIsArialBoldNineAndButtonsArialBoldElevenAndAQuarter) {
    browser::Form2& f = form();
    for (const char* n :
         {"Frame1", "Frame2", "List1", "List2", "Check15", "Check16", "Check17", "Check18"}) {
        const QFont font = f.findChild<QWidget*>(n)->font();
        EXPECT_EQ(font.family(), "Arial") << n;
        EXPECT_TRUE(font.bold()) << n;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.0) << n;
    }
    for (QPushButton* b : f.findChildren<QPushButton*>()) {
        EXPECT_EQ(b->font().family(), "Arial") << b->objectName().toStdString();
        EXPECT_TRUE(b->font().bold());
        EXPECT_DOUBLE_EQ(b->font().pointSizeF(), 11.25);
    }
    // Arial is metric-compatible Liberation Sans on this system.
    EXPECT_EQ(QFontInfo(button("PushButton1")->font()).family(), "Liberation Sans");
}

TEST_F(Form2Test, TheOuterHeightIsTheBottomOfBackPlus580Twips) {
    browser::Form2& f = form();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const ui::Twips tw(&f);
    EXPECT_EQ(f.frameGeometry().height(), tw(5960 + 405 + 580));
    // The room below "< Back" holds the whole button.
    EXPECT_GT(f.height(), button("PushButton2")->geometry().bottom());
}

TEST_F(Form2Test, TheProgressBarRunsFrom0To100AndShowsTheTextItIsGiven) {
    browser::Form2& f = form();
    browser::TextProgressBar* bar = f.progressBar1();
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(f.progressText(), "Progress Bar");
    EXPECT_EQ(bar->text(), "Progress Bar");
    bar->setValue(40);
    f.setProgressText("Sending %p of 100%% %v");
    EXPECT_EQ(bar->text(), "Sending %p of 100%% %v");  // no placeholders: the text as given
    EXPECT_EQ(f.progressText(), "Sending %p of 100%% %v");
    EXPECT_EQ(bar->value(), 40);
}

TEST_F(Form2Test, WithoutStoredSettingsBothBoxesStartClearAndNothingIsWritten) {
    form();
    EXPECT_FALSE(form().check15()->isChecked());
    EXPECT_FALSE(form().check16()->isChecked());
    EXPECT_EQ(ui::getSetting("With Data Type Change 1", "absent"), "absent");
    EXPECT_EQ(ui::getSetting("With Data Type Change 2", "absent"), "absent");
}

TEST_F(Form2Test, ACheckedBoxIsRememberedAcrossARestart) {
    QTest::mouseClick(form().check16(), Qt::LeftButton);
    ASSERT_TRUE(form().check16()->isChecked());
    EXPECT_EQ(ui::getSetting("With Data Type Change 2"), "1");
    EXPECT_EQ(ui::getSetting("With Data Type Change 1", "absent"), "absent");
    restart();
    EXPECT_TRUE(form().check16()->isChecked());
    EXPECT_FALSE(form().check15()->isChecked());
    QTest::mouseClick(form().check16(), Qt::LeftButton);
    EXPECT_EQ(ui::getSetting("With Data Type Change 2"), "0");
    restart();
    EXPECT_FALSE(form().check16()->isChecked());
}

TEST_F(Form2Test, OnlyTheExactText0ClearsABoxAndAnythingElseTicksItAndIsRewritten1) {
    struct Case {
        QString stored;
        bool checked;
        QString after;
    };
    for (const Case& c : {Case{"0", false, "0"}, Case{"yes", true, "1"}, Case{"2", true, "1"},
                          Case{"", true, "1"}, Case{" 0", true, "1"}, Case{"1", true, "1"}}) {
        ui::saveSetting("With Data Type Change 1", c.stored);
        ui::saveSetting("With Data Type Change 2", c.stored);
        restart();
        EXPECT_EQ(form().check15()->isChecked(), c.checked) << c.stored.toStdString();
        EXPECT_EQ(form().check16()->isChecked(), c.checked) << c.stored.toStdString();
        EXPECT_EQ(ui::getSetting("With Data Type Change 1"), c.after) << c.stored.toStdString();
        EXPECT_EQ(ui::getSetting("With Data Type Change 2"), c.after) << c.stored.toStdString();
    }
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(Form2Test, SelectAllAndDeselectAllMarkEveryItemAndLeaveTheCurrentOne) {
    for (const char* n : {"c", "a", "b"}) {
        list1()->addItem(n);
        list2()->addItem(n);
    }
    list1()->setListIndex(1);
    button("PushButton10")->click();
    EXPECT_EQ(list1()->selectedCount(), 3);
    EXPECT_EQ(list1()->listIndex(), 1);
    EXPECT_EQ(list2()->selectedCount(), 0);  // the other side is untouched
    button("PushButton8")->click();
    EXPECT_EQ(list2()->selectedCount(), 3);
    // A list without a current item gets its first, so that the selection counts.
    EXPECT_EQ(list2()->listIndex(), 0);
    button("PushButton11")->click();
    EXPECT_EQ(list1()->selectedCount(), 0);
    EXPECT_EQ(list1()->listIndex(), 1);
    EXPECT_EQ(list2()->selectedCount(), 3);
    button("PushButton9")->click();
    EXPECT_EQ(list2()->selectedCount(), 0);
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(Form2Test, SelectAllOnAnEmptyListDoesNothingAndShowsNothing) {
    for (const char* b : {"PushButton10", "PushButton11", "PushButton8", "PushButton9"})
        button(b)->click();
    EXPECT_EQ(list1()->count(), 0);
    EXPECT_EQ(list2()->count(), 0);
    EXPECT_EQ(list1()->listIndex(), -1);
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(Form2Test, HelpNamesTheContactAddressInAnOkBoxWithTheApplicationTitle) {
    button("PushButton12")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    const ui::MessageRequest m = prompts.messages()[0];
    EXPECT_EQ(m.text,
              "Questions? Please contact Team Kestrelane at "
              "https://www.dunmorrow.example.com/contact");
    EXPECT_EQ(m.title, "Dunmorrow");
    EXPECT_EQ(m.buttons, ui::Buttons::Ok);
    EXPECT_EQ(m.icon, ui::Icon::None);
}

TEST_F(Form2Test, BackShowsTheConnectionWindowHidesThisOneAndKeepsTheLists) {
    QWidget form1;
    ui::setConnectionWindow(&form1);
    list1()->addItem("Orders");
    list2()->addItem("orders");
    list2()->setItemSelected(0, true);
    form().show();
    button("PushButton2")->click();
    ui::setConnectionWindow(nullptr);
    EXPECT_TRUE(form1.isVisible());
    EXPECT_FALSE(form().isVisible());
    EXPECT_EQ(names(list1()), QStringList{"Orders"});
    EXPECT_EQ(names(list2()), QStringList{"orders"});
    EXPECT_TRUE(list2()->isItemSelected(0));
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(Form2Test, HoverGivesTheHandOverEveryButtonAndTheArrowOverListsAndFrames) {
    browser::Form2& f = form();
    f.show();
    const auto buttons = f.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 12);
    for (QPushButton* b : buttons) {
        moveOver(list1());
        EXPECT_EQ(ui::mousePointer(&f), ui::kPointerDefault);
        moveOver(b);
        EXPECT_EQ(ui::mousePointer(&f), ui::kPointerCustom) << b->objectName().toStdString();
    }
    for (const char* other : {"Frame1", "Frame2", "List2"}) {
        moveOver(button("PushButton12"));
        moveOver(f.findChild<QWidget*>(other));
        EXPECT_EQ(ui::mousePointer(&f), ui::kPointerDefault) << other;
    }
    // A busy window keeps its hourglass whatever the mouse passes over.
    ui::setMousePointer(&f, ui::kPointerBusy);
    moveOver(button("PushButton1"));
    moveOver(list2());
    EXPECT_EQ(ui::mousePointer(&f), ui::kPointerBusy);
}

TEST_F(Form2Test, ADamagedPointerFileIsReportedAtStep108AndTheLoadGoesOn) {
    { std::ofstream(programDir() / "HAND-M.CUR") << "not a pointer"; }
    ui::saveSetting("With Data Type Change 1", "1");
    form();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(prompts.messages()[0].text.endsWith(
        "\r\nin Quillfen2021/08/31.Form2.Form_Load at line 108" + kReportTail))
        << prompts.messages()[0].text.toStdString();
    EXPECT_EQ(prompts.messages()[0].title, "Application Error");
    EXPECT_EQ(form().windowTitle(), "Dunmorrow");  // step 110 ran
    EXPECT_TRUE(form().check15()->isChecked());    // and so did 112
}

TEST_F(Form2Test, ClosingTheBrowserEndsTheProgramThoughTheConnectionWindowExists) {
    QWidget form1;
    ui::setConnectionWindow(&form1);
    form().show();
    form1.show();
    QTimer::singleShot(0, &form(), [this] { form().close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    ui::setConnectionWindow(nullptr);
    EXPECT_FALSE(form().isVisible());
    EXPECT_FALSE(form1.isVisible());
}

}  // namespace
}  // namespace browsertest
