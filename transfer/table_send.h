// One table of a send, the same for the windows and the command line: open the source table,
// make its CREATE TABLE statement (by the default mapping, or by the column types the caller's
// customisation gives), write the DROP line when the table is to be overwritten, and one INSERT
// line per row, with the empty lines of the script's layout.
//
// Nothing here touches a window. What differs between callers comes in from outside:
//   - StepRunner: how a step that fails is handled. The windows' commands report it with the
//     step's number and go on with the next step; the command line stops at the first failure.
//   - TableSendHooks: progress (rows written of rows), the customisation (the dialog in the
//     windows, the proposals taken as they stand on the command line), what the target list
//     does, and a cancellation test asked before each row.
//   - ScriptSink: where the lines go. The windows collect them for the review window; the
//     command line writes them to a file, or hands them to the script runner as they come.
// The step numbers are those of the two browser commands (PushButton3_Click for the send to
// MySQL, PushButton4_Click for the send to Access); callers that report no steps ignore them.
//
// With keys and indexes (TableSendOptions::keys), the table's structure is read from the source
// first; its CREATE TABLE statement gains what its columns need (NOT NULL, DEFAULT, COUNTER…)
// whichever way the statement is made, its rows keep an empty text as '' rather than NULL,
// and its keys and indexes go after its rows through the same sink (table_keys.h). The foreign
// keys wait for the end of the send (send_keys.h).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "db/access_features.h"
#include "transfer/column_mapping.h"
#include "transfer/direction.h"
#include "transfer/script_sink.h"

namespace db {
class Connection;
class Recordset;
}  // namespace db

namespace transfer {

class SendKeys;

// The query that reads the whole source table: "SELECT * FROM `name`", the name quoted for the
// source (backquotes doubled for MySQL; for Access a name the file cannot hold is refused with
// db::Error).
std::string sourceTableQuery(Direction direction, std::string_view table);

// Why the table cannot go to an Access target: its name, or (when `columns` is not null) one of
// its columns' names, is one Access cannot hold; "" when nothing stands in the way. The sentence
// names the table and the column.
std::string accessNamesRefusal(std::string_view table, const db::Recordset* columns);

// How steps run.
class StepRunner {
  public:
    virtual ~StepRunner() = default;
    virtual void step(int number, const std::function<void()>& body) = 0;
    // A condition; when evaluating it fails, the runner decides what it counts as.
    virtual bool test(int number, const std::function<bool()>& condition) = 0;
};

// Every step run as it stands: the first failure goes to the caller.
class PlainSteps : public StepRunner {
  public:
    void step(int, const std::function<void()>& body) override { body(); }
    bool test(int, const std::function<bool()>& condition) override { return condition(); }
};

// The step numbers of one direction. The two commands number the same steps differently.
struct SendSteps {
    int openRecordset, head, testCustomise, setCancelled, setType, setSql, setTableName, showDialog,
        testCancelled, closeConnection, endCommand, takeSql, testUnchanged;
    int customMappingFirst, customMappingLast;  // default mapping after an unchanged dialog
    int mappingFirst, mappingLast;              // default mapping without customisation
    int testOverwrite, appendDrop, removeFromList, appendCreate, lastRow, rowLoop, yield, progress,
        rowStatement, appendRow, moveNext, endTable, resetProgress, closeRecordset;
};
const SendSteps& sendSteps(Direction direction);

struct TableSendHooks {
    // The customisation, when asked for: given the statement head (CREATE TABLE `T`(), runs its
    // own steps and leaves the statement it returns in `statement` (the head itself when the
    // default mapping is to complete it). Each column definition it makes is `decorate`d when
    // the decorator is set (keys and indexes go with the send). False when it was cancelled:
    // the table and the whole send end there.
    std::function<bool(StepRunner& steps, std::string& statement, const ColumnDecorator& decorate)>
        customise;
    std::function<void(long done, long total)> progress;  // rows written (total < 0: unknown)
    std::function<void()> resetProgress;                  // the table is done
    std::function<void()> removeFromTargetList;           // the DROP line is written
    std::function<void()> restoreCursor;                  // the normal pointer again
    std::function<void()> processEvents;                  // pending window events may run
    std::function<bool()> cancelled;  // asked before each row; true ends the table
    // Called instead of writing anything when the table cannot go to the target (a name Access
    // cannot hold); the table is left out.
    std::function<void(const std::string& sentence)> refused;
    // A sentence for the notes: something the send could not carry as it stands (a default
    // left out, values sent as NULL). The review window's Notes; standard error on the command
    // line.
    std::function<void(const std::string& sentence)> note;
};

struct TableSendOptions {
    bool overwrite = false;  // the target holds the table and is to lose it: DROP TABLE first
    bool customise = false;  // hooks.customise makes the statement
    // Read the source forward only, without holding its rows (MySQL sources: the rows stream
    // from the server as they are written). The row count then comes from a count of its own.
    bool forwardOnly = false;
    // Keys and indexes go with the table ("Send keys and indexes", --keys); null: they do not,
    // and the lines are those of a send of columns and rows alone.
    SendKeys* keys = nullptr;
    // What the Access file of an Access target holds (its column types follow).
    db::AccessFileFeatures accessFeatures;
};

enum class TableResult {
    Added,      // the table's lines are written (or as much of them as could be made)
    Cancelled,  // the customisation was cancelled or hooks.cancelled() said so: the send ends
    Refused,    // hooks.refused() was told why; nothing was written for the table
};

// Runs the table's steps on `source` (open). `statement` is the current statement, which a
// failure report shows; it holds the last statement made when the function returns.
TableResult sendTable(StepRunner& steps, Direction direction, db::Connection& source,
                      const std::string& name, const TableSendOptions& options, ScriptSink& sink,
                      std::string& statement, const TableSendHooks& hooks);

// After the last table of a send with keys: the foreign keys between its tables, then an empty
// line (nothing when there are none); what is left out goes to hooks.note.
void writeForeignKeys(SendKeys& keys, ScriptSink& sink, const TableSendHooks& hooks);

}  // namespace transfer
