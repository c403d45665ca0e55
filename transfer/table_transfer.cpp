// One table of a send command.
#include "transfer/table_transfer.h"

#include "db/connection.h"
#include "transfer/column_mapping.h"
#include "transfer/table_script.h"
#include "typecustom/form3.h"
#include "typecustom/type_proposal.h"
#include "ui/command.h"
#include "ui/program_state.h"

namespace transfer {

namespace {

// The step numbers of one direction. The two commands number the same steps differently.
struct Steps {
    int openRecordset, head, testCustomise, setCancelled, setType, setSql, setTableName, showDialog,
        testCancelled, closeConnection, endCommand, takeSql, testUnchanged;
    int customMappingFirst, customMappingLast;  // default mapping after an unchanged dialog
    int mappingFirst, mappingLast;              // default mapping without customisation
    int testOverwrite, appendDrop, removeFromList, appendCreate, lastRow, rowLoop, yield, progress,
        rowStatement, appendRow, moveNext, endTable, resetProgress, closeRecordset;
};

constexpr Steps kToMySql{132, 134, 136, 138, 140, 142, 144, 146, 148, 150, 152,
                         154, 156, 158, 204, 206, 252, 254, 256, 258, 260, 268,
                         270, 272, 274, 276, 300, 302, 306, 308, 310};
constexpr Steps kToAccess{128, 130, 132, 134, 136, 138, 140, 142, 144, 146, 148,
                          150, 152, 154, 208, 210, 264, 266, 268, 270, 272, 280,
                          282, 284, 286, 288, 312, 314, 318, 320, 322};

void call(const std::function<void()>& f) {
    if (f) f();
}

// The default column mapping, as numbered steps from `first` to `last`: the field loop, then
// removing the last comma and closing the statement.
void defaultMapping(ui::Command& cmd, int first, int last, Target target, db::Recordset& rs,
                    std::string& statement, const TableWindowHooks& hooks) {
    const int count = cmd.value(first, 0, [&] { return rs.fieldCount(); });
    for (int j = 0; j < count; ++j) {
        cmd.step(first + 2, [&] { call(hooks.processEvents); });
        cmd.step(first + 4, [&] {
            const db::Field f = rs.field(static_cast<std::size_t>(j));
            appendDefaultColumn(statement, target, f.name(), f.type(), f.precision(),
                                f.numericScale());
        });
    }
    cmd.step(last - 2, [&] {
        if (statement.empty()) throw db::Error(db::errc::kGeneric, "The statement is empty.");
        statement.pop_back();
    });
    cmd.step(last, [&] { statement += target == Target::Access ? ");" : ")"; });
}

}  // namespace

TableResult transferTable(ui::Command& cmd, Direction direction, db::Connection& connection,
                          const std::string& name, int answer, bool customise,
                          typecustom::Form3& form3, ScriptBuilder& script, std::string& statement,
                          const TableWindowHooks& hooks) {
    const bool toMySql = direction == Direction::AccessToMySql;
    const Steps& s = toMySql ? kToMySql : kToAccess;
    const Target target = toMySql ? Target::MySql : Target::Access;
    db::Recordset rs;

    cmd.step(s.openRecordset, [&] {
        const std::string sql = "SELECT * FROM `" + name + "`";
        if (toMySql)
            rs.open(sql, connection, db::kAdOpenStatic, db::kAdLockOptimistic);
        else
            rs.open(sql, connection);
    });
    const std::string head = createTableHead(name);
    cmd.step(s.head, [&] { statement = head; });

    if (cmd.test(s.testCustomise, [&] { return customise; })) {
        cmd.step(s.setCancelled, [] { ui::CustomizeCancelled = true; });
        cmd.step(s.setType, [&] {
            form3.mType =
                std::string(toMySql ? typecustom::kTargetMySql : typecustom::kTargetAccess);
        });
        cmd.step(s.setSql, [&] { form3.mSQL = statement; });
        cmd.step(s.setTableName, [&] { form3.mTableName = name; });
        cmd.step(s.showDialog, [&] { form3.showModal(hooks.dialogParent); });
        if (cmd.test(s.testCancelled, [] { return ui::CustomizeCancelled; })) {
            cmd.step(s.closeConnection, [&] {
                if (connection.state() != db::kAdStateClosed) connection.close();
            });
            cmd.step(s.endCommand, [&] { call(hooks.restoreCursor); });
            return TableResult::Cancelled;
        }
        cmd.step(s.takeSql, [&] { statement = form3.mSQL; });
        if (cmd.test(s.testUnchanged, [&] { return statement == head; }))
            defaultMapping(cmd, s.customMappingFirst, s.customMappingLast, target, rs, statement,
                           hooks);
    } else {
        defaultMapping(cmd, s.mappingFirst, s.mappingLast, target, rs, statement, hooks);
    }

    if (cmd.test(s.testOverwrite, [&] { return answer == 6; })) {
        cmd.step(s.appendDrop, [&] { script.appendDropTable(name); });
        cmd.step(s.removeFromList, [&] { call(hooks.removeFromTargetList); });
    }
    cmd.step(s.appendCreate, [&] { script.appendCreateTable(statement); });

    const long last = cmd.value(s.lastRow, -1L, [&] { return rs.recordCount() - 1; });
    const std::string insert = insertHead(name);
    ProgressPacer pacer(last + 1);
    const std::size_t rowsStart = script.text().size();
    for (long k = 0; k <= last; ++k) {
        if (k == kReserveSampleRows) reserveForRows(script, rowsStart, k, last + 1);
        const bool due = pacer.due(k + 1);
        if (due) {
            cmd.step(s.yield, [&] { call(hooks.processEvents); });
            cmd.step(s.progress, [&] {
                if (hooks.setProgress)
                    hooks.setProgress(static_cast<double>(k + 1) / static_cast<double>(last + 1) *
                                      100.0);
            });
        }
        bool made = false;
        cmd.step(s.rowStatement, [&] {
            statement.clear();
            appendRowStatement(statement, target, insert, rs.row());
            made = true;
        });
        if (made) cmd.step(s.appendRow, [&] { script.appendStatementLine(statement); });
        cmd.step(s.moveNext, [&] { rs.moveNext(); });
    }
    cmd.step(s.endTable, [&] {
        script.endTable();
        call(hooks.restoreCursor);
    });
    cmd.step(s.resetProgress, [&] { call(hooks.resetProgress); });
    cmd.step(s.closeRecordset, [&] { rs.close(); });
    return TableResult::Added;
}

}  // namespace transfer
