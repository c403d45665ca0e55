// One table of a send.
#include "transfer/table_send.h"

#include "db/connection.h"
#include "db/sql_names.h"
#include "transfer/column_mapping.h"
#include "transfer/script_builder.h"
#include "transfer/table_script.h"

namespace transfer {

namespace {

constexpr SendSteps kToMySql{132, 134, 136, 138, 140, 142, 144, 146, 148, 150, 152,
                             154, 156, 158, 204, 206, 252, 254, 256, 258, 260, 268,
                             270, 272, 274, 276, 300, 302, 306, 308, 310};
constexpr SendSteps kToAccess{128, 130, 132, 134, 136, 138, 140, 142, 144, 146, 148,
                              150, 152, 154, 208, 210, 264, 266, 268, 270, 272, 280,
                              282, 284, 286, 288, 312, 314, 318, 320, 322};

void call(const std::function<void()>& f) {
    if (f) f();
}

// The default column mapping, as numbered steps from `first` to `last`: the field loop, then
// removing the last comma and closing the statement.
void defaultMapping(StepRunner& steps, int first, int last, Target target, db::Recordset& rs,
                    std::string& statement, const TableSendHooks& hooks) {
    int count = 0;
    steps.step(first, [&] { count = rs.fieldCount(); });
    for (int j = 0; j < count; ++j) {
        steps.step(first + 2, [&] { call(hooks.processEvents); });
        steps.step(first + 4, [&] {
            const db::Field f = rs.field(static_cast<std::size_t>(j));
            appendDefaultColumn(statement, target, f.name(), f.type(), f.precision(),
                                f.numericScale());
        });
    }
    steps.step(last - 2, [&] {
        if (statement.empty()) throw db::Error(db::errc::kGeneric, "The statement is empty.");
        statement.pop_back();
    });
    steps.step(last, [&] { statement += target == Target::Access ? ");" : ")"; });
}

// The number of rows a forward-only read will give, for progress only; -1 when it cannot be
// counted.
long countRows(db::Connection& source, Direction direction, const std::string& name) {
    try {
        const std::string table = direction == Direction::MySqlToAccess ? db::quoteMySqlName(name)
                                                                        : db::quoteAccessName(name);
        auto rs = source.execute("SELECT COUNT(*) FROM " + table);
        if (!rs || rs->state() == db::kAdStateClosed || rs->eof()) return -1;
        const db::Value& v = rs->field(std::size_t{0}).value();
        if (v.kind() == db::Value::Kind::Integer) return static_cast<long>(v.asInteger());
        if (v.kind() == db::Value::Kind::Unsigned) return static_cast<long>(v.asUnsigned());
    } catch (const db::Error&) {
        // The read itself reports what is wrong with the table.
    }
    return -1;
}

}  // namespace

const SendSteps& sendSteps(Direction direction) {
    return direction == Direction::AccessToMySql ? kToMySql : kToAccess;
}

std::string sourceTableQuery(Direction direction, std::string_view table) {
    const std::string quoted = direction == Direction::MySqlToAccess ? db::quoteMySqlName(table)
                                                                     : db::quoteAccessName(table);
    return "SELECT * FROM " + quoted;
}

std::string accessNamesRefusal(std::string_view table, const db::Recordset* columns) {
    std::string problem = db::accessNewTableNameProblem(table);
    if (!problem.empty())
        return db::accessNameRefusal(table, "table", problem) + " The table is not sent.";
    if (!columns || columns->state() == db::kAdStateClosed) return {};
    for (int i = 0; i < columns->fieldCount(); ++i) {
        const std::string& column = columns->field(static_cast<std::size_t>(i)).name();
        problem = db::accessNameProblem(column);
        if (!problem.empty())
            return db::accessNameRefusal(column, "column", problem) + " The table \"" +
                   std::string(table) + "\" is not sent.";
    }
    return {};
}

TableResult sendTable(StepRunner& steps, Direction direction, db::Connection& source,
                      const std::string& name, const TableSendOptions& options, ScriptSink& sink,
                      std::string& statement, const TableSendHooks& hooks) {
    const bool toMySql = direction == Direction::AccessToMySql;
    const SendSteps& s = sendSteps(direction);
    const Target target = targetOf(direction);
    db::Recordset rs;

    long expected = -1;  // rows a forward-only read gives, for progress
    if (options.forwardOnly) expected = countRows(source, direction, name);
    steps.step(s.openRecordset, [&] {
        const std::string sql = sourceTableQuery(direction, name);
        if (options.forwardOnly)
            rs.open(sql, source, db::kAdOpenForwardOnly);
        else if (toMySql)
            rs.open(sql, source, db::kAdOpenStatic, db::kAdLockOptimistic);
        else
            rs.open(sql, source);
    });
    if (target == Target::Access) {
        // Names Access cannot hold go no further: with customisation the dialog offers new
        // column names, so only the table's own name is judged here.
        const std::string refusal = accessNamesRefusal(name, options.customise ? nullptr : &rs);
        if (!refusal.empty()) {
            if (rs.state() != db::kAdStateClosed) rs.close();
            if (hooks.refused) hooks.refused(refusal);
            return TableResult::Refused;
        }
    }
    const std::string head = createTableHead(name);
    steps.step(s.head, [&] { statement = head; });

    if (steps.test(s.testCustomise, [&] { return options.customise; })) {
        if (!hooks.customise || !hooks.customise(steps, statement)) return TableResult::Cancelled;
        if (steps.test(s.testUnchanged, [&] { return statement == head; }))
            defaultMapping(steps, s.customMappingFirst, s.customMappingLast, target, rs, statement,
                           hooks);
    } else {
        defaultMapping(steps, s.mappingFirst, s.mappingLast, target, rs, statement, hooks);
    }

    if (steps.test(s.testOverwrite, [&] { return options.overwrite; })) {
        steps.step(s.appendDrop, [&] { sink.appendDropTable(name); });
        steps.step(s.removeFromList, [&] { call(hooks.removeFromTargetList); });
    }
    steps.step(s.appendCreate, [&] { sink.appendCreateTable(statement); });

    // A static read knows its rows and is stepped through that many; a forward-only one runs
    // to its end.
    long total = -1;
    if (!options.forwardOnly) {
        long last = -1;
        steps.step(s.lastRow, [&] { last = rs.recordCount() - 1; });
        total = last + 1;
    }
    const long shown = options.forwardOnly ? expected : total;  // what progress counts against
    const std::string insert = insertHead(name);
    ProgressPacer pacer(shown > 0 ? shown : 1);
    for (long k = 0;; ++k) {
        if (options.forwardOnly) {
            if (rs.state() == db::kAdStateClosed || rs.eof()) break;
        } else if (k >= total) {
            break;
        }
        if (hooks.cancelled && hooks.cancelled()) {
            if (rs.state() != db::kAdStateClosed) rs.close();
            return TableResult::Cancelled;
        }
        const long done = k + 1;
        if (shown > 0 ? pacer.due(std::min(done, shown)) : (done & 1023) == 0) {
            steps.step(s.yield, [&] { call(hooks.processEvents); });
            steps.step(s.progress, [&] {
                if (hooks.progress) hooks.progress(done, shown);
            });
        }
        bool made = false;
        steps.step(s.rowStatement, [&] {
            statement.clear();
            appendRowStatement(statement, target, insert, rs.row());
            made = true;
        });
        if (made) steps.step(s.appendRow, [&] { sink.appendStatementLine(statement); });
        if (k + 1 == kReserveSampleRows) sink.rowsWritten(done, shown);
        steps.step(s.moveNext, [&] { rs.moveNext(); });
    }
    steps.step(s.endTable, [&] {
        sink.endTable();
        call(hooks.restoreCursor);
    });
    steps.step(s.resetProgress, [&] { call(hooks.resetProgress); });
    steps.step(s.closeRecordset, [&] { rs.close(); });
    return TableResult::Added;
}

}  // namespace transfer
