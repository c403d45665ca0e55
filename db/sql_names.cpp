// Quoting names for MySQL and checking them for Access.
#include "db/sql_names.h"

#include "db/error.h"
#include "db/jet/catalog/names.h"

namespace db {

std::string quoteMySqlName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    out += '`';
    for (char c : name) {
        if (c == '`') out += '`';
        out += c;
    }
    out += '`';
    return out;
}

std::string accessNameProblem(std::string_view name) {
    return jet::nameProblem(name);
}

std::string accessNewTableNameProblem(std::string_view name) {
    std::string problem = jet::nameProblem(name);
    if (problem.empty() && jet::isSystemTableName(name)) problem = jet::kSystemTableNameProblem;
    return problem;
}

std::string accessNameRefusal(std::string_view name, const char* what, std::string_view problem) {
    return "The " + std::string(what) + " name \"" + std::string(name) +
           "\" cannot be used in an Access file: " + std::string(problem) + ".";
}

void requireAccessName(std::string_view name, const char* what) {
    const std::string problem = accessNameProblem(name);
    if (!problem.empty()) throw Error(errc::kSyntax, accessNameRefusal(name, what, problem));
}

std::string quoteAccessName(std::string_view name, const char* what) {
    requireAccessName(name, what);
    return "`" + std::string(name) + "`";
}

std::string bracketAccessName(std::string_view name, const char* what) {
    requireAccessName(name, what);
    return "[" + std::string(name) + "]";
}

}  // namespace db
