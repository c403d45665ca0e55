// The part of a send command that handles one selected table, after the overwrite question:
// the table's steps of table_send.h, run under the command's failure report, with the type
// customisation dialog as the customisation and the progress bar moving.
//
// Both send commands share it; the direction picks the target, the record set's options and the
// step numbers the error report shows (PushButton3_Click for the send to MySQL,
// PushButton4_Click for the send to Access). Every step runs under the command's failure report and
// the table goes on with the next step after a failure, as the command's other steps do.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "transfer/script_builder.h"
#include "transfer/table_send.h"

class QWidget;

namespace db {
class Connection;
}
namespace typecustom {
class Form3;
}
namespace ui {
enum class Answer;
class Command;
}  // namespace ui

namespace transfer {

// What the table's steps do to the window around them. Empty functions do nothing. The table is
// read and its lines made in a worker thread (ui/worker.h) while the window keeps handling
// events; every hook but `cancelled` is called on the user-interface thread, and the failure
// reports and the customisation dialog are shown there.
struct TableWindowHooks {
    QWidget* dialogParent = nullptr;                  // the customisation dialog's owner
    std::function<void(double percent)> setProgress;  // 0..100, the share of rows written
    std::function<void()> resetProgress;              // value 0 and the text "Progress Bar"
    std::function<void()> removeFromTargetList;       // ListRemoveItem on the target's list
    std::function<void()> restoreCursor;              // the normal pointer over the browser
    // Asked in the worker before each row: true ends the table (and the send) as Cancelled.
    std::function<bool()> cancelled;
    std::function<void(const std::string&)> note;  // a sentence for the review's Notes
};

// Runs the table's steps. `answer` is the overwrite answer (none: the table is not on the target
// side; ui::Answer::Yes: overwrite it); `customise` whether the customisation box is ticked.
// `statement` is the command's current statement, which its failure report shows after "sql: "
// (attach it to `cmd`); it holds the last statement made when the function returns. On Cancelled
// the connection has been closed and nothing was added for this table. On Refused (a name Access
// cannot hold) a message said why and nothing was added. `keys`: the send carries keys and
// indexes ("Send keys and indexes"); `features`: those of the Access file of an Access target.
TableResult transferTable(ui::Command& cmd, Direction direction, db::Connection& connection,
                          const std::string& name, std::optional<ui::Answer> answer, bool customise,
                          typecustom::Form3& form3, ScriptBuilder& script, std::string& statement,
                          const TableWindowHooks& hooks, SendKeys* keys = nullptr,
                          const db::AccessFileFeatures& features = {});

}  // namespace transfer
