// The connection window without a database: controls, captions, order, the field store, the
// browse dialog, the sample, help, and the commands' failure paths.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTimer>

#include "tests/app/form1_fixture.h"
#include "ui/settings.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"

namespace form1test {
namespace {

QStringList labelsOf(QWidget* parent) {
    QStringList out;
    for (QLabel* l : parent->findChildren<QLabel*>())
        out << l->text();
    return out;
}

TEST_F(Form1Test, ControlsCaptionsAndGroups) {
    make();
    EXPECT_EQ(form->windowTitle(), "Dunmorrow");
    auto* frame1 = form->findChild<QGroupBox*>("Frame1");
    auto* frame2 = form->findChild<QGroupBox*>("Frame2");
    ASSERT_TRUE(frame1 && frame2);
    EXPECT_EQ(frame1->title(), "MySQL Login");
    EXPECT_EQ(frame2->title(), "Access Database");
    EXPECT_EQ(labelsOf(frame1),
              (QStringList{"Server:", "Port:", "Username:", "Password:", "Database:"}));
    EXPECT_EQ(labelsOf(frame2), (QStringList{"MDB or ACCDB File:", "Password (if required):"}));
    for (const char* name : {"Text1", "Text7", "Text2", "Text3", "Text4"})
        EXPECT_EQ(text(name)->parentWidget(), frame1) << name;
    for (const char* name : {"Text5", "Text6"})
        EXPECT_EQ(text(name)->parentWidget(), frame2);
    const std::pair<const char*, const char*> buttons[] = {
        {"PushButton1", "..."},
        {"PushButton2", "Next >"},
        {"PushButton3", "Test Connection"},
        {"PushButton4", "Help"},
        {"PushButton7", "Load Sample/Example Database"}};
    for (const auto& [name, caption] : buttons) {
        ASSERT_TRUE(button(name)) << name;
        EXPECT_EQ(button(name)->text(), caption);
    }
    EXPECT_EQ(button("PushButton3")->parentWidget(), frame1);
    EXPECT_EQ(button("PushButton1")->parentWidget(), frame2);
    EXPECT_EQ(button("PushButton2")->parentWidget(), form.get());
}

TEST_F(Form1Test, TabOrderWalksTheMySqlLoginFirst) {
    make();
    QStringList order;
    QWidget* w = text("Text1");
    do {
        if (w->focusPolicy() & Qt::TabFocus && w->objectName().startsWith("Text"))
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != text("Text1"));
    EXPECT_EQ(order, (QStringList{"Text1", "Text7", "Text2", "Text3", "Text4", "Text5", "Text6"}));
}

TEST_F(Form1Test, PasswordsAreMaskedWithStars) {
    make();
    for (const char* name : {"Text3", "Text6"}) {
        QLineEdit* field = text(name);
        EXPECT_EQ(field->echoMode(), QLineEdit::Password);
        QStyleOptionFrame opt;
        opt.initFrom(field);
        EXPECT_EQ(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, &opt, field),
                  '*');
    }
    for (const char* name : {"Text1", "Text2", "Text4", "Text5", "Text7"})
        EXPECT_EQ(text(name)->echoMode(), QLineEdit::Normal) << name;
}

TEST_F(Form1Test, FirstStartShowsTheDefaultsAndWritesBackOnlyWhatChanged) {
    ASSERT_TRUE(start());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(text("Text1")->text(), "localhost");
    EXPECT_EQ(text("Text7")->text(), "3306");
    for (const char* name : {"Text2", "Text3", "Text4", "Text5", "Text6"})
        EXPECT_EQ(text(name)->text(), "") << name;
    QSettings s(ui::settingsFilePath(), QSettings::IniFormat);
    s.beginGroup("Dunmorrow");
    EXPECT_EQ(s.childKeys(), (QStringList{"Port", "Server"}));
    EXPECT_TRUE(browser.calls.empty());
}

TEST_F(Form1Test, TypingSavesAtOnceAndARestartRestoresEveryField) {
    const QString port = QString::number(closedLocalPort());
    const std::pair<const char*, QString> typed[] = {
        {"Text1", "127.0.0.1"},  {"Text7", port},
        {"Text2", "ann o'neil"}, {"Text3", "p;a}s{s=w,o\"rd "},
        {"Text4", "shop"},       {"Text5", qpath(dir.path() / "no such file.accdb")},
        {"Text6", "Test123;x"}};
    const QString keys[] = {"Server",   "Port",          "User",          "Password",
                            "Database", "AccessMDBFile", "AccessPassword"};
    ASSERT_TRUE(start());
    for (std::size_t i = 0; i < std::size(typed); ++i) {
        QLineEdit* field = text(typed[i].first);
        field->clear();
        QTest::keyClicks(field, typed[i].second.left(3));
        EXPECT_EQ(ui::getSetting(keys[i], "?"), typed[i].second.left(3));  // every keystroke
        QTest::keyClicks(field, typed[i].second.mid(3));
        EXPECT_EQ(ui::getSetting(keys[i], "?"), typed[i].second);
    }
    form.reset();
    ASSERT_TRUE(start());
    for (const auto& [name, value] : typed)
        EXPECT_EQ(text(name)->text(), value) << name;
}

TEST_F(Form1Test, AClearedServerStaysEmptyAfterARestart) {
    ASSERT_TRUE(start());
    text("Text1")->selectAll();
    QTest::keyClick(text("Text1"), Qt::Key_Delete);
    EXPECT_EQ(ui::getSetting("Server", "default"), "");
    form.reset();
    ASSERT_TRUE(start());
    EXPECT_EQ(text("Text1")->text(), "");
}

TEST_F(Form1Test, EveryFieldSelectsItsTextOnFocus) {
    make();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (const char* name : {"Text1", "Text7", "Text2", "Text3", "Text4", "Text5", "Text6"}) {
        button("PushButton2")->setFocus();
        text(name)->setText(QString(name) + " value");
        text(name)->setCursorPosition(1);
        text(name)->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(text(name)->selectionStart(), 0) << name;
        EXPECT_EQ(text(name)->selectionLength(), text(name)->text().size()) << name;
    }
}

TEST_F(Form1Test, HoverGivesTheHandOverButtonsAndTheArrowOverFieldsAndFrames) {
    make();
    form->show();
    // The bottom right corner of a control, inside its border, where no child lies.
    auto move = [](QWidget* w) {
        const QPointF at(w->width() - 3, w->height() - 3);
        QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    for (const char* b :
         {"PushButton1", "PushButton2", "PushButton3", "PushButton4", "PushButton7"}) {
        move(text("Text1"));
        EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
        move(button(b));
        EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerCustom) << b;
    }
    move(form->findChild<QGroupBox*>("Frame2"));
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
    move(button("PushButton7"));
    move(form.get());
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
}

TEST_F(Form1Test, BrowseAsksWithItsTitleAndFilterAndCancelLeavesTheField) {
    make();
    text("Text5")->setText("/kept/shop.mdb");
    prompts.queueFile("");
    form->pushButton1Click();
    ASSERT_EQ(prompts.records().size(), 1u);
    const ui::FileDialogRequest& asked = prompts.records()[0].file;
    EXPECT_EQ(prompts.records()[0].kind, ui::ScriptedPrompts::Record::OpenFile);
    EXPECT_EQ(asked.title, "Select Access Database");
    EXPECT_EQ(asked.filter,
              "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
              "Microsoft 2007 Database (*.accdb)|*.accdb|");
    EXPECT_EQ(asked.flags, 0x280001u);
    EXPECT_EQ(asked.fileName, "");
    EXPECT_EQ(text("Text5")->text(), "/kept/shop.mdb");
    EXPECT_EQ(ui::getSetting("AccessMDBFile"), "/kept/shop.mdb");

    prompts.queueFile("/data/Orders 2024.ACCDB");
    form->pushButton1Click();
    EXPECT_EQ(text("Text5")->text(), "/data/Orders 2024.ACCDB");
    EXPECT_EQ(ui::getSetting("AccessMDBFile"), "/data/Orders 2024.ACCDB");
}

TEST_F(Form1Test, ALongBrowsedPathShowsFromItsStartWithTheWholePathAsToolTip) {
    ASSERT_TRUE(start());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const QString path = QStringLiteral(
        "/home/someone/Documents/Customers and suppliers/2024/Quarterly figures/Orders.accdb");
    prompts.queueFile(path);
    form->pushButton1Click();
    EXPECT_EQ(text("Text5")->text(), path);
    EXPECT_EQ(text("Text5")->cursorPosition(), 0);
    EXPECT_EQ(text("Text5")->toolTip(), path);
    button("PushButton7")->click();
    EXPECT_EQ(text("Text5")->cursorPosition(), 0);
    EXPECT_EQ(text("Text5")->toolTip(), qpath(programDir()) + "/Samples/sample.mdb");
    // The path restored at the next start too.
    form.reset();
    ASSERT_TRUE(start());
    EXPECT_EQ(text("Text5")->cursorPosition(), 0);
    EXPECT_EQ(text("Text5")->toolTip(), qpath(programDir()) + "/Samples/sample.mdb");
}

TEST_F(Form1Test, TheWindowOpensAtTheSizeTheUserGaveItLastTime) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QSize first = form->size();
    const int fieldWidth = text("Text5")->width();
    const int nextTop = button("PushButton2")->y();
    form->resize(first + QSize(200, 100));
    QApplication::processEvents();
    EXPECT_EQ(text("Text5")->width(), fieldWidth + 200);  // the fields take the width
    EXPECT_EQ(button("PushButton2")->y(), nextTop);       // the controls stay together
    form->hide();
    form.reset();
    EXPECT_EQ(ui::getSetting(ui::kKeyForm1Size), ui::windowSizeText(first + QSize(200, 100)));
    ASSERT_TRUE(start());
    EXPECT_EQ(form->size(), first + QSize(200, 100));
}

