// The command table, the help text, and the tables and dump commands.
#include "app/cli/commands.h"

#include <ostream>
#include <sstream>

#include "app/cli/args.h"
#include "app/cli/check_command.h"
#include "app/cli/tsv.h"
#include "app/cli/write_commands.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/jet/base/error.h"
#include "db/jet/write/database_password.h"
#include "db/table_listing.h"

namespace cli {

namespace {

int tablesCommand(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                  std::ostream& err) {
    const Parsed p = parseArgs(args, 1);
    const std::string& file = p.positional[0];
    const auto names = db::getAccessTableNames(file, loginFor(file, p.value("--password")));
    if (!names) {
        err << kProgram << ": Could not find file \"" << file << "\".\n";
        return 1;
    }
    for (const auto& n : *names)
        out << escapeField(n) << '\n';
    return 0;
}

int dumpCommand(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                std::ostream&) {
    const Parsed p = parseArgs(args, 2);
    const std::string& file = p.positional[0];
    const std::string& table = p.positional[1];
    db::Connection cn;
    cn.setCursorLocation(db::kAdUseClient);
    cn.open(db::buildAccessConnectionString(loginFor(file, p.value("--password"))));
    auto rs = cn.execute("SELECT * FROM `" + table + "`");
    const int n = rs->fieldCount();
    std::string line;
    for (int i = 0; i < n; ++i) {
        if (i) line += '\t';
        line += escapeField(rs->field(static_cast<std::size_t>(i)).name());
    }
    out << line << '\n';
    while (!rs->eof()) {
        line.clear();
        const auto& row = rs->row();
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i) line += '\t';
            line += formatField(row[i]);
        }
        out << line << '\n';
        rs->moveNext();
    }
    rs->close();
    cn.close();
    return 0;
}

// `text` broken into lines of at most `width` characters, each starting with `indent`.
std::string wrap(const std::string& text, std::size_t indent, std::size_t width = 78) {
    std::string out, line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            out += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    if (!line.empty()) out += std::string(indent, ' ') + line + "\n";
    return out;
}

int setPasswordCommand(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                       std::ostream&) {
    const Parsed p = parseArgs(args, 2);
    const std::string& file = p.positional[0];
    const std::string& newPassword = p.positional[1];
    jet::setDatabasePassword(file, p.value("--password"), newPassword);
    out << (newPassword.empty() ? "The database password of \"" + file + "\" is removed.\n"
                                : "The database password of \"" + file + "\" is set.\n");
    return 0;
}

}  // namespace

const std::vector<Command>& commands() {
    static const std::vector<Command> kCommands = {
        {"tables", "tables FILE [--password P]",
         "Prints the user tables of the Access file FILE, one name per line.", tablesCommand},
        {"dump", "dump FILE TABLE [--password P]",
         "Prints the table TABLE of FILE: a header line of column names, then one line per row, "
         "fields separated by tabs. NULL is \\N; a tab, line feed, carriage return, NUL or "
         "backslash inside a value is written \\t, \\n, \\r, \\0 or \\\\. Numbers have a decimal "
         "point, Yes/No is 1 or 0, Currency and Decimal are exact, dates are ISO 8601 "
         "(YYYY-MM-DDTHH:MM:SS), binary values are hexadecimal, GUIDs are in braces.",
         dumpCommand},
        {"set-password", "set-password FILE NEW [--password OLD]",
         "Makes NEW the database password of the .mdb file FILE (Access 2000-2003), which opens "
         "with OLD (no password when left out); an empty NEW (\"\") removes the password. A "
         "password has at most 20 characters. Access 97 files and .accdb files are refused.",
         setPasswordCommand},
        {"exec", "exec FILE [--password P]",
         "Executes the SQL statements on standard input against FILE, one statement a line, as "
         "the review window executes a script: empty lines are skipped, and a carriage return "
         "before a line feed is not part of the line. The engine's Access dialect is understood "
         "(CREATE TABLE, INSERT INTO, DROP TABLE, SELECT ... INTO, SELECT). Execution stops at "
         "the first statement that fails: its line number, the line and the error go to standard "
         "error, and the lines before it stay in effect. Prints how many statements ran.",
         execCommand},
        {"new", "new FILE --format jet4|ace12|ace14|ace16|ace17",
         "Creates FILE as a new, empty database: jet4 an Access 2000-2003 .mdb, ace12 an Access "
         "2007 .accdb, ace14 one of Access 2010, ace16 of Access 2016, ace17 of Access 2019. An "
         "existing FILE is never overwritten.",
         newCommand},
        {"check", "check FILE [--password P]",
         "Checks the integrity of FILE: the catalogue and every table's definition and rows, the "
         "usage maps against the pages, the free pages, the long-value chains, and every index's "
         "entries against the rows. Prints each finding on a line of its own (problems first, "
         "then notes on harmless oddities Access leaves behind), then a summary. The exit status "
         "is 1 when a problem was found.",
         checkCommand},
    };
    return kCommands;
}

std::string helpText() {
    std::ostringstream s;
    s << "Usage: " << kProgram << " COMMAND ARGUMENTS...\n\n"
      << wrap(
             "Reads and writes Microsoft Access databases (.mdb, .accdb) without windows, for "
             "support, diagnosis and scripts.",
             0)
      << "\nCommands:\n";
    for (const auto& c : commands())
        s << "  " << kProgram << " " << c.usage << "\n" << wrap(c.summary, 6);
    s << "\n  --password P   the database password of FILE (none when left out)\n"
      << "  --format F     the format of a new database (new)\n"
      << "  --help         prints this text\n\n"
      << wrap(
             "Errors go to standard error and the exit status is not zero: 1 when a command "
             "fails, 2 when the command line is not understood.",
             0);
    return s.str();
}

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::istringstream none;
    return runCommandLine(args, none, out, err);
}

int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    if (args.empty()) {
        err << helpText();
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << helpText();
        return 0;
    }
    for (const auto& c : commands()) {
        if (args[0] != c.name) continue;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const auto& a : rest)
            if (a == "--help") {
                out << "Usage: " << kProgram << " " << c.usage << "\n" << wrap(c.summary, 0);
                return 0;
            }
        try {
            return c.run(rest, in, out, err);
        } catch (const UsageError& e) {
            err << kProgram << ": " << e.message << "\nUsage: " << kProgram << " " << c.usage
                << "\n";
            return 2;
        } catch (const db::Error& e) {
            err << kProgram << ": " << e.description() << "\n";
            return 1;
        } catch (const jet::Error& e) {
            err << kProgram << ": " << e.message() << "\n";
            return 1;
        } catch (const std::exception& e) {
            // A folder that cannot be searched, memory running out: said, not an abort.
            err << kProgram << ": " << e.what() << "\n";
            return 1;
        }
    }
    err << kProgram << ": unknown command \"" << args[0] << "\"; see " << kProgram << " --help\n";
    return 2;
}

}  // namespace cli
