// exec and new.
#include "app/cli/write_commands.h"

#include <filesystem>
#include <iterator>
#include <ostream>

#include "app/cli/args.h"
#include "db/connection.h"
#include "db/jet/write/new_database.h"
#include "review/script_executor.h"
#include "review/script_text.h"

namespace cli {

std::string scriptFromInput(std::string_view input) {
    std::string out;
    out.reserve(input.size() + input.size() / 32);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) end = input.size();
        std::size_t lineEnd = end;
        if (!last && lineEnd > start && input[lineEnd - 1] == '\r') --lineEnd;
        out.append(input.substr(start, lineEnd - start));
        if (last) break;
        out.append(review::kCrLf);
        start = end + 1;
    }
    return out;
}

int execCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err) {
    const Parsed p = parseArgs(args, 1);
    const std::string& file = p.positional[0];
    std::error_code ec;  // a name too long or a folder that cannot be searched: not found
    if (!std::filesystem::is_regular_file(file, ec)) {
        err << kProgram << ": Could not find file \"" << file << "\".\n";
        return 1;
    }
    const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const review::ScriptText text(scriptFromInput(input));

    db::Connection cn;
    cn.open(db::buildAccessConnectionString(loginFor(file, accessPassword(p))));
    review::ExecutionSettings settings;
    settings.direction = transfer::Direction::MySqlToAccess;
    const review::ExecutionResult r = review::executeScript(cn, text, settings);
    cn.close();

    using Status = review::ExecutionResult::Status;
    if (r.status == Status::Completed) {
        out << r.statements << (r.statements == 1 ? " statement" : " statements") << " executed.\n";
        return 0;
    }
    const std::size_t number = r.line + 1;
    err << kProgram << ": line " << number << ": " << text.line(r.line) << "\n"
        << kProgram << ": " << r.description << "\n";
    if (r.status == Status::Rejected) {
        err << kProgram << ": the lines before line " << number << " are in effect.\n";
    } else {
        err << kProgram << ": the lines before line " << number << " are in effect; line " << number
            << " and the lines after it may not be.\n";
    }
    return 1;
}

int newCommand(const std::vector<std::string>& args, std::istream&, std::ostream& out,
               std::ostream&) {
    const Parsed p = parseArgs(args, 1, {"--format"});
    if (!p.has("--format")) throw UsageError{"--format is required"};
    const jet::Version version = jet::versionForName(p.value("--format"));
    const std::string& file = p.positional[0];
    jet::createDatabase(file, version);
    out << "Created \"" << file << "\", an empty " << jet::Format::of(version).name
        << " database.\n";
    return 0;
}

}  // namespace cli