TEST_F(Form1Test, SampleButtonNamesTheSampleBesideTheProgramAndKeepsThePassword) {
    make();
    text("Text6")->setText("secret");
    button("PushButton7")->click();
    EXPECT_EQ(text("Text5")->text(), qpath(programDir()) + "/Samples/sample.mdb");
    EXPECT_EQ(ui::getSetting("AccessMDBFile"), qpath(programDir()) + "/Samples/sample.mdb");
    EXPECT_EQ(text("Text6")->text(), "secret");
}

TEST_F(Form1Test, HelpShowsItsTwoParagraphs) {
    make();
    button("PushButton4")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    const auto boxes = prompts.messages();
    const auto& box = boxes[0];
    EXPECT_EQ(box.text,
              "If you are having trouble connecting, make sure you are entering the correct login "
              "information. Please try logging in with MySQL Query Browser, which is an official "
              "admin tool from https://www.mysql.example.com/. By using MySQL Query Browser, you "
              "will establish if the problem exists with your login information (likely) or this "
              "software.\r\n\r\nIf you do not want to install MySQL locally on your computer, you "
              "can get a MySQL remote login from https://free-mysql-hosting.example.com/");
    EXPECT_EQ(box.title, "Dunmorrow");
    EXPECT_EQ(box.buttons, ui::Buttons::Ok);
    EXPECT_EQ(box.icon, ui::Icon::None);
}

