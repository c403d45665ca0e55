// Parsing the arguments of a command, and the passwords.
#include "app/cli/args.h"

#include <cstdlib>
#include <fstream>

namespace cli {

std::string Parsed::value(std::string_view option) const {
    const auto it = options.find(option);
    return it == options.end() ? std::string() : it->second;
}

Parsed parseArgs(const std::vector<std::string>& args, std::size_t wanted,
                 std::initializer_list<std::string_view> options) {
    std::vector<OptionRule> rules;
    for (std::string_view o : options)
        rules.push_back({o, true});
    return parseArgs(args, wanted, wanted, rules);
}

Parsed parseArgs(const std::vector<std::string>& args, std::size_t least, std::size_t most,
                 const std::vector<OptionRule>& options) {
    Parsed p;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool matched = false;
        for (const OptionRule& o : options) {
            if (a == o.name) {
                if (o.takesValue) {
                    if (i + 1 >= args.size())
                        throw UsageError{std::string(o.name) + " needs a value"};
                    p.options[std::string(o.name)] = args[++i];
                } else {
                    p.options[std::string(o.name)] = std::string();
                }
                matched = true;
            } else if (a.size() > o.name.size() && a.compare(0, o.name.size(), o.name) == 0 &&
                       a[o.name.size()] == '=') {
                if (!o.takesValue) throw UsageError{std::string(o.name) + " takes no value"};
                p.options[std::string(o.name)] = a.substr(o.name.size() + 1);
                matched = true;
            }
            if (matched) break;
        }
        if (matched) continue;
        if (a.size() > 1 && a[0] == '-' && a != "-") throw UsageError{"unknown option " + a};
        p.positional.push_back(a);
    }
    const std::size_t n = p.positional.size();
    if (n < least || n > most) {
        const std::string wanted = least == most ? std::to_string(least)
                                   : most == static_cast<std::size_t>(-1)
                                       ? "at least " + std::to_string(least)
                                       : std::to_string(least) + " to " + std::to_string(most);
        throw UsageError{"expected " + wanted + " argument" + (least == 1 && most == 1 ? "" : "s") +
                         ", got " + std::to_string(n)};
    }
    return p;
}

std::string readPasswordFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError{"cannot read the password file \"" + path + "\""};
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string accessPassword(const Parsed& p, std::string_view valueOption,
                           std::string_view fileOption) {
    if (p.has(valueOption)) return p.value(valueOption);
    if (p.has(fileOption)) return readPasswordFile(p.value(fileOption));
    if (const char* env = std::getenv(kAccessPasswordVariable)) return env;
    return {};
}

db::LoginFields loginFor(const std::string& file, const std::string& password) {
    db::LoginFields login;
    login.accessPath = file;
    login.accessPassword = password;
    return login;
}

}  // namespace cli
