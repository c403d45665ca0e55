// One table of a send.
#include "transfer/table_send.h"

#include <optional>

#include "db/connection.h"
#include "db/sql_names.h"
#include "transfer/column_mapping.h"
#include "transfer/row_adjust.h"
#include "transfer/script_builder.h"
#include "transfer/send_keys.h"
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
void defaultMapping(StepRunner& steps, int first, int last, Direction target, db::Recordset& rs,
                    std::string& statement, const TableSendHooks& hooks,
                    const db::AccessFileFeatures& features, const ColumnDecorator& decorate) {
    int count = 0;
    steps.step(first, [&] { count = rs.fieldCount(); });
    for (int j = 0; j < count; ++j) {
        steps.step(first + 2, [&] { call(hooks.processEvents); });
        steps.step(first + 4, [&] {
            const db::Field f = rs.field(static_cast<std::size_t>(j));
            if (!decorate) {
                appendDefaultColumn(statement, target, f.name(), f.type(), f.precision(),
                                    f.numericScale(), features);
                return;
            }
            statement += db::quoteMySqlName(f.name());
            statement += ' ';
            statement += decorate(
                static_cast<std::size_t>(j), f.name(),
                defaultColumnType(target, f.type(), f.precision(), f.numericScale(), features),
                true);
            statement += ',';
        });
    }
    steps.step(last - 2, [&] {
        if (statement.empty()) throw db::Error(db::errc::kGeneric, "The statement is empty.");
        statement.pop_back();
    });
    steps.step(last, [&] { statement += target == Direction::MySqlToAccess ? ");" : ")"; });
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

// The fields of `table` without reading its rows.
std::vector<db::FieldInfo> fieldsOf(db::Connection& source, Direction direction,
                                    const std::string& name) {
    db::Recordset rs;
    rs.open(sourceTableQuery(direction, name) + " LIMIT 0", source, db::kAdOpenStatic);
    std::vector<db::FieldInfo> out;
    for (int i = 0; rs.state() != db::kAdStateClosed && i < rs.fieldCount(); ++i)
        out.push_back(rs.field(static_cast<std::size_t>(i)).info());
    return out;
}

void tell(const TableSendHooks& hooks, const std::string& sentence) {
    if (hooks.note) hooks.note(sentence);
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
    const Direction target = direction;
    db::Recordset rs;

    // What must be asked of the source before its rows are read (a forward-only read lets the
    // session run nothing else): the table's structure, and the dates Access cannot hold.
    std::vector<std::string> notes;
    std::optional<db::TableStructure> structure;
    if (options.keys) structure = options.keys->read(source, name, notes);
    std::vector<UnholdableDates> badDates;
    if (!toMySql) {
        try {
            badDates = countUnholdableDates(source, name, fieldsOf(source, direction, name));
        } catch (const db::Error&) {
            // The read of the table itself tells what is wrong with it.
        }
    }

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
    if (target == Direction::MySqlToAccess) {
        // Names Access cannot hold go no further: with customisation the dialog offers new
        // column names, so only the table's own name is judged here.
        const std::string refusal = accessNamesRefusal(name, options.customise ? nullptr : &rs);
        if (!refusal.empty()) {
            if (rs.state() != db::kAdStateClosed) rs.close();
            if (hooks.refused) hooks.refused(refusal);
            return TableResult::Refused;
        }
    }
    const std::vector<db::FieldInfo> fields =
        rs.state() != db::kAdStateClosed ? fieldInfos(rs) : std::vector<db::FieldInfo>{};
    TableKeys* keys = nullptr;
    if (structure) {
        std::vector<std::string> names;
        for (const auto& f : fields)
            names.push_back(f.name);
        keys = &options.keys->add(std::move(*structure), std::move(names));
    }
    for (const auto& d : badDates) {
        notes.push_back(unholdableDatesNote(name, d));
        if (keys) keys->setColumnNotRequired(d.column);
    }
    const ColumnDecorator decorate = keys ? keys->decorator() : ColumnDecorator{};

    const std::string head = createTableHead(name);
    steps.step(s.head, [&] { statement = head; });

    if (steps.test(s.testCustomise, [&] { return options.customise; })) {
        if (!hooks.customise || !hooks.customise(steps, statement, decorate))
            return TableResult::Cancelled;
        if (steps.test(s.testUnchanged, [&] { return statement == head; }))
            defaultMapping(steps, s.customMappingFirst, s.customMappingLast, target, rs, statement,
                           hooks, options.accessFeatures, decorate);
    } else {
        defaultMapping(steps, s.mappingFirst, s.mappingLast, target, rs, statement, hooks,
                       options.accessFeatures, decorate);
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
    RowAdjuster adjuster(target, fields);
    const bool keepEmptyText = keys != nullptr;
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
            appendRowStatement(statement, target, insert, adjuster.adjust(rs.row()), keepEmptyText);
            made = true;
        });
        if (made) steps.step(s.appendRow, [&] { sink.appendStatementLine(statement); });
        if (k + 1 == kReserveSampleRows) sink.rowsWritten(done, shown);
        steps.step(s.moveNext, [&] { rs.moveNext(); });
    }
    if (keys) {
        // The table's keys and indexes, built once its rows are in.
        for (const std::string& line : keys->afterRowsLines())
            steps.step(s.appendRow, [&] {
                statement = line;
                sink.appendStructureLine(line);
            });
        notes.insert(notes.end(), keys->notes().begin(), keys->notes().end());
    }
    for (const auto& n : notes)
        tell(hooks, n);
    steps.step(s.endTable, [&] {
        sink.endTable();
        call(hooks.restoreCursor);
    });
    steps.step(s.resetProgress, [&] { call(hooks.resetProgress); });
    steps.step(s.closeRecordset, [&] { rs.close(); });
    return TableResult::Added;
}

void writeForeignKeys(SendKeys& keys, ScriptSink& sink, const TableSendHooks& hooks) {
    std::vector<std::string> notes;
    const std::vector<std::string> lines = keys.foreignKeyLines(notes);
    for (const auto& line : lines)
        sink.appendStructureLine(line);
    if (!lines.empty()) sink.endTable();
    for (const auto& n : notes)
        tell(hooks, n);
}

}  // namespace transfer
