// The two send commands of Form2: "Send Table/s To MySQL" (PushButton3) and "Send Table/s To
// Access" (PushButton4).
//
// Each walks its list from the last item to the first, asks before overwriting a table the other
// list already names (in any letter case), hands each selected table to transferTable(), which
// reads it in a worker thread and writes its lines into a buffer of its own, and passes that
// buffer to the review window in one piece. The review window is created on first use and
// collects text until a command shows it; a command abandoned at the customisation dialog leaves
// what it collected there for the next one to the same database.
//
// The target list keeps showing what the target database holds: a table the script is to drop
// keeps its item until the script ran, and after the review window closes the list is listed
// anew when the script ran, wholly or in part (a failed Execute may have dropped a table before
// the window was closed). A review closed without Execute leaves the list as it was, so that the
// next send of the table asks again and writes its DROP line.
//
// While the work runs the window keeps painting, its buttons and check boxes are disabled, and
// a request to end the program (closing a window) stops the command before its next row, table
// or window.
//
// Every step is numbered; a failing step is reported with the statement being built after
// "sql: ", and the command goes on with the next step.
#include <QCheckBox>
#include <cmath>
#include <memory>
#include <optional>

#include "browser/access_rename.h"
#include "browser/form2.h"
#include "browser/list_tables.h"
#include "browser/table_list.h"
#include "browser/text_progress_bar.h"
#include "db/access_features.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "review/form4.h"
#include "transfer/send_keys.h"
#include "transfer/table_transfer.h"
#include "typecustom/form3.h"
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

// With "Send keys and indexes" ticked, the structure part of the send: the selected tables of
// `list` are the send's tables.
std::unique_ptr<transfer::SendKeys> sendKeys(bool wanted, transfer::Direction target,
                                             const TableList& list) {
    if (!wanted) return nullptr;
    std::vector<std::string> tables;
    for (int i = 0; i < list.listCount(); ++i)
        if (list.isItemSelected(i)) tables.push_back(list.itemText(i).toStdString());
    const db::AccessFileFeatures features =
        target == transfer::Direction::MySqlToAccess
            ? db::accessFileFeatures(ui::currentLogin().accessPath)
            : db::AccessFileFeatures{};
    return std::make_unique<transfer::SendKeys>(target, std::move(tables), features);
}

db::Connection& connectionOf(const std::unique_ptr<db::Connection>& cn) {
    if (!cn) throw db::Error(db::errc::kClosed, "The connection object could not be created.");
    return *cn;
}

}  // namespace

std::optional<ui::Answer> Form2::overwriteAnswer(ui::Command& cmd, int testStep, int askStep,
                                                 int noneStep, const TableList& other,
                                                 const std::string& name) {
    std::optional<ui::Answer> answer;
    const QString qname = QString::fromStdString(name);
    if (cmd.test(testStep, [&] { return ListContains(other, qname); })) {
        cmd.step(askStep, [&] {
            answer = ui::prompts().message({QString::fromStdString(overwriteQuestionText(name)),
                                            QString::fromUtf8(kOverwriteTitle), ui::Buttons::YesNo,
                                            ui::Icon::None});
        });
    } else {
        cmd.step(noneStep, [&] { answer.reset(); });
    }
    return answer;
}

transfer::TableResult Form2::sendTable(ui::Command& cmd, transfer::Direction direction,
                                       db::Connection* connection, int openStep,
                                       const std::string& name, std::optional<ui::Answer> answer,
                                       bool customise, const ui::EndWatch& ending,
                                       std::string& statement, transfer::SendKeys* keys) {
    if (!connection) {
        // Without a connection object no step of the table can run; one report stands for them.
        cmd.step(openStep, [] {
            throw db::Error(db::errc::kClosed, "The connection object could not be created.");
        });
        return transfer::TableResult::Added;
    }
    transfer::TableWindowHooks hooks;
    hooks.dialogParent = this;
    hooks.setProgress = [this](double percent) {
        progressBar1_->setValue(static_cast<int>(std::lround(percent)));
    };
    hooks.resetProgress = [this] {
        progressBar1_->setValue(0);
        setProgressText(kProgressText);
    };
    // The target list keeps the table's item: the database holds the table until the script
    // runs, and a run lists the target anew.
    hooks.restoreCursor = [this] { ui::setMousePointer(this, ui::kPointerDefault); };
    hooks.cancelled = [&ending] { return ending.programEnding(); };

    hooks.note = [this, direction](const std::string& sentence) {
        reviewWindow(direction).appendNote(sentence);
    };
    transfer::ScriptBuilder script(direction);
    const db::AccessFileFeatures features =
        direction == transfer::Direction::MySqlToAccess
            ? db::accessFileFeatures(ui::currentLogin().accessPath)
            : db::AccessFileFeatures{};
    const transfer::TableResult result =
        transfer::transferTable(cmd, direction, *connection, name, answer, customise,
                                typecustom::form3(), script, statement, hooks, keys, features);
    // The table's lines reach the review window in one piece.
    if (!script.text().empty()) reviewWindow(direction).appendText(script.take());
    return result;
}

void Form2::appendForeignKeys(transfer::SendKeys& keys, transfer::Direction direction) {
    transfer::ScriptBuilder script(keys.target());
    transfer::TableSendHooks hooks;
    hooks.note = [this, direction](const std::string& sentence) {
        reviewWindow(direction).appendNote(sentence);
    };
    transfer::writeForeignKeys(keys, script, hooks);
    if (!script.text().empty()) reviewWindow(direction).appendText(script.take());
}

