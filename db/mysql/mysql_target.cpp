// Reading the login target of a MySQL session from the connection string.
#include "db/mysql/mysql_target.h"

#include <cctype>
#include <charconv>

#include "db/connection_string.h"
#include "db/error.h"

namespace db::mysql {

namespace {

std::string firstOf(const ConnectionString& cs, std::string_view key, std::string_view alias) {
    if (auto v = cs.get(key)) return *v;
    if (auto v = cs.get(alias)) return *v;
    return {};
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

unsigned parsePort(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    if (t.empty()) return kDefaultPort;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || value < 1 || value > 65535)
        throw Error(errc::kBadConnectionString,
                    "The port \"" + std::string(text) +
                        "\" is not valid. Enter a whole number from 1 to 65535 (3306 is usual).");
    return value;
}

TlsMode parseTlsMode(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    if (t.empty()) return TlsMode::Preferred;
    for (TlsMode m : {TlsMode::Disabled, TlsMode::Preferred, TlsMode::Required, TlsMode::VerifyCa,
                      TlsMode::VerifyIdentity}) {
        const std::string_view name = tlsModeName(m);
        bool same = name.size() == t.size();
        for (std::size_t i = 0; same && i < t.size(); ++i)
            same = std::toupper(static_cast<unsigned char>(t[i])) == name[i];
        if (same) return m;
    }
    throw Error(errc::kBadConnectionString,
                "The connection string asks for SSLMODE \"" + std::string(text) +
                    "\", which is not a mode. Use DISABLED, PREFERRED, REQUIRED, VERIFY_CA or "
                    "VERIFY_IDENTITY.");
}

const char* tlsModeName(TlsMode mode) {
    switch (mode) {
        case TlsMode::Disabled:
            return "DISABLED";
        case TlsMode::Preferred:
            return "PREFERRED";
        case TlsMode::Required:
            return "REQUIRED";
        case TlsMode::VerifyCa:
            return "VERIFY_CA";
        case TlsMode::VerifyIdentity:
            return "VERIFY_IDENTITY";
    }
    return "PREFERRED";
}

MySqlTarget targetFromConnectionString(const ConnectionString& cs) {
    MySqlTarget t;
    const std::string server = firstOf(cs, "SERVER", "HOST");
    if (!server.empty() && server.front() == '/') {
        t.socketPath = server;
    } else {
        t.host = server.empty() ? "localhost" : server;
        t.port = parsePort(firstOf(cs, "PORT", "PORT"));
    }
    t.user = firstOf(cs, "USER", "UID");
    t.password = firstOf(cs, "PASSWORD", "PWD");
    t.database = firstOf(cs, "DATABASE", "DB");
    t.tls = parseTlsMode(firstOf(cs, "SSLMODE", "SSLMODE"));
    t.tlsCa = firstOf(cs, "SSLCA", "SSLCA");
    t.serverPublicKey = firstOf(cs, "SERVER_PUBLIC_KEY", "SERVER_PUBLIC_KEY");
    return t;
}

}  // namespace db::mysql
