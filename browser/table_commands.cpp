// The four table commands of Form2: "Delete Table/s" and "Rename Table" on both sides.
//
// Each acts on the database at once and then updates its list in place; no list is reread.
// Both deletes ask first, naming the selected tables (default No); a No drops nothing. The
// database work runs in a worker thread while the window paints, its buttons disabled.
// Every step is numbered and a failing one is reported and passed over, so a statement the
// database rejects still changes the list as a successful one would, and the walk goes on with
// the next item. The two sides test their preconditions in opposite orders: the Access rename
// counts the selected items first, the MySQL commands open their connection and look for a
// current item first.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/access_rename.h"
#include "browser/delete_question.h"
#include "browser/form2.h"
#include "browser/table_list.h"
#include "browser/table_sql.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/table_listing.h"
#include "ui/app_title.h"
#include "ui/busy_window.h"
#include "ui/command.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/window_helpers.h"
#include "ui/worker.h"

namespace browser {

namespace {

const QString kForm = QStringLiteral("Form2");
const QString kSelectTable = QStringLiteral("Please select a table");
const QString kSelectTableToRename = QStringLiteral("Please select a table to rename.");
const QString kSelectJustOne = QStringLiteral("Please select just one table to rename.");

// The connection a step works on; a step after a failed creation fails in turn.
db::Connection& connectionOf(const std::unique_ptr<db::Connection>& cn) {
    if (!cn) throw db::Error(db::errc::kClosed, "The connection object could not be created.");
    return *cn;
}

// The selected names of `list`, first to last.
std::vector<std::string> selectedNames(const TableList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.listCount(); ++i)
        if (list.isItemSelected(i)) names.push_back(list.itemText(i).toStdString());
    return names;
}

// Asks before the selected tables are dropped; the answer defaults to No. Nothing selected
// asks nothing: there is nothing to drop.
bool confirmDelete(const TableList& list, std::string_view database) {
    const std::vector<std::string> names = selectedNames(list);
    if (names.empty()) return true;
    ui::MessageRequest question{QString::fromStdString(deleteQuestionText(names, database)),
                                QString::fromUtf8(kDeleteTitle), ui::Buttons::YesNo,
                                ui::Icon::None};
    question.defaultButton = ui::Answer::No;
    return ui::prompts().message(question) == ui::Answer::Yes;
}

QString askNewName(const QString& oldName) {
    return ui::prompts().input(
        {QStringLiteral("Enter new name of ") + oldName + QStringLiteral(":"),
         ui::applicationTitle(), oldName});
}

}  // namespace

