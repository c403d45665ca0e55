// The two send commands of Form2: "Send Table/s To MySQL" (PushButton3) and "Send Table/s To
// Access" (PushButton4).
//
// Each walks its list from the last item to the first, asks before overwriting a table the other
// list already names (in any letter case), hands each selected table to transferTable(), which
// writes its lines into a buffer of its own, and passes that buffer to the review window in one
// piece. The review window is created on first use and collects text until a command shows it;
// a command abandoned at the customisation dialog leaves what it collected there for the next
// one to the same database. After the review window closes, the target list is listed anew when the
// script ran.
//
// Every step is numbered; a failing step is reported with the statement being built after
// "sql: ", and the command goes on with the next step.
#include <QCheckBox>
#include <cmath>
#include <memory>

#include "browser/access_rename.h"
#include "browser/form2.h"
#include "browser/list_tables.h"
#include "browser/table_list.h"
#include "browser/text_progress_bar.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "review/form4.h"
#include "transfer/table_transfer.h"
#include "typecustom/form3.h"
#include "ui/command.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/window_helpers.h"

namespace browser {

namespace {

const QString kForm = QStringLiteral("Form2");
const QString kSelectTable = QStringLiteral("Please select a table");
const QString kSelectTableToSend = QStringLiteral("Please select a table to send.");
const QString kProgressText = QStringLiteral("Progress Bar");

// Marks a send command as running for its lifetime.
class Sending {
  public:
    explicit Sending(bool& flag) : flag_(flag) { flag_ = true; }
    ~Sending() { flag_ = false; }
    Sending(const Sending&) = delete;
    Sending& operator=(const Sending&) = delete;

