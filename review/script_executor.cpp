// The script runner: groups, merged INSERTs, replays and the failure result.
#include "review/script_executor.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/connection.h"
#include "db/error.h"
#include "review/statement_shape.h"

namespace review {

namespace {

using Clock = std::chrono::steady_clock;
using Status = ExecutionResult::Status;

// Ends the run with `result`; thrown inside the runner only.
struct Stop {
    ExecutionResult result;
};

bool isTransactionControl(std::string_view keyword, std::string_view line) {
    static constexpr std::string_view kControl[] = {
        "START", "BEGIN", "COMMIT", "ROLLBACK", "SAVEPOINT", "RELEASE",
        "XA",    "LOCK",  "UNLOCK", "CALL",     "EXECUTE",   "HANDLER",
    };
    for (std::string_view k : kControl)
        if (keyword == k) return true;
    if (keyword == "SET" || keyword.empty())
        return containsIgnoringCase(line, "AUTOCOMMIT") ||
               containsIgnoringCase(line, "TRANSACTION") || containsIgnoringCase(line, "COMMIT") ||
               containsIgnoringCase(line, "ROLLBACK");
    return false;
}

bool isPlainDataStatement(std::string_view keyword) {
    return keyword == "INSERT" || keyword == "UPDATE" || keyword == "DELETE" ||
           keyword == "REPLACE" || keyword == "SELECT";
}

bool isCommonStatement(std::string_view keyword) {
    return isPlainDataStatement(keyword) || keyword == "CREATE" || keyword == "DROP" ||
           keyword == "ALTER" || keyword == "RENAME" || keyword == "TRUNCATE";
}

// A text as a MySQL string literal.
std::string quoteLiteral(std::string_view s, const SqlDialect& d) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += '\'';
        if (c == '\\' && d.backslashEscapes) out += '\\';
        out += c;
    }
    out += '\'';
    return out;
}

std::string valueText(const db::Value& v) {
    return v.isNull() ? std::string() : v.toDebugString();
}

class Runner {
  public:
    Runner(db::Connection& c, ScriptLines& lines, const ExecutionSettings& s,
           const ExecutionHooks& hooks)
        : conn_(c),
          text_(lines),
          s_(s),
          progress_(hooks.progress),
          cancelled_(hooks.cancelled),
          count_(lines.knownCount()) {
        grouping_ = s.transactions;
        merging_ =
            s.transactions && s.mergeInserts && s.direction == transfer::Direction::AccessToMySql;
        mergeBytes_ = s.mergeBytes;
    }

    ExecutionResult run() {
        try {
            if (s_.direction == transfer::Direction::AccessToMySql && has(0)) prepareMySqlSession();
            std::size_t i = 0;
            while (has(i)) {
                if (cancelRequested()) {
                    commitOpen();
                    ExecutionResult r;
                    r.status = Status::Cancelled;
                    r.line = i;
                    r.description = "The run was stopped before this line.";
                    throw Stop{std::move(r)};
                }
                announce(i);
                const std::string_view line = text_.line(i);
                if (line.empty()) {
                    ++i;
                    continue;
                }
                std::optional<LiteralInsert> insert;
                if (merging_) insert = parseLiteralInsert(line, dialect_);
                if (insert && tableGroupable(*insert, i)) {
                    i = runMergedFrom(i, *insert);
                } else if (grouping_ && groupableWithoutMerge(line, insert, i)) {
                    runGrouped(i);
                    ++i;
                } else {
                    commitOpen();
                    runAlone(i);
                    ++i;
                }
                commitIfDue();
                releaseBefore(i);
            }
            commitOpen();
            commitWhatTheScriptLeftOpen();
            stopIfTheSourceFailed();
            result_.status = Status::Completed;
            return result_;
        } catch (Stop& stop) {
            stop.result.statements = result_.statements;
            if (stop.result.lineText.empty()) stop.result.lineText = lineTextOf(stop.result.line);
            return stop.result;
        }
    }

  private:
    // ---- the lines ----

