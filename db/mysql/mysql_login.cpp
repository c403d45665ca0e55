// TLS options, the public key file and login failures of a MySQL session.
#include "db/mysql/mysql_login.h"

#include <errmsg.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <filesystem>

#include "db/mysql/mysql_errors.h"
#include "db/mysql/mysql_handles.h"

namespace db::mysql {

namespace {

bool overSocket(const MySqlTarget& t) {
    return !t.socketPath.empty();
}

bool usesTls(const MySqlTarget& t) {
    switch (t.tls) {
        case TlsMode::Disabled:
            return false;
        case TlsMode::Preferred:
            return !overSocket(t);
        default:
            return true;
    }
}

bool verifies(const MySqlTarget& t) {
    return t.tls == TlsMode::VerifyCa || t.tls == TlsMode::VerifyIdentity;
}

// The system's trusted authorities, as OpenSSL finds them (SSL_CERT_FILE and SSL_CERT_DIR
// count).
std::string systemCaFile() {
    const char* env = std::getenv(X509_get_default_cert_file_env());
    std::string file = env && *env ? env : X509_get_default_cert_file();
    std::error_code ec;
    return std::filesystem::exists(file, ec) ? file : std::string();
}

std::string systemCaDir() {
    const char* env = std::getenv(X509_get_default_cert_dir_env());
    return env && *env ? env : X509_get_default_cert_dir();
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

std::string serverName(const MySqlTarget& t) {
    return overSocket(t) ? t.socketPath : t.host + ":" + std::to_string(t.port);
}

void applyLoginOptions(MYSQL* m, const MySqlTarget& t, bool withTls) {
    if (!t.serverPublicKey.empty())
        mysql_optionsv(m, MYSQL_SERVER_PUBLIC_KEY, t.serverPublicKey.c_str());
    const my_bool on = 1;
    const my_bool off = 0;
    if (!withTls || !usesTls(t)) {
        mysql_optionsv(m, MYSQL_OPT_SSL_ENFORCE, &off);
        return;
    }
    // Despite its name, this switch only asks for TLS when the server offers it.
    mysql_optionsv(m, MYSQL_OPT_SSL_ENFORCE, &on);
    if (!t.tlsCa.empty()) {
        mysql_optionsv(m, MYSQL_OPT_SSL_CA, t.tlsCa.c_str());
    } else if (t.tls == TlsMode::VerifyCa) {
        // A CA location is what makes the library check the chain without the name.
        const std::string file = systemCaFile();
        const std::string dir = systemCaDir();
        if (!file.empty()) mysql_optionsv(m, MYSQL_OPT_SSL_CA, file.c_str());
        mysql_optionsv(m, MYSQL_OPT_SSL_CAPATH, dir.c_str());
    }
    if (t.tls == TlsMode::VerifyIdentity) mysql_optionsv(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &on);
}

bool mayRetryWithoutTls(const MySqlTarget& t, unsigned mysqlErrno) {
    return t.tls == TlsMode::Preferred && t.tlsCa.empty() && !overSocket(t) &&
           mysqlErrno == CR_SSL_CONNECTION_ERROR;
}

void requireEncryptionAsAsked(MYSQL* m, const MySqlTarget& t) {
    if (t.tls == TlsMode::Disabled || t.tls == TlsMode::Preferred) return;
    if (mysql_get_ssl_cipher(m)) return;
    throw Error(errc::kCannotOpen, "The MySQL server at " + serverName(t) +
                                       " offers no encrypted connection, and the connection "
                                       "string requires one (SSLMODE=" +
                                       tlsModeName(t.tls) + "). The session was closed unused.");
}

Error loginError(MYSQL* m, const MySqlTarget& t) {
    const unsigned code = mysql_errno(m);
    const std::string text = mysql_error(m);
    if (code == CR_SSL_CONNECTION_ERROR) {
        if (contains(text, "does not support")) {
            return Error(errc::kCannotOpen,
                         "The MySQL server at " + serverName(t) +
                             " offers no encrypted connection, and the connection string "
                             "requires one (SSLMODE=" +
                             tlsModeName(t.tls) + "). The password was not sent.");
        }
        if (verifies(t) || !t.tlsCa.empty()) {
            std::string what = t.tlsCa.empty() ? "signed by an authority this computer trusts"
                                               : "signed by an authority of " + t.tlsCa;
            if (t.tls == TlsMode::VerifyIdentity)
                what +=
                    " and name the server as \"" + (overSocket(t) ? "localhost" : t.host) + "\"";
            return Error(errc::kCannotOpen, "The certificate of the MySQL server at " +
                                                serverName(t) + " could not be verified (" + text +
                                                "), so the password was not " +
                                                "sent. The certificate must be " + what + ".");
        }
        return Error(errc::kCannotOpen, "The encrypted connection to the MySQL server at " +
                                            serverName(t) + " could not be set up (" + text + ").");
    }
    // After a switch to a method it cannot load, the library answers the server as best it can;
    // the server's refusal then comes with the library's message.
    if (code == CR_AUTH_PLUGIN_CANNOT_LOAD ||
        (text.rfind("Plugin ", 0) == 0 && contains(text, " could not be loaded: "))) {
        return Error(errc::kCannotOpen,
                     "The MySQL server asks for a login method that the MariaDB client library "
                     "on this computer cannot load (" +
                         text +
                         "). Its plugins come with the client library (the Debian package "
                         "libmariadb3).");
    }
    return sessionError(m, openErrorNumber);
}

bool authenticationPluginLoads(const char* name) {
    // The plugin kind of <mysql/client_plugin.h>, which cannot be included on its own.
    constexpr int kAuthenticationPlugin = 2;
    MySqlHandle h = newSessionHandle();
    return mysql_client_find_plugin(h.get(), name, kAuthenticationPlugin) != nullptr;
}

}  // namespace db::mysql
