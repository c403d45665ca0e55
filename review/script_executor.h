// Executing a statement text line by line on an open connection, fast.
//
// The promise is that of running every non-empty line on its own, in order, each committed by
// the database as it goes, and stopping at the first line the database rejects: every line
// before the rejected one is in effect, the rejected one is not, and nothing after it ran. Empty
// lines are skipped; every other line is sent exactly as written, as one statement.
//
// To keep that promise without paying one commit per line, lines are grouped into
// transactions, committed after a number of lines or a span of time, before any line that is
// not groupable, before a failure is reported and at the end. Only lines whose effect a
// rollback undoes are grouped: for MySQL the literal INSERT lines (see statement_shape.h) into
// InnoDB tables without triggers; for Access every INSERT line (the engine undoes a rejected
// statement whole). Everything else (DDL, which the server commits itself, and any statement
// the runner does not know) runs on its own after the open group is committed. A line that
// changes the session's transaction handling (START TRANSACTION, COMMIT, SET autocommit, LOCK
// TABLES, CALL, ...) turns grouping off for the rest of the run, and the run ends with a COMMIT,
// so that lines such a script leaves in an open transaction are in effect when it completes.
//
// For MySQL, consecutive literal INSERT lines with the same head are also sent as one
// multi-row statement. When that statement fails, or succeeds with warnings (a multi-row INSERT
// turns some errors of a single-row one into warnings), its lines are run again one by one, so
// the line reported and the rows in effect are exactly those of running them singly.
//
// When the connection is lost mid-run (between lines or while one runs), the result says so and
// names the first line that may not be in effect: every line before it is. Lines of a
// transaction still open when the session died (the runner's own group, or one the script
// opened with START TRANSACTION or by turning autocommit off) count as not in effect, as the
// server undoes them. Nothing is retried on another session.
//
// The lines may come from a text held whole (the review window's) or be made while the run goes
// (ScriptLines: a send that writes and executes table by table): the runner asks for each line in
// order, goes back only to lines of the transaction still open, and says which lines it will not
// ask for again, so that a source can let them go and a run of any length holds only a
// transaction's worth of lines. Transactions also end once their lines add up to groupBytes.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "review/script_text.h"
#include "transfer/direction.h"

namespace db {
class Connection;
}

namespace review {

struct ExecutionSettings {
    // Which database the script runs on: the MySQL server for a send to MySQL, the Access file
    // for a send to Access.
    transfer::Direction direction = transfer::Direction::AccessToMySql;
    bool transactions = true;  // group lines into transactions
    bool mergeInserts = true;  // MySQL only: merge literal INSERT lines of one table
    std::size_t groupLines = 5000;
    std::chrono::milliseconds groupTime{1000};
    std::size_t groupBytes = std::size_t{16} << 20;  // lines of one transaction, added up
    std::size_t mergeBytes = std::size_t{1} << 20;   // also kept below the server's packet limit
    std::size_t mergeLines = 10000;
    // Least time between two progress calls; the last line is always reported.
    std::chrono::milliseconds progressInterval{40};
};

struct ExecutionProgress {
    std::size_t line = 0;   // the line about to run, from 0
    std::size_t count = 0;  // lines in all
    int percent = 0;        // progressValue(line, count)
};

struct ExecutionResult {
    enum class Status {
        Completed,       // every line ran and is in effect
        Rejected,        // `line` was rejected; the lines before it are in effect
        ConnectionLost,  // the connection went away; the lines before `line` are in effect,
                         // `line` and the ones after it may not be
        CommitFailed,    // a commit failed; the lines before `line` are in effect, `line` and
                         // the ones after it (up to where the run stopped) are not
        Cancelled,       // the caller asked the run to stop before `line`; the lines before it
                         // are in effect
        SourceFailed,    // the lines' source could not make `line` (`description` says why);
                         // the lines before it are in effect
    };
    Status status = Status::Completed;
    std::size_t line = 0;
    long errorNumber = 0;
    std::string description;
    std::size_t statements = 0;  // statements sent for lines of the script
    std::string lineText;        // the text of `line` when the runner still had it
};

using ProgressCallback = std::function<void(const ExecutionProgress&)>;

// Lines made as the run asks for them.
class ScriptLines {
  public:
    virtual ~ScriptLines() = default;
    // True when line `i` exists (made now if need be). Asked with i going up one at a time, or
    // for a line already made. May throw: the run then ends with SourceFailed.
    virtual bool has(std::size_t i) = 0;
    // Line `i` without its CR LF. REQUIRES: has(i) was true and i is not below the last release().
    // The view stays valid until release() passes it.
    virtual std::string_view line(std::size_t i) = 0;
    // Lines below `first` will not be asked for again.
    virtual void release(std::size_t /*first*/) {}
    // The number of lines in all when known before the run (for progress), else 0.
    virtual std::size_t knownCount() const { return 0; }
};

// The lines of a text held whole.
class TextLines : public ScriptLines {
  public:
    explicit TextLines(const ScriptText& text) : text_(text) {}
    bool has(std::size_t i) override { return i < text_.scriptLineCount(); }
    std::string_view line(std::size_t i) override { return text_.line(i); }
    std::size_t knownCount() const override { return text_.scriptLineCount(); }

  private:
    const ScriptText& text_;
};

struct ExecutionHooks {
    // Called before lines run, as executeScript's `progress` (line counts are 0 when the source
    // does not know them).
    ProgressCallback progress;
    // Asked before every line (and while lines are gathered into one statement): true stops
    // the run (Cancelled) before a line, with the lines before it in effect.
    std::function<bool()> cancelled;
};

// Runs the lines of `text` on `connection`, which must be open. `progress` (optional) is called
// before lines run, at most once per `progressInterval` and always for the last line; it may let
// window events run, but must not change `text`. Failures of the database are reported in the
// result, not thrown; an exception from `progress` ends the run and is passed on.
ExecutionResult executeScript(db::Connection& connection, const ScriptText& text,
                              const ExecutionSettings& settings,
                              const ProgressCallback& progress = {});
// The same over lines made while the run goes.
ExecutionResult executeScript(db::Connection& connection, ScriptLines& lines,
                              const ExecutionSettings& settings, const ExecutionHooks& hooks = {});

// What the review window's "Notes" box says about a run that did not complete: `line` (the text
// of result.line), CR LF and the error; when the connection was lost or a commit failed, a
// further CR LF and a sentence that names, by its number counted from 1, the first line that may
// not be in effect.
std::string failureNotes(const ExecutionResult& result, std::string_view line);

}  // namespace review
