// Where the lines of a send's script go: the review window's text (ScriptBuilder), a file
// (dunmorrow-cli --script), or the script runner while the script is made (StreamedScript).
#pragma once

#include <string_view>

namespace transfer {

// Where a table's lines go, each written with the CR LF after it.
class ScriptSink {
  public:
    virtual ~ScriptSink() = default;
    // "DROP TABLE `T`" and an empty line.
    virtual void appendDropTable(std::string_view table) = 0;
    // The CREATE TABLE statement and an empty line.
    virtual void appendCreateTable(std::string_view statement) = 0;
    // One statement as one line (an INSERT line).
    virtual void appendStatementLine(std::string_view statement) = 0;
    // A line of a table's structure (its keys and indexes, after its rows; the foreign keys,
    // after every table): a statement line that is no row.
    virtual void appendStructureLine(std::string_view statement) { appendStatementLine(statement); }
    // The empty line after a table's rows.
    virtual void endTable() = 0;
    // `done` rows of `total` are written (total < 0: not known); a sink may reserve room.
    virtual void rowsWritten(long /*done*/, long /*total*/) {}
};

}  // namespace transfer