void Form2::pushButton1Click() {
    const ui::BusyWindow busy(this);
    ui::Command cmd(kForm, QStringLiteral("PushButton1_Click"));
    std::unique_ptr<db::Connection> cn;
    cmd.step(100, [&] { cn = std::make_unique<db::Connection>(); });
    cmd.step(102, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    cmd.step(104, [&] { connectionOf(cn).setCursorLocation(db::kAdUseServer); });
    cmd.step(106, [&] { connectionOf(cn).setMode(db::kAdModeReadWrite); });
    cmd.step(108, [&] {
        const std::string target = db::buildAccessConnectionString(ui::currentLogin());
        ui::runInWorker([&] { connectionOf(cn).open(target); });
    });
    if (cmd.test(110, [&] { return list1_->listIndex() == -1; })) {
        cmd.step(122, [&] { ui::inform(kSelectTable); });
        cmd.step(124, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
        return;
    }
    // A question that fails to be asked deletes nothing.
    if (!cmd.value(126, false, [&] { return confirmDelete(*list1_, kAccessDatabase); })) {
        cmd.step(124, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
        return;
    }
    // From the last item to the first, so that removing one leaves the places still to visit.
    int i = cmd.value(112, -1, [&] { return list1_->listCount() - 1; });
    for (; i >= 0; --i) {  // 120: the next item
        if (cmd.test(114, [&] { return list1_->isItemSelected(i); })) {
            cmd.step(116, [&] {
                const std::string sql = accessDeleteTableSql(list1_->itemText(i).toStdString());
                ui::runInWorker([&] { connectionOf(cn).execute(sql); });
            });
            cmd.step(118, [&] { list1_->removeItem(i); });
        }
    }
    cmd.step(124, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
}

void Form2::pushButton5Click() {
    const ui::BusyWindow busy(this);
    ui::Command cmd(kForm, QStringLiteral("PushButton5_Click"));
    std::unique_ptr<db::Connection> cn;
    cmd.step(100, [&] { cn = std::make_unique<db::Connection>(); });
    cmd.step(102, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    cmd.step(104, [&] {
        const std::string target = db::mySqlConnectionString(ui::currentLogin());
        ui::runInWorker([&] { connectionOf(cn).open(target); });
    });
    if (cmd.test(106, [&] { return list2_->listIndex() == -1; })) {
        cmd.step(118, [&] { ui::inform(kSelectTable); });
        cmd.step(120, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
        return;
    }
    if (!cmd.value(122, false, [&] { return confirmDelete(*list2_, kMySqlDatabase); })) {
        cmd.step(120, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
        return;
    }
    int i = cmd.value(108, -1, [&] { return list2_->listCount() - 1; });
    for (; i >= 0; --i) {  // 116: the next item
        if (cmd.test(110, [&] { return list2_->isItemSelected(i); })) {
            cmd.step(112, [&] {
                const std::string sql = dropTableSql(list2_->itemText(i).toStdString());
                ui::runInWorker([&] { connectionOf(cn).execute(sql); });
            });
            cmd.step(114, [&] { list2_->removeItem(i); });
        }
    }
    cmd.step(120, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
}

void Form2::pushButton6Click() {
    const ui::BusyWindow busy(this);
    ui::Command cmd(kForm, QStringLiteral("PushButton6_Click"));
    if (cmd.test(100, [&] { return list1_->selectedCount() != 1; })) {
        cmd.step(130, [&] { ui::inform(kSelectJustOne); });
        return;
    }
    if (cmd.test(102, [&] { return list1_->listIndex() == -1; })) {
        cmd.step(128, [&] { ui::inform(kSelectTableToRename); });
        return;
    }
    cmd.step(104, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    QString oldName;
    int position = -1;
    const int count = cmd.value(106, 0, [&] { return list1_->listCount(); });
    for (int i = 0; i < count; ++i) {  // 114: the next item
        if (cmd.test(108, [&] { return list1_->isItemSelected(i); })) {
            cmd.step(110, [&] { oldName = list1_->itemText(i); });
            cmd.step(112, [&] { position = i; });
        }
    }
    QString newName;
    cmd.step(116, [&] { newName = askNewName(oldName); });
    if (cmd.test(118, [&] { return newName.isEmpty(); })) {
        cmd.step(118, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
        return;
    }
    // A failure inside the routine counts as a rename that went through.
    bool renamed = true;
    cmd.step(120, [&] {
        const db::LoginFields login = ui::currentLogin();
        const std::string from = oldName.toStdString();
        const std::string to = newName.toStdString();
        // The copy of a big table takes long; the question goes to the window's thread.
        ui::runInWorker([&] {
            renamed = renameAccessTableByCopy(
                from, to, login.accessPath, login.accessPassword, [](const std::string& name) {
                    return ui::askYesNo(QString::fromStdString(overwriteQuestionText(name)),
                                        QString::fromUtf8(kOverwriteTitle));
                });
        });
    });
    if (renamed) {
        cmd.step(122, [&] {
            list1_->removeItem(position);
            // A table the copy overwrote is gone from the file: its item goes too, so the list
            // names the new table once.
            const std::string target = newName.toStdString();
            for (int i = list1_->listCount() - 1; i >= 0; --i)
                if (db::accessTableNamesEqual(list1_->itemText(i).toStdString(), target))
                    list1_->removeItem(i);
        });
        cmd.step(124, [&] { list1_->addItem(newName); });
    }
    cmd.step(126, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
}

void Form2::pushButton7Click() {
    const ui::BusyWindow busy(this);
    ui::Command cmd(kForm, QStringLiteral("PushButton7_Click"));
    std::unique_ptr<db::Connection> cn;
    cmd.step(100, [&] { cn = std::make_unique<db::Connection>(); });
    cmd.step(102, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    cmd.step(104, [&] {
        const std::string target = db::mySqlConnectionString(ui::currentLogin());
        ui::runInWorker([&] { connectionOf(cn).open(target); });
    });
    if (cmd.test(106, [&] { return list2_->listIndex() == -1; })) {
        cmd.step(132, [&] { ui::inform(kSelectTableToRename); });
        cmd.step(134, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
        return;
    }
    if (cmd.test(108, [&] { return list2_->selectedCount() != 1; })) {
        cmd.step(130, [&] { ui::inform(kSelectJustOne); });
        cmd.step(134, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
        return;
    }
    int i = cmd.value(110, -1, [&] { return list2_->listCount() - 1; });
    for (; i >= 0; --i) {  // 128: the next item
        if (!cmd.test(112, [&] { return list2_->isItemSelected(i); })) continue;
        QString oldName, newName;
        cmd.step(114, [&] { oldName = list2_->itemText(i); });
        cmd.step(116, [&] { newName = askNewName(oldName); });
        if (cmd.test(118, [&] { return newName.isEmpty(); })) continue;
        cmd.step(120, [&] {
            const std::string sql =
                mySqlRenameTableSql(oldName.toStdString(), newName.toStdString());
            ui::runInWorker([&] { connectionOf(cn).execute(sql); });
        });
        cmd.step(122, [&] { list2_->removeItem(i); });
        cmd.step(124, [&] { list2_->addItem(newName); });
        cmd.step(126, [&] {
            if (list2_->listCount() > 0) list2_->setListIndex(0);
        });
    }
    cmd.step(134, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
}

}  // namespace browser
