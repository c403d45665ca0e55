// One table of a send command: the shared table steps under the command's failure report, with
// the type customisation dialog.
#include "transfer/table_transfer.h"

#include "db/connection.h"
#include "typecustom/form3.h"
#include "typecustom/type_proposal.h"
#include "ui/command.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"

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
                          const std::string& name, int answer, bool customise,
                          typecustom::Form3& form3, ScriptBuilder& script, std::string& statement,
                          const TableWindowHooks& window) {
    const bool toMySql = direction == Direction::AccessToMySql;
    const SendSteps& s = sendSteps(direction);
    CommandSteps steps(cmd);

    TableSendHooks hooks;
    hooks.customise = [&](StepRunner& st, std::string& sql) {
        st.step(s.setCancelled, [] { ui::CustomizeCancelled = true; });
        st.step(s.setType, [&] {
            form3.mType =
                std::string(toMySql ? typecustom::kTargetMySql : typecustom::kTargetAccess);
        });
        st.step(s.setSql, [&] { form3.mSQL = sql; });
        st.step(s.setTableName, [&] { form3.mTableName = name; });
        st.step(s.showDialog, [&] { form3.showModal(window.dialogParent); });
        if (st.test(s.testCancelled, [] { return ui::CustomizeCancelled; })) {
            st.step(s.closeConnection, [&] {
                if (connection.state() != db::kAdStateClosed) connection.close();
            });
            st.step(s.endCommand, [&] { call(window.restoreCursor); });
            return false;
        }
        st.step(s.takeSql, [&] { sql = form3.mSQL; });
        return true;
    };
    hooks.progress = [&](long done, long total) {
        if (window.setProgress && total > 0)
            window.setProgress(static_cast<double>(done) / static_cast<double>(total) * 100.0);
    };
    hooks.resetProgress = window.resetProgress;
    hooks.removeFromTargetList = window.removeFromTargetList;
    hooks.restoreCursor = window.restoreCursor;
    hooks.processEvents = window.processEvents;
    hooks.refused = [](const std::string& sentence) {
        ui::inform(QString::fromStdString(sentence));
    };

    TableSendOptions options;
    options.overwrite = answer == static_cast<int>(ui::Answer::Yes);
    options.customise = customise;
    return sendTable(steps, direction, connection, name, options, script, statement, hooks);
}

}  // namespace transfer