  private:
    bool& flag_;
};

db::Connection& connectionOf(const std::unique_ptr<db::Connection>& cn) {
    if (!cn) throw db::Error(db::errc::kClosed, "The connection object could not be created.");
    return *cn;
}

}  // namespace

int Form2::overwriteAnswer(ui::Command& cmd, int testStep, int askStep, int noneStep,
                           const TableList& other, const std::string& name) {
    int answer = 0;
    const QString qname = QString::fromStdString(name);
    if (cmd.test(testStep, [&] { return ListContains(other, qname); })) {
        cmd.step(askStep, [&] {
            answer = static_cast<int>(ui::prompts().message(
                {QString::fromStdString(overwriteQuestionText(name)),
                 QString::fromUtf8(kOverwriteTitle), ui::Buttons::YesNo, ui::Icon::None}));
        });
    } else {
        cmd.step(noneStep, [&] { answer = 0; });
    }
    return answer;
}

transfer::TableResult Form2::sendTable(ui::Command& cmd, transfer::Direction direction,
                                       db::Connection* connection, int openStep,
                                       const std::string& name, int answer, bool customise,
                                       TableList& other, std::string& statement) {
    if (!connection) {
        // Without a connection object no step of the table can run; one report stands for them.
        cmd.step(openStep, [] {
            throw db::Error(db::errc::kClosed, "The connection object could not be created.");
        });
        return transfer::TableResult::Added;
    }
    const QString qname = QString::fromStdString(name);
    transfer::TableWindowHooks hooks;
    hooks.dialogParent = this;
    hooks.setProgress = [this](double percent) {
        progressBar1_->setValue(static_cast<int>(std::lround(percent)));
    };
    hooks.resetProgress = [this] {
        progressBar1_->setValue(0);
        setProgressText(kProgressText);
    };
    hooks.removeFromTargetList = [&other, qname] { ListRemoveItem(other, qname); };
    hooks.restoreCursor = [this] { ui::setMousePointer(this, ui::kPointerDefault); };
    hooks.processEvents = [] { ui::processPendingEvents(); };

    const transfer::Target target = direction == transfer::Direction::AccessToMySql
                                        ? transfer::Target::MySql
                                        : transfer::Target::Access;
    transfer::ScriptBuilder script(target);
    const transfer::TableResult result =
        transfer::transferTable(cmd, direction, *connection, name, answer, customise,
                                typecustom::form3(), script, statement, hooks);
    // The table's lines reach the review window in one piece.
    if (!script.text().empty())
        reviewWindow(target == transfer::Target::MySql ? 0 : 1).appendText(script.take());
    return result;
}

review::Form4& Form2::reviewWindow(int sendType) {
    // Text left by a command abandoned at the customisation dialog waits for the next command
    // to the same database. Statements written for the other one would run on the wrong
    // database there, with its escapes (a DROP TABLE of a source table among them): they go.
    if (form4_ && form4_->m_SendType != sendType) form4_.reset();
    if (!form4_) {
        form4_ = std::make_unique<review::Form4>(this);
        form4_->m_SendType = sendType;
    }
    return *form4_;
}

void Form2::showReviewWindow(int sendType) {
    reviewWindow(sendType).exec();
    // Shown and closed: the text goes with the window, and the next command starts afresh.
    form4_.reset();
}

void Form2::pushButton3Click() {
    if (sending_) return;
    Sending running(sending_);
    ui::Command cmd(kForm, QStringLiteral("PushButton3_Click"));
    std::string statement;  // shown after "sql: " by every report of this command
    cmd.attachSql(&statement);

    std::unique_ptr<db::Connection> cn;
    cmd.step(100, [&] { cn = std::make_unique<db::Connection>(); });
    // 102: the record set is made for each table by the table's own steps.
    if (cmd.test(104, [&] { return list1_->listIndex() == -1; })) {
        cmd.step(326, [&] { ui::inform(kSelectTable); });
        return;
    }
    cmd.step(106, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    cmd.step(108, [&] { connectionOf(cn).setCursorLocation(db::kAdUseClient); });
    cmd.step(110, [&] { connectionOf(cn).setMode(db::kAdModeReadWrite); });
    cmd.step(112,
             [&] { connectionOf(cn).open(db::buildAccessConnectionString(ui::currentLogin())); });
    cmd.step(114, [] { ui::SqlExecuted = false; });

    const int last = cmd.value(116, -1, [&] { return list1_->listCount() - 1; });
    for (int i = last; i >= 0; --i) {
        cmd.step(118, [] { ui::processPendingEvents(); });
        if (cmd.test(120, [&] { return !list1_->isItemSelected(i); })) continue;
        std::string name;
        cmd.step(122, [&] { name = list1_->itemText(i).toStdString(); });
        const int answer = overwriteAnswer(cmd, 124, 126, 128, *list2_, name);
        if (cmd.test(130, [&] { return answer == static_cast<int>(ui::Answer::No); })) continue;
        const bool customise = check15_->isChecked();
        if (sendTable(cmd, transfer::Direction::AccessToMySql, cn.get(), 132, name, answer,
                      customise, *list2_, statement) == transfer::TableResult::Cancelled)
            return;  // the review window is not shown; its text waits for the next command
    }

    cmd.step(314, [&] { connectionOf(cn).close(); });
    cmd.step(316, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
    cmd.step(318, [&] { reviewWindow(0).m_SendType = 0; });
    cmd.step(320, [&] { showReviewWindow(0); });
    if (cmd.test(322, [] { return ui::SqlExecuted; }))
        cmd.step(324, [&] { listMySqlTables(*list2_); });
}

void Form2::pushButton4Click() {
    if (sending_) return;
    Sending running(sending_);
    ui::Command cmd(kForm, QStringLiteral("PushButton4_Click"));
    std::string statement;
    cmd.attachSql(&statement);

    std::unique_ptr<db::Connection> cn;
    cmd.step(100, [&] { cn = std::make_unique<db::Connection>(); });
    // 102: the record set is made for each table by the table's own steps.
    if (cmd.test(106, [&] { return list2_->listIndex() == -1; })) {
        cmd.step(338, [&] { ui::inform(kSelectTableToSend); });
        return;
    }
    cmd.step(108, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    cmd.step(110, [&] { connectionOf(cn).setCursorLocation(db::kAdUseClient); });
    cmd.step(112, [&] { connectionOf(cn).open(db::mySqlConnectionString(ui::currentLogin())); });
    cmd.step(112, [] { ui::SqlExecuted = false; });

    // Unlike the other direction, no events run at the start of each position.
    const int last = cmd.value(114, -1, [&] { return list2_->listCount() - 1; });
    for (int i = last; i >= 0; --i) {
        if (cmd.test(116, [&] { return !list2_->isItemSelected(i); })) continue;
        std::string name;
        cmd.step(118, [&] { name = list2_->itemText(i).toStdString(); });
        const int answer = overwriteAnswer(cmd, 120, 122, 124, *list1_, name);
        if (cmd.test(126, [&] { return answer == static_cast<int>(ui::Answer::No); })) continue;
        const bool customise = check16_->isChecked();
        if (sendTable(cmd, transfer::Direction::MySqlToAccess, cn.get(), 128, name, answer,
                      customise, *list1_, statement) == transfer::TableResult::Cancelled)
            return;
    }

    cmd.step(326, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
    cmd.step(328, [&] { connectionOf(cn).close(); });
    cmd.step(330, [&] { reviewWindow(1).m_SendType = 1; });
    cmd.step(332, [&] { showReviewWindow(1); });
    if (cmd.test(334, [] { return ui::SqlExecuted; }))
        cmd.step(336, [&] {
            listAccessTables(*list1_, QString::fromStdString(ui::currentLogin().accessPath));
        });
}

}  // namespace browser
