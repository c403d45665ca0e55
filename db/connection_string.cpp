// Building and parsing connection strings.
#include "db/connection_string.h"

#include <cctype>

#include "db/error.h"

namespace db {

namespace {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

ConnectionString ConnectionString::parse(std::string_view text) {
    ConnectionString cs;
    std::size_t i = 0;
    while (i < text.size()) {
        // A key runs to the next "=" (or ";" for a key without a value).
        std::size_t keyEnd = i;
        while (keyEnd < text.size() && text[keyEnd] != '=' && text[keyEnd] != ';')
            ++keyEnd;
        std::string key(text.substr(i, keyEnd - i));
        std::string value;
        i = keyEnd;
        if (i < text.size() && text[i] == '=') {
            ++i;
            if (i < text.size() && text[i] == '{') {
                ++i;
                bool closed = false;
                while (i < text.size()) {
                    if (text[i] == '}') {
                        if (i + 1 < text.size() && text[i + 1] == '}') {
                            value += '}';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    value += text[i++];
                }
                if (!closed)
                    throw Error(errc::kBadConnectionString,
                                "The connection string has a value that opens with \"{\" and is "
                                "never closed.");
                // Anything between the closing brace and the next ";" belongs to the value.
                while (i < text.size() && text[i] != ';')
                    value += text[i++];
            } else {
                while (i < text.size() && text[i] != ';')
                    value += text[i++];
            }
        }
        if (i < text.size() && text[i] == ';') ++i;
        if (!key.empty() || !value.empty())
            cs.entries_.emplace_back(std::move(key), std::move(value));
    }
    return cs;
}

std::optional<std::string> ConnectionString::get(std::string_view key) const {
    for (const auto& [k, v] : entries_)
        if (equalsIgnoreCase(k, key)) return v;
    return std::nullopt;
}

std::string quoteConnectionValue(std::string_view value) {
    if (value.find_first_of(";{}") == std::string_view::npos) return std::string(value);
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    out += '}';
    return out;
}

std::string mySqlConnectionString(const LoginFields& f) {
    return "DRIVER={MySQL ODBC 5.1 Driver};SERVER=" + quoteConnectionValue(f.server) +
           ";USER=" + quoteConnectionValue(f.user) +
           ";DATABASE=" + quoteConnectionValue(f.database) +
           ";PASSWORD=" + quoteConnectionValue(f.password) +
           ";PORT=" + quoteConnectionValue(f.port) + ";";
}

std::string mySqlConnectionString(const LoginFields& f, const MySqlTlsOptions& tls) {
    std::string s = mySqlConnectionString(f);
    const std::pair<const char*, const std::string*> keys[] = {
        {"SSLMODE=", &tls.mode}, {"SSLCA=", &tls.ca}, {"SERVER_PUBLIC_KEY=", &tls.serverPublicKey}};
    for (const auto& [key, value] : keys)
        if (!value->empty()) s += key + quoteConnectionValue(*value) + ";";
    return s;
}

std::string buildAccessConnectionString(const LoginFields& fields, std::string_view path,
                                        std::string_view password) {
    std::string p, pw;
    if (path.empty()) {
        p = fields.accessPath;
        pw = fields.accessPassword;
    } else {
        p = std::string(path);
        pw = std::string(password);
    }
    std::string tail = p.size() >= 5 ? p.substr(p.size() - 5) : p;
    for (auto& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char* prefix = tail == "accdb" ? "Provider=Microsoft.ACE.OLEDB.12.0;Data Source="
                                         : "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=";
    return prefix + quoteConnectionValue(p) +
           ";JET OLEDB:Database Password=" + quoteConnectionValue(pw);
}

}  // namespace db