    // Whether line `i` exists. A source that cannot make it ends the run: what ran before is
    // committed and in effect.
    // Whether line `i` exists. A source that cannot make it is noted, and the line counts as
    // the end of the lines: what was gathered before it still runs, then the run ends with the
    // failure, everything before the line committed and in effect.
    bool has(std::size_t i) {
        if (sourceFailure_) return i < sourceFailure_->line;
        try {
            return text_.has(i);
        } catch (const std::exception& e) {
            sourceFailure_ = SourceFailure{i, e.what()};
        } catch (...) {
            sourceFailure_ = SourceFailure{i, "The statements could not be made."};
        }
        return false;
    }

    // After the last line: the source's failure, if it had one.
    void stopIfTheSourceFailed() {
        if (!sourceFailure_) return;
        ExecutionResult r;
        r.status = Status::SourceFailed;
        r.line = sourceFailure_->line;
        r.description = sourceFailure_->description;
        throw Stop{std::move(r)};
    }

    bool cancelRequested() { return cancelled_ && cancelled_(); }

    // Tells the source which lines are no longer needed: those before the open transaction's
    // first line, or before `next` when none is open.
    void releaseBefore(std::size_t next) {
        const std::size_t first = inTrx_ && !trxLines_.empty() ? trxLines_.front() : next;
        if (first > released_) {
            released_ = first;
            text_.release(first);
        }
    }

    // The text of line `i` for the result, when the source still holds it.
    std::string lineTextOf(std::size_t i) {
        if (lastControlLine_ && *lastControlLine_ == i) return lastControlText_;
        if (scriptTrxFirst_ && *scriptTrxFirst_ == i) return scriptTrxFirstText_;
        if (i < released_) return {};
        try {
            if (text_.has(i)) return std::string(text_.line(i));
        } catch (...) {
        }
        return {};
    }

    // ---- progress ----

    void announce(std::size_t i) {
        if (!progress_) return;
        const auto now = Clock::now();
        if (i + 1 != count_ && announcedOnce_ && now - lastAnnounce_ < s_.progressInterval) return;
        announcedOnce_ = true;
        lastAnnounce_ = now;
        progress_({i, count_, i < count_ ? progressValue(i, count_) : 0});
    }

    // ---- failures ----

    [[noreturn]] void stop(Status status, std::size_t line, const db::Error& e) {
        ExecutionResult r;
        r.status = status;
        r.line = line;
        r.errorNumber = e.number();
        r.description = e.description();
        throw Stop{std::move(r)};
    }

    // The first line that may not be in effect once the open transaction is gone: ours, or one
    // the script opened itself.
    std::size_t firstUncommitted(std::size_t current) const {
        std::size_t first = current;
        if (inTrx_ && !trxLines_.empty()) first = std::min(trxLines_.front(), first);
        if (scriptTrxFirst_) first = std::min(*scriptTrxFirst_, first);
        return first;
    }

    [[noreturn]] void lost(std::size_t current, const db::Error& e) {
        const std::size_t first = firstUncommitted(current);
        inTrx_ = false;
        trxLines_.clear();
        stop(Status::ConnectionLost, first, e);
    }

    // ---- the MySQL session ----

    db::Value scalar(std::string_view sql, std::size_t column = 0) {
        auto rs = conn_.execute(sql);
        if (!rs || rs->state() == db::kAdStateClosed || rs->eof()) return db::Value::null();
        return rs->field(column).value();
    }

    void prepareMySqlSession() {
        try {
            auto rs =
                conn_.execute("SELECT @@SESSION.sql_mode, @@max_allowed_packet, @@autocommit");
            if (rs && rs->state() != db::kAdStateClosed && !rs->eof()) {
                readDialect(valueText(rs->field(0).value()));
                const long long packet = std::atoll(valueText(rs->field(1).value()).c_str());
                if (packet > 0)
                    mergeBytes_ = std::min<std::size_t>(
                        mergeBytes_, static_cast<std::size_t>(std::max(packet / 2, 1024LL)));
                // Every line the run reports as in effect must be committed: a session that
                // does not commit by itself would lose them when it closes.
                if (valueText(rs->field(2).value()) == "0") conn_.execute("SET autocommit=1");
            }
        } catch (const db::Error& e) {
            if (e.number() == db::errc::kConnectionLost) lost(firstNonEmptyLine(), e);
            grouping_ = false;  // the session cannot be read: run every line on its own
            merging_ = false;
        }
    }

    std::size_t firstNonEmptyLine() {
        std::size_t i = 0;
        while (has(i + 1) && text_.line(i).empty())
            ++i;
        return i;
    }