TEST_F(Form1Test, NextWithAnEmptyServerEndsSilently) {
    make();
    text("Text5")->setText(existingFile());
    button("PushButton2")->click();
    EXPECT_TRUE(prompts.records().empty());
    EXPECT_TRUE(browser.calls.empty());
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
}

TEST_F(Form1Test, NextWithoutTheEngineReportsStep104AndEnds) {
    make();
    text("Text1")->setText("127.0.0.1");
    text("Text5")->setText(existingFile());
    db::setAccessEngineStarter(engineMissing);
    form->pushButton2Click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              "Provider cannot be found. It may not be properly installed.\r\n"
              "in Quillfen2021/08/31.Form1.PushButton2_Click at line 104" +
                  kReportTail);
    EXPECT_TRUE(browser.calls.empty());
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
}

TEST_F(Form1Test, TestConnectionWithoutTheEngineReportsStep100ThenCannotConnect) {
    make();
    db::setAccessEngineStarter(engineMissing);
    button("PushButton3")->click();
    const auto boxes = prompts.messages();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text,
              "Provider cannot be found. It may not be properly installed.\r\n"
              "in Quillfen2021/08/31.Form1.PushButton3_Click at line 100" +
                  kReportTail);
    EXPECT_EQ(boxes[0].title, "Application Error");
    EXPECT_EQ(boxes[1].text,
              "Could not connect. Please check with your administrator. Make sure you are allowed "
              "to connect to your database remotely and not just through web-based control "
              "panels.");
    EXPECT_EQ(boxes[1].title, "Dunmorrow");
    EXPECT_EQ(boxes[1].icon, ui::Icon::Exclamation);  // as the error report's
    EXPECT_EQ(ui::mousePointer(form.get()), ui::kPointerDefault);
}

TEST_F(Form1Test, ClosingTheWindowEndsTheProgram) {
    make();
    form->show();
    QWidget other;
    other.show();
    QTimer::singleShot(0, form.get(), [this] { form->close(); });
    // A guard in case the close does not end the event loop.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(other.isVisible());
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace form1test
