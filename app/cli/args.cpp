// Parsing the arguments of a command.
#include "app/cli/args.h"

namespace cli {

std::string Parsed::value(std::string_view option) const {
    const auto it = options.find(option);
    return it == options.end() ? std::string() : it->second;
}

Parsed parseArgs(const std::vector<std::string>& args, std::size_t wanted,
                 std::initializer_list<std::string_view> options) {
    Parsed p;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool matched = false;
        for (std::string_view o : options) {
            if (a == o) {
                if (i + 1 >= args.size()) throw UsageError{std::string(o) + " needs a value"};
                p.options[std::string(o)] = args[++i];
                matched = true;
            } else if (a.size() > o.size() && a.compare(0, o.size(), o) == 0 &&
                       a[o.size()] == '=') {
                p.options[std::string(o)] = a.substr(o.size() + 1);
                matched = true;
            }
            if (matched) break;
        }
        if (matched) continue;
        if (a.size() > 1 && a[0] == '-' && a != "-") throw UsageError{"unknown option " + a};
        p.positional.push_back(a);
    }
    if (p.positional.size() != wanted)
        throw UsageError{"expected " + std::to_string(wanted) + " argument" +
                         (wanted == 1 ? "" : "s") + ", got " + std::to_string(p.positional.size())};
    return p;
}

db::LoginFields loginFor(const std::string& file, const std::string& password) {
    db::LoginFields login;
    login.accessPath = file;
    login.accessPassword = password;
    return login;
}

}  // namespace cli