    void readDialect(const std::string& sqlMode) {
        dialect_.backslashEscapes = !containsIgnoringCase(sqlMode, "NO_BACKSLASH_ESCAPES");
        dialect_.ansiQuotes = containsIgnoringCase(sqlMode, "ANSI_QUOTES");
    }

    // Whether a rollback undoes every effect of an INSERT into the table: InnoDB, no triggers.
    bool tableGroupable(const LiteralInsert& ins, std::size_t line) {
        if (!grouping_) return false;
        if (s_.direction != transfer::Direction::AccessToMySql) return true;
        std::string key = ins.schema;
        key.push_back('\0');
        key += ins.table;
        if (auto it = tables_.find(key); it != tables_.end()) return it->second;
        bool ok = false;
        try {
            const std::string schema =
                ins.schema.empty() ? std::string("DATABASE()") : quoteLiteral(ins.schema, dialect_);
            auto rs = conn_.execute(
                "SELECT t.TABLE_NAME, t.ENGINE, (SELECT COUNT(*) FROM information_schema.TRIGGERS "
                "g "
                "WHERE g.EVENT_OBJECT_SCHEMA = t.TABLE_SCHEMA AND g.EVENT_OBJECT_TABLE = "
                "t.TABLE_NAME) FROM information_schema.TABLES t WHERE t.TABLE_SCHEMA = " +
                schema + " AND t.TABLE_NAME = " + quoteLiteral(ins.table, dialect_));
            while (rs && rs->state() != db::kAdStateClosed && !rs->eof()) {
                if (valueText(rs->field(0).value()) == ins.table) {
                    std::string engine = valueText(rs->field(1).value());
                    for (char& c : engine)
                        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    ok = engine == "innodb" && valueText(rs->field(2).value()) == "0";
                }
                rs->moveNext();
            }
        } catch (const db::Error& e) {
            if (e.number() == db::errc::kConnectionLost) lost(line, e);
            ok = false;
        }
        tables_.emplace(std::move(key), ok);
        return ok;
    }

    bool groupableWithoutMerge(std::string_view line, const std::optional<LiteralInsert>& insert,
                               std::size_t i) {
        if (s_.direction == transfer::Direction::MySqlToAccess)
            return leadingKeyword(line) == "INSERT";
        // MySQL: a literal INSERT into a table that a rollback restores (merging may be off).
        if (!insert) {
            const std::optional<LiteralInsert> parsed = parseLiteralInsert(line, dialect_);
            return parsed && tableGroupable(*parsed, i);
        }
        return tableGroupable(*insert, i);
    }

    // After line `i` ran on its own: what it may have changed about the session.
    void afterAlone(std::size_t i) {
        const std::string_view line = text_.line(i);
        const std::string keyword = leadingKeyword(line);
        noteScriptTransaction(i);
        if (isTransactionControl(keyword, line)) {
            // From here on the script handles transactions itself; ours would interfere.
            grouping_ = false;
            merging_ = false;
            lastControlLine_ = i;
            lastControlText_ = std::string(line);
        }
        if (!isPlainDataStatement(keyword)) tables_.clear();
        if (s_.direction == transfer::Direction::AccessToMySql && (grouping_ || merging_) &&
            !isCommonStatement(keyword)) {
            try {
                readDialect(valueText(scalar("SELECT @@SESSION.sql_mode")));
            } catch (const db::Error&) {
                grouping_ = false;
                merging_ = false;
            }
        }
    }

    // A line run on its own may leave a transaction of the script's own open (START
    // TRANSACTION, or any statement once the script turned autocommit off): its lines are in
    // effect only once it commits, so a lost session undoes them. Remember where it began; a
    // line that ends it (COMMIT, ROLLBACK, a statement that commits implicitly) forgets it.
    void noteScriptTransaction(std::size_t i) {
        if (s_.direction != transfer::Direction::AccessToMySql) return;
        if (!conn_.inTransaction()) {
            scriptTrxFirst_.reset();
        } else if (!scriptTrxFirst_) {
            scriptTrxFirst_ = i;
            // Kept apart: the source may let the line go long before a loss names it.
            scriptTrxFirstText_ = std::string(text_.line(i));
        }
    }

    // ---- transactions ----

