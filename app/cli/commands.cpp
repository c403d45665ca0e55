// The command table, the help text, and the tables and dump commands.
#include "app/cli/commands.h"

#include <ostream>
#include <sstream>

#include "app/cli/args.h"
#include "app/cli/check_command.h"
#include "app/cli/send_commands.h"
#include "app/cli/tsv.h"
#include "app/cli/write_commands.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/jet/base/error.h"
#include "db/jet/write/database_password.h"
#include "db/sql_names.h"
#include "db/table_listing.h"

namespace cli {

namespace {

int tablesCommand(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                  std::ostream& err) {
    const Parsed p = parseArgs(args, 1);
    const std::string& file = p.positional[0];
    const auto names = db::getAccessTableNames(file, loginFor(file, accessPassword(p)));
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
    cn.open(db::buildAccessConnectionString(loginFor(file, accessPassword(p))));
    auto rs = cn.execute("SELECT * FROM " + db::quoteAccessName(table));
    const int n = rs->fieldCount();
    // The lines are gathered in one buffer and written a block at a time.
    constexpr std::size_t kBlock = 256 * 1024;
    std::string text;
    text.reserve(kBlock + 64 * 1024);
    for (int i = 0; i < n; ++i) {
        if (i) text += '\t';
        appendEscapedField(text, rs->field(static_cast<std::size_t>(i)).name());
    }
    text += '\n';
    try {
        while (!rs->eof()) {
            const auto& row = rs->row();
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (i) text += '\t';
                appendField(text, row[i]);
            }
            text += '\n';
            if (text.size() >= kBlock) {
                out.write(text.data(), static_cast<std::streamsize>(text.size()));
                text.clear();
            }
            rs->moveNext();
        }
    } catch (...) {
        // The rows read before a damaged one are printed before the error is.
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        throw;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
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
    const Parsed p =
        parseArgs(args, 1, 2, {{"--password"}, {"--password-file"}, {"--new-password-file"}});
    const std::string& file = p.positional[0];
    std::string newPassword;
    if (p.positional.size() == 2) {
        if (p.has("--new-password-file"))
            throw UsageError{"give NEW or --new-password-file, not both"};
        newPassword = p.positional[1];
    } else if (p.has("--new-password-file")) {
        newPassword = readPasswordFile(p.value("--new-password-file"));
    } else {
        throw UsageError{"expected NEW or --new-password-file"};
    }
    jet::setDatabasePassword(file, accessPassword(p), newPassword);
    out << (newPassword.empty() ? "The database password of \"" + file + "\" is removed.\n"
                                : "The database password of \"" + file + "\" is set.\n");
    return 0;
}

}  // namespace

const char* const kSendOptions =
    "  --all                    every table of the source, as the browser lists it\n"
    "  --overwrite              an existing table of the target is dropped first\n"
    "  --proposed-types         each column takes the type the type customisation\n"
    "                           dialog proposes, as if its OK were pressed unchanged\n"
    "  --keys                   keys and indexes go too, as with \"Send keys and\n"
    "                           indexes\": primary keys, indexes, AutoNumber, required\n"
    "                           columns, defaults and foreign keys; what cannot go is\n"
    "                           named on standard error\n"
    "  --script FILE            write the script as the review window's Save writes\n"
    "                           it, and execute nothing\n"
    "  --format F               to-access, when ACCESS_FILE does not exist: make it a\n"
    "                           new empty database first, F one of jet4 ace12 ace14\n"
    "                           ace16 ace17 (ace16 for .accdb, jet4 otherwise)\n"
    "  --mysql-password-file F  the MySQL password: the first line of F (else\n"
    "                           DUNMORROW_MYSQL_PASSWORD)\n"
    "  --access-password-file F the Access file's password (else\n"
    "                           DUNMORROW_ACCESS_PASSWORD)\n"
    "  --saved                  the Access file, the MySQL login and both passwords\n"
    "                           the windows remember; ACCESS_FILE and the address are\n"
    "                           then left out\n"
    "  --quiet                  print nothing but errors\n";

const std::vector<Command>& commands() {
    static const std::vector<Command> kCommands = {
        {"tables", "tables FILE [--password-file F]",
         "Prints the user tables of the Access file FILE, one name per line.", tablesCommand},
        {"dump", "dump FILE TABLE [--password-file F]",
         "Prints the table TABLE of FILE: a header line of column names, then one line per row, "
         "fields separated by tabs. NULL is \\N; a tab, line feed, carriage return, NUL or "
         "backslash inside a value is written \\t, \\n, \\r, \\0 or \\\\. Numbers have a decimal "
         "point, Yes/No is 1 or 0, Currency and Decimal are exact, dates are ISO 8601 "
         "(YYYY-MM-DDTHH:MM:SS), binary values are hexadecimal, GUIDs are in braces.",
         dumpCommand},
        {"set-password", "set-password FILE NEW|--new-password-file F [--password-file OLD]",
         "Makes NEW (or the first line of the file F) the database password of the .mdb file FILE "
         "(Access 2000-2003), which opens with the password of --password-file, "
         "DUNMORROW_ACCESS_PASSWORD or --password (none when none is given); an empty NEW (\"\") "
         "removes the password. A password has at most 20 characters. Access 97 files and .accdb "
         "files are refused.",
         setPasswordCommand},
        {"exec", "exec FILE [--password-file F]",
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
        {"check", "check FILE [--password-file F]",
         "Checks the integrity of FILE: the catalogue and every table's definition and rows, the "
         "usage maps against the pages, the free pages, the long-value chains, and every index's "
         "entries against the rows. Prints each finding on a line of its own (problems first, "
         "then notes on harmless oddities Access leaves behind), then a summary. The exit status "
         "is 1 when a problem was found.",
         checkCommand},
        {"to-mysql", "to-mysql ACCESS_FILE mysql://USER@HOST:PORT/DATABASE [TABLE ...] [options]",
         "Sends tables of the Access file to the MySQL database as the table browser's \"Send "
         "Table/s To MySQL\" does, and executes the script as the review window does: the "
         "lines grouped into transactions, and at the first line the server rejects the run "
         "stops with every line before it in effect. Name the tables, or give --all for every "
         "table of the file. A table the database already holds stops the run before anything "
         "is changed, unless --overwrite is given. Passwords never go on the command line: the "
         "MySQL password comes from DUNMORROW_MYSQL_PASSWORD or --mysql-password-file, the "
         "Access file's from DUNMORROW_ACCESS_PASSWORD or --access-password-file. On a terminal "
         "each table shows its rows as they go, elsewhere one line per finished table, then a "
         "summary. Exit status 0 when every line ran; 1 when a line was rejected (standard "
         "error names the table, the line's number, its first 200 characters and the server's "
         "message); 2 when nothing was changed: a command line not understood, a server that "
         "cannot be reached, a wrong password, a missing file or table, or an existing table "
         "without --overwrite.",
         toMySqlCommand, kSendOptions},
        {"to-access", "to-access mysql://USER@HOST:PORT/DATABASE ACCESS_FILE [TABLE ...] [options]",
         "Sends tables and views of the MySQL database to the Access file as \"Send Table/s To "
         "Access\" does, executing the script as the review window does. Passwords, progress "
         "and exit statuses are those of to-mysql; a table or column name the Access file "
         "cannot hold also stops the run before anything is changed (exit status 2).",
         toAccessCommand, kSendOptions},
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
    s << "\nOptions of to-mysql and to-access:\n" << kSendOptions;
    s << "\n  --password-file F  the database password of FILE: the first line of F\n"
      << "  --password P       the same, given on the command line, where every user of the\n"
      << "                     machine can read it (in the process list); prefer\n"
      << "                     --password-file or the environment variable\n"
      << "  --format F         the format of a new database (new, to-access)\n"
      << "  --help             prints this text, or with a command that command's\n\n"
      << wrap(
             "Passwords may also come from the environment: DUNMORROW_ACCESS_PASSWORD for the "
             "Access file (every command), DUNMORROW_MYSQL_PASSWORD for the MySQL server "
             "(to-mysql, to-access).",
             0)
      << "\n"
      << wrap(
             "Errors go to standard error and the exit status is not zero: 1 when a command "
             "fails, 2 when the command line is not understood (to-mysql and to-access also "
             "when they changed nothing, see above).",
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
                out << "\nOptions:\n"
                    << (c.options ? c.options
                                  : "  --password-file F  the database password of FILE: the "
                                    "first line of F\n"
                                    "                     (else DUNMORROW_ACCESS_PASSWORD)\n"
                                    "  --password P       the same on the command line, where "
                                    "every user of\n"
                                    "                     the machine can read it in the "
                                    "process list\n");
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
