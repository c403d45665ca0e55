// The application title cut, the filter translation and the Qt file dialogs made from requests.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QListView>
#include <QSignalSpy>
#include <QTest>

#include "tests/support/gui_fixture.h"
#include "ui/app_title.h"
#include "ui/file_dialog.h"
#include "ui/prompt_service.h"

namespace {

TEST(ApplicationTitle, CutBeforeTheLastSpaceAtLeastOnce) {
    EXPECT_EQ(ui::deriveApplicationTitle("Dunmorrow Table Copier"), "Dunmorrow Table");
    EXPECT_EQ(ui::deriveApplicationTitle("Dunmorrow "), "Dunmorrow");
    // Cut again while longer than 40 characters.
    EXPECT_EQ(ui::deriveApplicationTitle(
                  "Dunmorrow copies tables between Access and MySQL in both directions"),
              "Dunmorrow copies tables between Access");
    // Exactly 40 characters are short enough; 41 are cut once more.
    EXPECT_EQ(ui::deriveApplicationTitle("aaaaaaaaaaaaaaaaaaaa bbbbbbbbbbbbbbbbbbb c d"),
              "aaaaaaaaaaaaaaaaaaaa bbbbbbbbbbbbbbbbbbb");
    EXPECT_EQ(ui::deriveApplicationTitle("aaaaaaaaaaaaaaaaaaaa bbbbbbbbbbbbbbbbbbbb c"),
              "aaaaaaaaaaaaaaaaaaaa");
}

TEST(ApplicationTitle, ANameWithoutSpaceIsKeptWholeEvenWhenLong) {
    EXPECT_EQ(ui::deriveApplicationTitle("Dunmorrow"), "Dunmorrow");
    const QString longWord(50, 'x');
    EXPECT_EQ(ui::deriveApplicationTitle(longWord), longWord);
    EXPECT_EQ(ui::deriveApplicationTitle(longWord + " tail"), longWord);
}

class PromptTest : public testenv::GuiTest {};

TEST_F(PromptTest, InformUsesTheApplicationTitleOkAndNoIcon) {
    ui::setApplicationTitle("Dunmorrow Table Copier");
    ui::inform("Please select a table");
    ui::setApplicationTitle();
    ui::inform("again");
    const auto boxes = prompts.messages();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Dunmorrow Table");
    EXPECT_EQ(boxes[0].text, "Please select a table");
    EXPECT_EQ(boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(boxes[0].icon, ui::Icon::None);
    EXPECT_EQ(boxes[1].title, "Dunmorrow");
}

TEST(FilterTranslation, PipePairsBecomeQtFilters) {
    EXPECT_EQ(ui::qtFilterFromPipes("All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft "
                                    "Database (*.mdb)|*.mdb|Microsoft 2007 Database "
                                    "(*.accdb)|*.accdb|"),
              "All Microsoft Databases (*.mdb,*.accdb) (*.*db);;Microsoft Database (*.mdb) "
              "(*.mdb);;Microsoft 2007 Database (*.accdb) (*.accdb)");
    EXPECT_EQ(ui::qtFilterFromPipes("Text|*.txt;*.sql"), "Text (*.txt *.sql)");
    EXPECT_EQ(ui::qtFilterFromPipes(""), "");
}

// The names the dialog lists in its folder once the folder has loaded.
QStringList listed(QFileDialog& dialog) {
    auto* view = dialog.findChild<QListView*>("listView");
    if (!view) return {};
    QStringList names;
    // The folder loads in the background.
    for (int i = 0; i < 100 && names.isEmpty(); ++i) {
        QTest::qWait(20);
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < view->model()->rowCount(root); ++r)
            names << view->model()->index(r, 0, root).data().toString();
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

TEST_F(PromptTest, OpenDialogFiltersByAnyExtensionEndingInDb) {
    const QString folder = qpath(dir.path() / "files");
    QDir().mkpath(folder);
    for (const char* name : {"a.mdb", "b.accdb", "c.txt", "d.db", "E.MDB", "f.mdbx"}) {
        QFile f(folder + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ui::FileDialogRequest request{
        "Select Access Database",
        "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
        "Microsoft 2007 Database (*.accdb)|*.accdb|",
        {},
        0x280001};
    auto dialog = ui::createFileDialog(request, ui::FileDialogKind::Open, nullptr);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setDirectory(folder);
    EXPECT_EQ(dialog->windowTitle(), "Select Access Database");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(dialog->testOption(QFileDialog::HideNameFilterDetails));
    EXPECT_EQ(dialog->nameFilters().size(), 3);
    dialog->show();
    EXPECT_EQ(listed(*dialog), (QStringList{"a.mdb", "b.accdb", "d.db", "E.MDB"}));
    dialog->selectNameFilter(dialog->nameFilters().at(2));
    QTest::qWait(50);
    EXPECT_EQ(listed(*dialog), (QStringList{"b.accdb"}));
}

TEST_F(PromptTest, SaveDialogReplacesWithoutAskingAndPresetsTheName) {
    ui::FileDialogRequest request{"Save", "SQL|*.sql|", qpath(dir.path() / "out.sql"), 0};
    auto dialog = ui::createFileDialog(request, ui::FileDialogKind::Save, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->directory().absolutePath(), qpath(dir.path()));
}

}  // namespace