    // Opens a transaction for line `i` unless one is open. Returns false when the connection
    // offers none; grouping is then off.
    bool ensureTransaction(std::size_t i) {
        if (inTrx_) return true;
        try {
            conn_.beginTrans();
        } catch (const db::Error& e) {
            if (e.number() == db::errc::kConnectionLost) lost(i, e);
            grouping_ = false;
            merging_ = false;
            return false;
        }
        inTrx_ = true;
        trxStart_ = Clock::now();
        trxLines_.clear();
        trxBytes_ = 0;
        return true;
    }

    void commitOpen() {
        if (!inTrx_) return;
        const std::size_t first = trxLines_.empty() ? 0 : trxLines_.front();
        const bool any = !trxLines_.empty();
        inTrx_ = false;
        try {
            conn_.commitTrans();
        } catch (const db::Error& e) {
            trxLines_.clear();
            if (!any) return;
            stop(e.number() == db::errc::kConnectionLost ? Status::ConnectionLost
                                                         : Status::CommitFailed,
                 first, e);
        }
        trxLines_.clear();
    }

    void rollbackOpen() {
        if (!inTrx_) return;
        inTrx_ = false;
        try {
            conn_.rollbackTrans();
        } catch (const db::Error& e) {
            if (e.number() == db::errc::kConnectionLost) {
                const std::size_t first = trxLines_.empty() ? 0 : trxLines_.front();
                trxLines_.clear();
                stop(Status::ConnectionLost, first, e);
            }
        }
        trxLines_.clear();
    }

    // A script that turned autocommit off or began a transaction without ending it would lose its
    // last lines when the connection closes, after the run said they ran: commit them. (With
    // nothing open, COMMIT does nothing.)
    void commitWhatTheScriptLeftOpen() {
        if (!lastControlLine_ || s_.direction != transfer::Direction::AccessToMySql) return;
        if (!scriptTrxFirst_ && !conn_.inTransaction()) return;  // nothing is open
        try {
            conn_.execute("COMMIT");
        } catch (const db::Error& e) {
            stop(e.number() == db::errc::kConnectionLost ? Status::ConnectionLost
                                                         : Status::CommitFailed,
                 scriptTrxFirst_.value_or(*lastControlLine_), e);
        }
        scriptTrxFirst_.reset();
    }

    void commitIfDue() {
        if (!inTrx_) return;
        if (trxLines_.size() >= s_.groupLines || trxBytes_ >= s_.groupBytes ||
            Clock::now() - trxStart_ >= s_.groupTime)
            commitOpen();
    }

    // ---- running lines ----

    void send(std::string_view sql) {
        ++result_.statements;
        conn_.execute(sql);
    }

    // Line `i` on its own, committed by the server (autocommit).
    void runAlone(std::size_t i) {
        const std::string_view line = text_.line(i);
        try {
            send(line);
        } catch (const db::Error& e) {
            if (e.number() == db::errc::kConnectionLost) lost(i, e);
            stop(Status::Rejected, i, e);
        }
        afterAlone(i);
    }

    // Line `i` inside the open transaction (opened if need be).
    void runGrouped(std::size_t i) {
        if (!ensureTransaction(i)) {
            runAlone(i);
            return;
        }
        try {
            send(text_.line(i));
        } catch (const db::Error& e) {
            if (e.number() == db::errc::kConnectionLost) lost(i, e);
            if (e.number() == db::errc::kTransactionRolledBack) {
                // The server undid the whole transaction (a deadlock, say): run its lines again,
                // each on its own, then this one.
                std::vector<std::size_t> undone = std::move(trxLines_);
                trxLines_.clear();
                inTrx_ = false;
                for (std::size_t k : undone)
                    runAlone(k);
                runAlone(i);
                return;
            }
            // Only the statement was undone: what ran before it in the group stays, committed.
            commitOpen();
            stop(Status::Rejected, i, e);
        }
        trxLines_.push_back(i);
        trxBytes_ += text_.line(i).size();
    }