review::Form4& Form2::reviewWindow(transfer::Direction direction) {
    const int sendType = direction == transfer::Direction::AccessToMySql ? 0 : 1;
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

bool Form2::showReviewWindow(transfer::Direction direction) {
    review::Form4& w = reviewWindow(direction);
    w.exec();
    const bool ran = w.ranStatements();
    // Shown and closed: the text goes with the window, and the next command starts afresh.
    form4_.reset();
    return ran;
}

void Form2::pushButton3Click() {
    if (sending_) return;
    Sending running(sending_);
    const ui::EndWatch ending;
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
    std::optional<ui::BusyWindow> busy(this);
    cmd.step(106, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    cmd.step(108, [&] { connectionOf(cn).setCursorLocation(db::kAdUseClient); });
    cmd.step(110, [&] { connectionOf(cn).setMode(db::kAdModeReadWrite); });
    cmd.step(112, [&] {
        const std::string source = db::buildAccessConnectionString(ui::currentLogin());
        ui::runInWorker([&] { connectionOf(cn).open(source); });
    });
    cmd.step(114, [] { ui::SqlExecuted = false; });
    const auto keys = sendKeys(check17_->isChecked(), transfer::Direction::AccessToMySql, *list1_);

    const int last = cmd.value(116, -1, [&] { return list1_->listCount() - 1; });
    for (int i = last; i >= 0; --i) {
        if (ending.programEnding()) return;
        cmd.step(118, [] { ui::processPendingEvents(); });
        if (cmd.test(120, [&] { return !list1_->isItemSelected(i); })) continue;
        std::string name;
        cmd.step(122, [&] { name = list1_->itemText(i).toStdString(); });
        const std::optional<ui::Answer> answer = overwriteAnswer(cmd, 124, 126, 128, *list2_, name);
        if (cmd.test(130, [&] { return answer == ui::Answer::No; })) continue;
        const bool customise = check15_->isChecked();
        if (sendTable(cmd, transfer::Direction::AccessToMySql, cn.get(), 132, name, answer,
                      customise, ending, statement, keys.get()) == transfer::TableResult::Cancelled)
            return;  // the review window is not shown; its text waits for the next command
    }
    if (ending.programEnding()) return;
    if (keys) appendForeignKeys(*keys, transfer::Direction::AccessToMySql);

    cmd.step(314, [&] { ui::runInWorker([&] { connectionOf(cn).close(); }); });
    cmd.step(316, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
    cmd.step(318, [&] { reviewWindow(transfer::Direction::AccessToMySql).m_SendType = 0; });
    busy.reset();
    bool ran = false;
    cmd.step(320, [&] { ran = showReviewWindow(transfer::Direction::AccessToMySql); });
    if (ending.programEnding()) return;
    if (cmd.test(322, [&] { return ui::SqlExecuted || ran; })) {
        busy.emplace(this);
        cmd.step(324, [&] { listMySqlTables(*list2_); });
    }
}

void Form2::pushButton4Click() {
    if (sending_) return;
    Sending running(sending_);
    const ui::EndWatch ending;
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
    std::optional<ui::BusyWindow> busy(this);
    cmd.step(108, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    cmd.step(110, [&] { connectionOf(cn).setCursorLocation(db::kAdUseClient); });
    cmd.step(112, [&] {
        const std::string source = db::mySqlConnectionString(ui::currentLogin());
        ui::runInWorker([&] { connectionOf(cn).open(source); });
    });
    cmd.step(112, [] { ui::SqlExecuted = false; });
    const auto keys = sendKeys(check18_->isChecked(), transfer::Direction::MySqlToAccess, *list2_);

    // Unlike the send to MySQL, no events run at the start of each position.
    const int last = cmd.value(114, -1, [&] { return list2_->listCount() - 1; });
    for (int i = last; i >= 0; --i) {
        if (ending.programEnding()) return;
        if (cmd.test(116, [&] { return !list2_->isItemSelected(i); })) continue;
        std::string name;
        cmd.step(118, [&] { name = list2_->itemText(i).toStdString(); });
        const std::optional<ui::Answer> answer = overwriteAnswer(cmd, 120, 122, 124, *list1_, name);
        if (cmd.test(126, [&] { return answer == ui::Answer::No; })) continue;
        const bool customise = check16_->isChecked();
        if (sendTable(cmd, transfer::Direction::MySqlToAccess, cn.get(), 128, name, answer,
                      customise, ending, statement, keys.get()) == transfer::TableResult::Cancelled)
            return;
    }
    if (ending.programEnding()) return;
    if (keys) appendForeignKeys(*keys, transfer::Direction::MySqlToAccess);

    cmd.step(326, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
    cmd.step(328, [&] { ui::runInWorker([&] { connectionOf(cn).close(); }); });
    cmd.step(330, [&] { reviewWindow(transfer::Direction::MySqlToAccess).m_SendType = 1; });
    busy.reset();
    bool ran = false;
    cmd.step(332, [&] { ran = showReviewWindow(transfer::Direction::MySqlToAccess); });
    if (ending.programEnding()) return;
    if (cmd.test(334, [&] { return ui::SqlExecuted || ran; })) {
        busy.emplace(this);
        cmd.step(336, [&] {
            listAccessTables(*list1_, QString::fromStdString(ui::currentLogin().accessPath));
        });
    }
}

}  // namespace browser
