// Running the integrity check of an Access file and printing what it finds.
#include "app/cli/check_command.h"

#include <filesystem>
#include <ostream>

#include "app/cli/args.h"
#include "db/jet/base/error.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/read_only_folders.h"

namespace cli {

namespace {

std::string counted(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string formatCheckReport(const jet::CheckReport& report) {
    using Severity = jet::CheckFinding::Severity;
    std::string out;
    std::size_t problems = 0;
    for (Severity wanted : {Severity::Problem, Severity::Note})
        for (const auto& f : report.findings) {
            if (f.severity != wanted) continue;
            if (wanted == Severity::Problem) ++problems;
            out += (wanted == Severity::Problem ? "problem: " : "note: ") + f.area + ": " +
                   f.message + "\n";
        }
    out += "Checked " + counted(report.tables, "table", "tables") + ", " +
           counted(report.rows, "row", "rows") + ", " +
           counted(report.longValues, "long value", "long values") + " and " +
           counted(report.pages, "page", "pages") + " (" +
           counted(report.freePages, "free", "free") + ", " +
           counted(report.orphanPages, "unused", "unused") + "): ";
    out += problems == 0 ? std::string("no problems.\n")
                         : counted(problems, "problem", "problems") + ".\n";
    return out;
}

int checkCommand(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                 std::ostream& err) {
    const Parsed p = parseArgs(args, 1);
    const std::string& file = p.positional[0];
    std::error_code ec;  // a name too long or a folder that cannot be searched: not found
    if (!std::filesystem::is_regular_file(file, ec)) {
        err << kProgram << ": Could not find file \"" << file << "\".\n";
        return 1;
    }
    jet::OpenOptions options;
    options.password = accessPassword(p);
    options.lockFile = !db::inReadOnlyFolder(file);
    std::unique_ptr<jet::Database> db;
    try {
        db = jet::Database::open(file, options);
    } catch (const jet::Error& e) {
        if (e.kind() != jet::ErrorKind::Corrupt) throw;
        // The file does not even open: its header or catalogue is damaged.
        out << "problem: catalogue: " << e.message() << "\n"
            << "The file cannot be opened to check it further: 1 problem.\n";
        return 1;
    }
    const jet::CheckReport report = jet::checkDatabase(*db);
    out << formatCheckReport(report);
    return report.ok() ? 0 : 1;
}

}  // namespace cli