    // Gathers the literal INSERT lines from `first` on that share its head and runs them as one
    // statement. Returns the line after the last one taken.
    std::size_t runMergedFrom(std::size_t first, const LiteralInsert& ins) {
        std::vector<std::size_t> lines{first};
        sql_.assign(ins.head);
        sql_.append(ins.values);
        std::size_t next = first + 1;
        while (lines.size() < s_.mergeLines && has(next) && !cancelRequested()) {
            const std::string_view line = text_.line(next);
            if (line.empty()) {
                announce(next);
                ++next;
                continue;
            }
            if (line.size() < ins.head.size() || line.compare(0, ins.head.size(), ins.head) != 0)
                break;
            std::optional<LiteralInsert> more = parseLiteralInsert(line, dialect_);
            if (!more || more->head != ins.head) break;
            if (sql_.size() + 1 + more->values.size() > mergeBytes_) break;
            announce(next);
            sql_.push_back(',');
            sql_.append(more->values);
            lines.push_back(next);
            ++next;
        }
        // Empty lines at the end of the run are left to the main loop.
        while (next > lines.back() + 1)
            --next;

        if (lines.size() == 1) {
            runGrouped(first);
            return next;
        }
        if (!ensureTransaction(first)) {
            for (std::size_t k : lines)
                runAlone(k);
            return next;
        }
        bool replay = false;
        bool undoGroup = false;
        try {
            send(sql_);
            const db::Value warnings = scalar("SELECT @@warning_count");
            if (valueText(warnings) != "0") {
                replay = true;  // the rows may differ from those of single-row statements
                undoGroup = true;
            }
        } catch (const db::Error& e) {
            if (e.number() == db::errc::kConnectionLost) lost(first, e);
            replay = true;
            undoGroup = e.number() == db::errc::kTransactionRolledBack;
            if (undoGroup) inTrx_ = false;  // the server ended it already
        }
        if (!replay) {
            trxLines_.insert(trxLines_.end(), lines.begin(), lines.end());
            trxBytes_ += sql_.size();
            return next;
        }
        std::vector<std::size_t> again;
        if (undoGroup) {
            again = trxLines_;
            rollbackOpen();
            trxLines_.clear();
        }
        again.insert(again.end(), lines.begin(), lines.end());
        for (std::size_t k : again)
            runGrouped(k);
        return next;
    }

    db::Connection& conn_;
    ScriptLines& text_;
    const ExecutionSettings& s_;
    const ProgressCallback& progress_;
    const std::function<bool()>& cancelled_;
    const std::size_t count_;  // 0 when the source does not know it
    std::size_t released_ = 0;
    struct SourceFailure {
        std::size_t line;
        std::string description;
    };
    std::optional<SourceFailure> sourceFailure_;

    ExecutionResult result_;
    SqlDialect dialect_;
    bool grouping_ = true;
    bool merging_ = true;
    std::size_t mergeBytes_ = 0;
    std::unordered_map<std::string, bool> tables_;

    std::optional<std::size_t> lastControlLine_;  // the last line that handled transactions
    std::optional<std::size_t> scriptTrxFirst_;   // the first line of the script's open transaction
    std::string scriptTrxFirstText_;
    std::string lastControlText_;

    bool inTrx_ = false;
    Clock::time_point trxStart_;
    std::vector<std::size_t> trxLines_;
    std::size_t trxBytes_ = 0;  // bytes of the open transaction's lines

    bool announcedOnce_ = false;
    Clock::time_point lastAnnounce_;
    std::string sql_;
};

}  // namespace

std::string failureNotes(const ExecutionResult& result, std::string_view line) {
    std::string notes(line);
    notes.append(kCrLf);
    notes.append(result.description);
    const std::string n = std::to_string(result.line + 1);
    if (result.status == Status::ConnectionLost) {
        notes.append(kCrLf);
        notes.append("The connection to the database was lost. The lines before line " + n +
                     " are in effect; line " + n +
                     " (shown above) and the lines after it may not be.");
    } else if (result.status == Status::CommitFailed) {
        notes.append(kCrLf);
        notes.append("The database could not commit the changes. The lines before line " + n +
                     " are in effect; line " + n +
                     " (shown above) and the lines after it may not be.");
    }
    return notes;
}

ExecutionResult executeScript(db::Connection& connection, const ScriptText& text,
                              const ExecutionSettings& settings, const ProgressCallback& progress) {
    TextLines lines(text);
    ExecutionHooks hooks;
    hooks.progress = progress;
    return Runner(connection, lines, settings, hooks).run();
}

ExecutionResult executeScript(db::Connection& connection, ScriptLines& lines,
                              const ExecutionSettings& settings, const ExecutionHooks& hooks) {
    return Runner(connection, lines, settings, hooks).run();
}

}  // namespace review
