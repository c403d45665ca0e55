// One table of a send command: the shared table steps under the command's failure report, with
// the type customisation dialog.
#include "transfer/table_transfer.h"

#include "db/connection.h"
#include "typecustom/form3.h"
#include "typecustom/type_proposal.h"
#include "ui/command.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/worker.h"

namespace transfer {

namespace {

// The command's steps: a failing step is reported with its number and the statement, and the
// table goes on with the next step.
class CommandSteps : public StepRunner {
  public:
    explicit CommandSteps(ui::Command& cmd) : cmd_(cmd) {}
    void step(int number, const std::function<void()>& body) override { cmd_.step(number, body); }
    bool test(int number, const std::function<bool()>& condition) override {
        return cmd_.test(number, condition);
    }

  private:
    ui::Command& cmd_;
};

void call(const std::function<void()>& f) {
    if (f) f();
}

}  // namespace

TableResult transferTable(ui::Command& cmd, Direction direction, db::Connection& connection,
                          const std::string& name, std::optional<ui::Answer> answer, bool customise,
                          typecustom::Form3& form3, ScriptBuilder& script, std::string& statement,
                          const TableWindowHooks& window, SendKeys* keys,
                          const db::AccessFileFeatures& features) {
    const bool toMySql = direction == Direction::AccessToMySql;
    const SendSteps& s = sendSteps(direction);
    CommandSteps steps(cmd);

    TableSendHooks hooks;
    // The dialog, its variables and the steps around it belong to the user-interface thread; the
    // table's other steps wait there meanwhile.
    hooks.customise = [&](StepRunner& st, std::string& sql, const ColumnDecorator& decorate) {
        bool confirmed = false;
        ui::onUiThread([&] {
            st.step(s.setCancelled, [] { ui::CustomizeCancelled = true; });
            st.step(s.setType, [&] {
                form3.mType =
                    std::string(toMySql ? typecustom::kTargetMySql : typecustom::kTargetAccess);
            });
            st.step(s.setSql, [&] { form3.mSQL = sql; });
            st.step(s.setTableName, [&] { form3.mTableName = name; });
            form3.mColumnDecorator = decorate;
            st.step(s.showDialog, [&] { form3.showModal(window.dialogParent); });
            form3.mColumnDecorator = nullptr;
            if (st.test(s.testCancelled, [] { return ui::CustomizeCancelled; })) {
                st.step(s.closeConnection, [&] {
                    if (connection.state() != db::kAdStateClosed) connection.close();
                });
                st.step(s.endCommand, [&] { call(window.restoreCursor); });
                return;
            }
            st.step(s.takeSql, [&] { sql = form3.mSQL; });
            confirmed = true;
        });
        return confirmed;
    };
    // Progress is queued without waiting; the calls that change what the window shows or holds
    // wait, so that they happen in their place among the steps.
    hooks.progress = [&](long done, long total) {
        if (!window.setProgress || total <= 0) return;
        const double percent = static_cast<double>(done) / static_cast<double>(total) * 100.0;
        ui::postToUiThread([&window, percent] { window.setProgress(percent); });
    };
    hooks.resetProgress = [&] { ui::onUiThread([&] { call(window.resetProgress); }); };
    hooks.removeFromTargetList = [&] {
        ui::onUiThread([&] { call(window.removeFromTargetList); });
    };
    hooks.restoreCursor = [&] { ui::onUiThread([&] { call(window.restoreCursor); }); };
    hooks.cancelled = window.cancelled;
    hooks.refused = [](const std::string& sentence) {
        ui::inform(QString::fromStdString(sentence));
    };
    hooks.note = [&](const std::string& sentence) {
        if (window.note) ui::onUiThread([&] { window.note(sentence); });
    };

    TableSendOptions options;
    options.overwrite = answer == ui::Answer::Yes;
    options.customise = customise;
    options.keys = keys;
    options.accessFeatures = features;
    TableResult result = TableResult::Added;
    // The source is read in a worker, so that the windows keep painting however slow it is.
    ui::runInWorker([&] {
        result = sendTable(steps, direction, connection, name, options, script, statement, hooks);
    });
    return result;
}

}  // namespace transfer
