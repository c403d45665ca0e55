// The two send commands.
#include "app/cli/send_commands.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <ostream>

#include "app/cli/args.h"
#include "app/cli/saved_logins.h"
#include "db/access_features.h"
#include "db/connection.h"
#include "db/error.h"
#include "db/jet/write/new_database.h"
#include "db/sql_names.h"
#include "db/table_listing.h"
#include "review/script_executor.h"
#include "transfer/column_mapping.h"
#include "transfer/script_builder.h"
#include "transfer/send_keys.h"
#include "transfer/streamed_script.h"
#include "transfer/table_send.h"
#include "typecustom/column_proposals.h"

namespace cli {

namespace {

using transfer::Direction;
using Clock = std::chrono::steady_clock;

// Ends a send with an exit status and the sentence that says why.
struct SendFailure {
    int status;
    std::string message;
};

[[noreturn]] void nothingChanged(const std::string& message) {
    throw SendFailure{2, message};
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// ---- the lists of tables, as the browser's lists hold them ----

std::vector<std::string> accessTables(db::Connection& cn) {
    std::vector<std::string> names;
    auto rs = cn.openSchema(db::kAdSchemaTables);
    for (; !rs->eof(); rs->moveNext()) {
        const db::Value& type = rs->field("TABLE_TYPE").value();
        if (type.kind() != db::Value::Kind::Text || type.asText() != "TABLE") continue;
        const db::Value& name = rs->field("TABLE_NAME").value();
        names.push_back(name.kind() == db::Value::Kind::Text ? name.asText()
                                                             : name.toDebugString());
    }
    return names;
}

// "SHOW TABLES;": base tables and views, as the MySQL list shows them.
std::vector<std::string> mySqlTables(db::Connection& cn) {
    std::vector<std::string> names;
    auto rs = cn.execute("SHOW TABLES;");
    for (; rs && rs->state() != db::kAdStateClosed && !rs->eof(); rs->moveNext()) {
        const db::Value& v = rs->field(std::size_t{0}).value();
        if (v.kind() == db::Value::Kind::Binary) {
            const db::Bytes& b = v.asBinary();
            names.emplace_back(b.begin(), b.end());
        } else {
            names.push_back(v.kind() == db::Value::Kind::Text ? v.asText() : v.toDebugString());
        }
    }
    return names;
}

// The browser's lists compare names without regard to letter case.
std::string lowered(std::string_view s) {
    return db::listFoldedName(s);
}

// ---- options ----

struct SendRequest {
    Direction direction = Direction::AccessToMySql;
    db::LoginFields login;
    std::vector<std::string> tables;
    bool all = false;
    bool overwrite = false;
    bool proposed = false;
    bool keys = false;
    bool quiet = false;
    std::optional<std::string> scriptFile;
    std::string format;  // --format, for a new Access file
};

const std::vector<OptionRule> kSendOptions = {
    {"--all", false},
    {"--overwrite", false},
    {"--proposed-types", false},
    {"--keys", false},
    {"--quiet", false},
    {"--saved", false},
    {"--script", true},
    {"--format", true},
    {"--mysql-password-file", true},
    {"--access-password-file", true},
};

SendRequest parseRequest(const std::vector<std::string>& args, Direction direction) {
    const Parsed p = parseArgs(args, 0, static_cast<std::size_t>(-1), kSendOptions);
    SendRequest r;
    r.direction = direction;
    r.all = p.has("--all");
    r.overwrite = p.has("--overwrite");
    r.proposed = p.has("--proposed-types");
    r.keys = p.has("--keys");
    r.quiet = p.has("--quiet");
    if (p.has("--script")) r.scriptFile = p.value("--script");
    r.format = p.value("--format");
    if (!r.format.empty() && direction != Direction::MySqlToAccess)
        throw UsageError{"--format is for to-access only"};

    std::vector<std::string> rest = p.positional;
    if (p.has("--saved")) {
        const std::string path = savedLoginsPath();
        const auto saved = readSavedLogins(path);
        if (!saved) nothingChanged("No logins are remembered in \"" + path + "\".");
        r.login = *saved;
    } else {
        if (rest.size() < 2)
            throw UsageError{direction == Direction::AccessToMySql
                                 ? "expected ACCESS_FILE and mysql://USER@HOST:PORT/DATABASE"
                                 : "expected mysql://USER@HOST:PORT/DATABASE and ACCESS_FILE"};
        const std::string& access = direction == Direction::AccessToMySql ? rest[0] : rest[1];
        const std::string& mysql = direction == Direction::AccessToMySql ? rest[1] : rest[0];
        parseMySqlAddress(mysql, r.login);
        r.login.accessPath = access;
        rest.erase(rest.begin(), rest.begin() + 2);
    }
    // Passwords: a file named on the command line, else the environment, else the remembered
    // one (--saved), else none.
    if (p.has("--mysql-password-file"))
        r.login.password = readPasswordFile(p.value("--mysql-password-file"));
    else if (const char* env = std::getenv(kMySqlPasswordVariable))
        r.login.password = env;
    if (p.has("--access-password-file"))
        r.login.accessPassword = readPasswordFile(p.value("--access-password-file"));
    else if (const char* env = std::getenv(kAccessPasswordVariable))
        r.login.accessPassword = env;

    r.tables = rest;
    if (r.all && !r.tables.empty()) throw UsageError{"name tables or give --all, not both"};
    if (!r.all && r.tables.empty()) throw UsageError{"name the tables to send, or give --all"};
    return r;
}

// ---- progress ----

std::string withThousands(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

// What the user sees while tables go: on a terminal one line per table, rewritten in place;
// otherwise one line per finished table; then the summary. Nothing with --quiet.
class Progress {
  public:
    Progress(std::ostream& out, bool quiet, bool terminal)
        : out_(out), quiet_(quiet), terminal_(terminal), start_(Clock::now()) {}

    void table(const std::string& name, long done, long total) {
        if (quiet_ || !terminal_) return;
        if (name != current_) {
            current_ = name;
            tableStart_ = Clock::now();
        }
        const auto now = Clock::now();
        if (now - lastShown_ < std::chrono::milliseconds(100)) return;
        lastShown_ = now;
        out_ << '\r' << name << ": " << withThousands(done);
        if (total >= 0) out_ << " of " << withThousands(total);
        out_ << " rows, " << withThousands(rate(done)) << " rows/s\x1b[K" << std::flush;
    }

    void finished(const std::string& name, long rows) {
        ++tables_;
        rows_ += rows;
        if (quiet_) return;
        if (name != current_) tableStart_ = Clock::now();
        current_.clear();
        out_ << (terminal_ ? "\r" : "") << name << ": " << withThousands(rows)
             << (rows == 1 ? " row" : " rows") << (terminal_ ? "\x1b[K" : "") << '\n'
             << std::flush;
    }

    void summary(const std::string& verb) {
        if (quiet_) return;
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f", seconds);
        out_ << verb << ' ' << tables_ << (tables_ == 1 ? " table" : " tables") << ", "
             << withThousands(rows_) << (rows_ == 1 ? " row" : " rows") << " in " << buf
             << " seconds.\n";
    }

  private:
    long long rate(long done) const {
        const double s = std::chrono::duration<double>(Clock::now() - tableStart_).count();
        return s > 0 ? static_cast<long long>(done / s) : 0;
    }

    std::ostream& out_;
    bool quiet_, terminal_;
    Clock::time_point start_, tableStart_, lastShown_{};
    std::string current_;
    long tables_ = 0;
    long long rows_ = 0;
};

// ---- the send ----

struct PlannedTable {
    std::string name;
    bool overwrite = false;  // the target holds it: DROP TABLE first
};

// Where each table's lines are, as the maker writes them (read by the runner's side).
struct TableLines {
    std::string name;
    std::size_t rowsFrom = 0;    // the first INSERT line
    std::size_t end = SIZE_MAX;  // the line after its last line, once written
    long rows = 0;               // INSERT lines written
    long expected = -1;          // rows the source reports, when known
};

// The part of the script after every table: the foreign keys between the tables of the send.
const std::string kForeignKeysPart = "\x01foreign keys";

// Forwards to a sink, counting lines and noting where the rows of each table begin.
class CountingSink : public transfer::ScriptSink {
  public:
    CountingSink(transfer::ScriptSink& to, std::mutex& m, std::vector<TableLines>& tables)
        : to_(to), m_(m), tables_(tables) {}
    void appendDropTable(std::string_view t) override {
        to_.appendDropTable(t);
        lines_ += 2;
    }
    void appendCreateTable(std::string_view s) override {
        to_.appendCreateTable(s);
        lines_ += 2;
        std::lock_guard lock(m_);
        tables_.back().rowsFrom = lines_;
    }
    void appendStatementLine(std::string_view s) override {
        to_.appendStatementLine(s);
        ++lines_;
        std::lock_guard lock(m_);
        ++tables_.back().rows;
    }
    void appendStructureLine(std::string_view s) override {
        to_.appendStructureLine(s);
        ++lines_;
    }
    void endTable() override {
        to_.endTable();
        ++lines_;
        std::lock_guard lock(m_);
        tables_.back().end = lines_;
    }
    std::size_t lines() const { return lines_; }

  private:
    transfer::ScriptSink& to_;
    std::mutex& m_;
    std::vector<TableLines>& tables_;
    std::size_t lines_ = 0;
};

// The script written to a file as it is made, with the CR LF the review window's Save puts
// after the last line.
class FileSink : public transfer::ScriptSink {
  public:
    explicit FileSink(std::ostream& out) : out_(out) {}
    void appendDropTable(std::string_view table) override {
        line(transfer::dropTableStatement(table));
        line({});
    }
    void appendCreateTable(std::string_view statement) override {
        line(statement);
        line({});
    }
    void appendStatementLine(std::string_view statement) override { line(statement); }
    void endTable() override { line({}); }

  private:
    void line(std::string_view text) {
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
        out_.write("\r\n", 2);
    }
    std::ostream& out_;
};

class Send {
  public:
    Send(SendRequest request, std::ostream& out, std::vector<std::string>& notes)
        : r_(std::move(request)),
          out_(out),
          notes_(notes),
          direction_(r_.direction),
          progress_(out, r_.quiet, ::isatty(STDOUT_FILENO) == 1 && &out == &std::cout) {}

    int run() {
        openSource();
        listTarget();
        plan();
        if (!toMySql())
            features_ = newFile_ ? db::accessVersionFeatures(newVersion_)
                                 : db::accessFileFeatures(r_.login.accessPath);
        if (r_.keys) {
            std::vector<std::string> names;
            for (const PlannedTable& t : plan_)
                names.push_back(t.name);
            keys_ = std::make_unique<transfer::SendKeys>(direction_, std::move(names), features_);
        }
        if (r_.scriptFile) return writeScript();
        return execute();
    }

  private:
    std::string accessFile() const { return "\"" + r_.login.accessPath + "\""; }
    std::string mySqlDatabase() const {
        return "the MySQL database \"" + r_.login.database + "\" on " + r_.login.server + ":" +
               r_.login.port;
    }
    bool toMySql() const { return direction_ == Direction::AccessToMySql; }
    std::string targetName() const { return toMySql() ? mySqlDatabase() : accessFile(); }
    std::string sourceName() const { return toMySql() ? accessFile() : mySqlDatabase(); }

    void openMySql(db::Connection& cn) {
        cn.setCursorLocation(db::kAdUseClient);
        try {
            cn.open(db::mySqlConnectionString(r_.login));
        } catch (const db::Error& e) {
            nothingChanged("Cannot open " + mySqlDatabase() + ": " + e.description());
        }
    }

    void openAccess(db::Connection& cn, int mode) {
        if (!db::accessFileExists(r_.login.accessPath))
            nothingChanged("Could not find file " + accessFile() + ".");
        cn.setCursorLocation(db::kAdUseClient);
        cn.setMode(mode);
        try {
            cn.open(db::buildAccessConnectionString(r_.login, r_.login.accessPath,
                                                    r_.login.accessPassword));
        } catch (const db::Error& e) {
            nothingChanged("Cannot open " + accessFile() + ": " + e.description());
        }
    }

    void openSource() {
        if (toMySql()) {
            openAccess(source_, 1);
            sourceTables_ = accessTables(source_);
        } else {
            openMySql(source_);
            sourceTables_ = mySqlTables(source_);
        }
    }

    void listTarget() {
        if (toMySql()) {
            openMySql(direction_cn_);
            targetTables_ = mySqlTables(direction_cn_);
            return;
        }
        newFile_ = !std::filesystem::exists(r_.login.accessPath);
        if (newFile_) {
            const std::string path = r_.login.accessPath;
            std::string format = r_.format;
            if (format.empty()) {
                std::string ext = std::filesystem::path(path).extension().string();
                for (char& c : ext)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                format = ext == ".accdb" ? "ace16" : "jet4";
            }
            try {
                newVersion_ = jet::versionForName(format);
            } catch (const std::exception&) {
                throw UsageError{"--format must be jet4, ace12, ace14, ace16 or ace17"};
            }
            return;  // the file is made once everything else is known to be right
        }
        openAccess(direction_cn_, 3);
        targetTables_ = accessTables(direction_cn_);
    }

    // The tables to send in the order they go, each known to exist on the source and, when it
    // exists on the target, to be overwritten; every name the target cannot hold refused.
    void plan() {
        std::vector<std::size_t> picked;  // positions in sourceTables_
        if (r_.all) {
            for (std::size_t i = 0; i < sourceTables_.size(); ++i)
                picked.push_back(i);
        } else {
            for (const std::string& want : r_.tables) {
                std::optional<std::size_t> found;
                for (std::size_t i = 0; i < sourceTables_.size() && !found; ++i)
                    if (sourceTables_[i] == want) found = i;
                for (std::size_t i = 0; i < sourceTables_.size() && !found; ++i)
                    if (lowered(sourceTables_[i]) == lowered(want)) found = i;
                if (!found)
                    nothingChanged("There is no table \"" + want + "\" in " + sourceName() + ".");
                if (std::find(picked.begin(), picked.end(), *found) == picked.end())
                    picked.push_back(*found);
            }
        }
        // The browser's list order (letter case aside, equal names as they came), sent from the
        // last to the first.
        std::stable_sort(picked.begin(), picked.end(), [&](std::size_t a, std::size_t b) {
            return db::listNameLess(sourceTables_[a], sourceTables_[b]);
        });
        for (auto it = picked.rbegin(); it != picked.rend(); ++it) {
            PlannedTable t;
            t.name = sourceTables_[*it];
            for (const std::string& there : targetTables_)
                if (lowered(there) == lowered(t.name)) t.overwrite = true;
            if (t.overwrite && !r_.overwrite)
                nothingChanged("The table \"" + t.name + "\" already exists in " + targetName() +
                               "; nothing was changed (--overwrite replaces it).");
            plan_.push_back(std::move(t));
        }
        if (direction_ == transfer::Direction::MySqlToAccess) {
            for (const PlannedTable& t : plan_) {
                std::string refusal = transfer::accessNamesRefusal(t.name, nullptr);
                if (refusal.empty() && r_.proposed) {
                    // The proposals' statement: a column named by a number gets a new name
                    // there, any other name Access cannot hold is refused.
                    try {
                        (void)typecustom::proposedCreateStatement(
                            transfer::createTableHead(t.name), direction_,
                            typecustom::proposeColumnTypes(source_, direction_, t.name,
                                                           accessFeaturesForPlan()));
                    } catch (const db::Error& e) {
                        if (e.number() != db::errc::kSyntax)
                            nothingChanged("The table \"" + t.name +
                                           "\" cannot be read: " + e.description());
                        refusal = e.description() + " The table \"" + t.name + "\" is not sent.";
                    }
                } else if (refusal.empty()) {
                    db::Recordset rs;
                    try {
                        rs.open(transfer::sourceTableQuery(r_.direction, t.name) + " LIMIT 0",
                                source_, db::kAdOpenStatic);
                    } catch (const db::Error& e) {
                        nothingChanged("The table \"" + t.name +
                                       "\" cannot be read: " + e.description());
                    }
                    refusal = transfer::accessNamesRefusal(t.name, &rs);
                }
                if (!refusal.empty()) nothingChanged(refusal + " Nothing was changed.");
            }
        }
    }

    // One table's steps: the proposals first (they read the source's first row, which a
    // forward-only read of the same session would not allow), then the shared steps.
    void sendOne(const PlannedTable& t, transfer::ScriptSink& sink,
                 const std::function<void(long, long)>& progress) {
        std::vector<typecustom::ColumnProposal> proposals;
        if (r_.proposed)
            proposals = typecustom::proposeColumnTypes(source_, direction_, t.name, features_);
        transfer::TableSendOptions options;
        options.overwrite = t.overwrite;
        options.customise = r_.proposed;
        options.forwardOnly = !toMySql();  // MySQL rows stream from the server
        options.keys = keys_.get();
        options.accessFeatures = features_;
        transfer::TableSendHooks hooks = noteHooks();
        hooks.customise = [&](transfer::StepRunner&, std::string& sql,
                              const transfer::ColumnDecorator& decorate) {
            sql = typecustom::proposedCreateStatement(sql, direction_, proposals, decorate);
            return true;
        };
        hooks.progress = progress;
        hooks.refused = [](const std::string& sentence) { throw SendFailure{2, sentence}; };
        transfer::PlainSteps steps;
        std::string statement;
        transfer::sendTable(steps, r_.direction, source_, t.name, options, sink, statement, hooks);
    }

    // Notes go to standard error once the run is over, so they never break the progress line.
    transfer::TableSendHooks noteHooks() {
        transfer::TableSendHooks hooks;
        hooks.note = [this](const std::string& sentence) {
            std::lock_guard lock(notesMutex_);
            notes_.push_back(sentence);
        };
        return hooks;
    }

    // The features of the Access target while the plan is checked (the new file is not made
    // yet).
    db::AccessFileFeatures accessFeaturesForPlan() const {
        if (toMySql()) return {};
        return newFile_ ? db::accessVersionFeatures(newVersion_)
                        : db::accessFileFeatures(r_.login.accessPath);
    }

    int writeScript() {
        std::ofstream file(*r_.scriptFile, std::ios::binary | std::ios::trunc);
        if (!file) nothingChanged("Cannot write the script file \"" + *r_.scriptFile + "\".");
        FileSink sink(file);
        for (const PlannedTable& t : plan_) {
            long rows = 0;
            sendOne(t, sink, [&](long done, long total) {
                rows = done;
                progress_.table(t.name, done, total);
            });
            progress_.finished(t.name, rows);
        }
        if (keys_) transfer::writeForeignKeys(*keys_, sink, noteHooks());
        file.write("\r\n", 2);  // as the review window's Save ends the text
        file.flush();
        if (!file)
            throw SendFailure{1,
                              "The script file \"" + *r_.scriptFile + "\" could not be written."};
        progress_.summary("Wrote the script of");
        return 0;
    }

    int execute() {
        if (newFile_) {
            try {
                jet::createDatabase(r_.login.accessPath, newVersion_);
            } catch (const std::exception& e) {
                nothingChanged("Cannot create " + accessFile() + ": " + e.what());
            }
            r_.login.accessPassword.clear();  // the new file has none
            openAccess(direction_cn_, 3);
        }
        std::mutex m;
        std::vector<TableLines> tables;
        transfer::StreamedScript script(
            [&](transfer::ScriptSink& sink, transfer::StreamedScript& s) {
                CountingSink counting(sink, m, tables);
                for (const PlannedTable& t : plan_) {
                    s.beginTable(t.name);
                    {
                        std::lock_guard lock(m);
                        tables.push_back({t.name, SIZE_MAX, SIZE_MAX, 0, -1});
                    }
                    sendOne(t, counting, [&](long, long total) {
                        std::lock_guard lock(m);
                        tables.back().expected = total;
                    });
                }
                if (keys_) {
                    s.beginTable(kForeignKeysPart);
                    {
                        std::lock_guard lock(m);
                        tables.push_back({kForeignKeysPart, SIZE_MAX, SIZE_MAX, 0, -1});
                    }
                    transfer::writeForeignKeys(*keys_, counting, noteHooks());
                }
            });

        std::size_t shownUpTo = 0;  // tables reported finished
        auto report = [&](std::size_t line, bool all) {
            std::lock_guard lock(m);
            while (shownUpTo < tables.size() &&
                   (all ? tables[shownUpTo].end != SIZE_MAX ||
                              tables[shownUpTo].name == kForeignKeysPart
                        : tables[shownUpTo].end <= line)) {
                if (tables[shownUpTo].name != kForeignKeysPart)
                    progress_.finished(tables[shownUpTo].name, tables[shownUpTo].rows);
                ++shownUpTo;
            }
            if (!all && shownUpTo < tables.size() && tables[shownUpTo].name != kForeignKeysPart) {
                const TableLines& t = tables[shownUpTo];
                const long done = t.rowsFrom == SIZE_MAX || line < t.rowsFrom
                                      ? 0
                                      : static_cast<long>(std::min<std::size_t>(
                                            line - t.rowsFrom, static_cast<std::size_t>(t.rows)));
                progress_.table(t.name, done, t.expected);
            }
        };
        review::ExecutionSettings settings;
        settings.direction = direction_;
        review::ExecutionHooks hooks;
        hooks.progress = [&](const review::ExecutionProgress& p) { report(p.line, false); };
        const review::ExecutionResult result =
            review::executeScript(direction_cn_, script, settings, hooks);

        using Status = review::ExecutionResult::Status;
        if (result.status == Status::Completed) {
            report(0, true);
            try {
                direction_cn_.close();
            } catch (const db::Error& e) {
                throw SendFailure{1, "Closing " + targetName() + " failed: " + e.description()};
            }
            progress_.summary("Sent");
            return 0;
        }
        report(result.line, false);
        if (!r_.quiet && progress_terminal()) out_ << '\n';
        const std::string n = std::to_string(result.line + 1);
        std::string table = script.tableOf(result.line);
        std::string text = result.lineText;
        if (text.size() > 200) {
            std::size_t cut = 200;  // never inside a UTF-8 sequence
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text = text.substr(0, cut) + "...";
        }
        const std::string part =
            table == kForeignKeysPart ? "the foreign keys" : "table \"" + table + "\"";
        std::string message = part + ", line " + n + ": " + text + "\n" + kProgram + ": " +
                              result.description + "\n" + kProgram + ": ";
        switch (result.status) {
            case Status::Rejected:
                message += "the lines before line " + n + " are in effect.";
                break;
            case Status::SourceFailed:
                message = part + ", line " + n + ": the statement could not be made from " +
                          sourceName() + ": " + result.description + "\n" + kProgram +
                          ": the lines before line " + n + " are in effect.";
                break;
            default:
                message += "the lines before line " + n + " are in effect; line " + n +
                           " and the lines after it may not be.";
                break;
        }
        throw SendFailure{1, message};
    }

    bool progress_terminal() const { return ::isatty(STDOUT_FILENO) == 1 && &out_ == &std::cout; }

    SendRequest r_;
    std::ostream& out_;
    std::vector<std::string>& notes_;
    std::mutex notesMutex_;
    db::AccessFileFeatures features_;
    std::unique_ptr<transfer::SendKeys> keys_;
    const transfer::Direction direction_;
    Progress progress_;
    db::Connection source_;
    db::Connection direction_cn_;
    std::vector<std::string> sourceTables_;
    std::vector<std::string> targetTables_;
    std::vector<PlannedTable> plan_;
    bool newFile_ = false;
    jet::Version newVersion_{};
};

int runSend(const std::vector<std::string>& args, Direction direction, std::ostream& out,
            std::ostream& err) {
    std::vector<std::string> notes;
    auto tellNotes = [&] {
        out.flush();
        for (const std::string& n : notes)
            err << kProgram << ": note: " << n << "\n";
    };
    try {
        int status = 0;
        {
            Send send(parseRequest(args, direction), out, notes);
            status = send.run();
        }
        tellNotes();
        return status;
    } catch (const SendFailure& f) {
        tellNotes();
        err << kProgram << ": " << f.message << "\n";
        return f.status;
    }
}

}  // namespace

void parseMySqlAddress(const std::string& text, db::LoginFields& login) {
    const std::string scheme = "mysql://";
    if (text.compare(0, scheme.size(), scheme) != 0)
        throw UsageError{
            "expected a MySQL address of the form mysql://USER@HOST:PORT/DATABASE, "
            "got \"" +
            text + "\""};
    std::string rest = text.substr(scheme.size());
    const std::size_t at = rest.rfind('@', rest.find('/'));
    if (at == std::string::npos)
        throw UsageError{"the MySQL address names no user (mysql://USER@HOST:PORT/DATABASE)"};
    std::string user = rest.substr(0, at);
    if (user.find(':') != std::string::npos)
        throw UsageError{
            "the MySQL address holds a password, which other users of the machine "
            "could read; give it in " +
            std::string(kMySqlPasswordVariable) + " or with --mysql-password-file"};
    rest = rest.substr(at + 1);
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos || slash + 1 >= rest.size())
        throw UsageError{"the MySQL address names no database (mysql://USER@HOST:PORT/DATABASE)"};
    std::string hostPort = rest.substr(0, slash);
    std::string database = rest.substr(slash + 1);
    std::string host, port = "3306";
    if (!hostPort.empty() && hostPort[0] == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string::npos) throw UsageError{"the MySQL address has an unclosed ["};
        host = hostPort.substr(1, close - 1);
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != ':') throw UsageError{"the MySQL address has a bad port"};
            port = hostPort.substr(close + 2);
        }
    } else {
        const std::size_t colon = hostPort.rfind(':');
        host = hostPort.substr(0, colon);
        if (colon != std::string::npos) port = hostPort.substr(colon + 1);
    }
    if (host.empty()) throw UsageError{"the MySQL address names no host"};
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos || std::stol(port) > 65535 ||
        std::stol(port) == 0)
        throw UsageError{"the MySQL address has a bad port \"" + port + "\""};
    login.server = host;
    login.port = port;
    login.user = percentDecoded(user);
    login.database = percentDecoded(database);
}

int toMySqlCommand(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                   std::ostream& err) {
    return runSend(args, Direction::AccessToMySql, out, err);
}

int toAccessCommand(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                    std::ostream& err) {
    return runSend(args, Direction::MySqlToAccess, out, err);
}

}  // namespace cli
