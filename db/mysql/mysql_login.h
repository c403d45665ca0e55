// Logging a MySQL session in: encryption, the server's public key, and the failures of a login
// told in sentences.
//
// The modes are those of SSLMODE (see mysql_target.h). Connector/C offers two switches: "use TLS
// when the server offers it" and "verify the certificate and its name, and refuse a server without
// TLS before logging in". A CA file makes it check the chain of an encrypted session as well. The
// modes map onto them as follows. What the library does not check before the login (REQUIRED and
// VERIFY_CA against a server that offers no TLS) is checked right after it, and the session is
// then closed unused; with MySQL 8's caching_sha2_password, which may need the password itself,
// the program's own login method (caching_sha2_login.h) refuses before anything of the password
// is sent.
//
//   mode             use TLS   CA file                   verify name  refused when unencrypted
//   DISABLED         no        -                         no           -
//   PREFERRED        TCP only  SSLCA if given            no           no
//   REQUIRED         yes       SSLCA if given            no           after the login
//   VERIFY_CA        yes       SSLCA, else the system's  no           after the login
//   VERIFY_IDENTITY  yes       SSLCA, else the system's  yes          before the login
//
// PREFERRED keeps every login that worked unencrypted working: when the server offers TLS but
// the encrypted link cannot be set up, it logs in again without TLS (a peer in the middle could
// strip the offer anyway; PREFERRED is no protection against one).
#pragma once

#include <mysql.h>

#include <string>

#include "db/error.h"
#include "db/mysql/mysql_target.h"

namespace db::mysql {

// Sets the TLS options and the server public key file of `target` on the unconnected session `m`.
// `withTls` false: no TLS whatever the mode (the fallback of PREFERRED).
void applyLoginOptions(MYSQL* m, const MySqlTarget& target, bool withTls);

// Whether a failed login of `target` with TLS may be tried again without it: PREFERRED without a
// CA, over TCP, when the library could not set up the encrypted link.
bool mayRetryWithoutTls(const MySqlTarget& target, unsigned mysqlErrno);

// After a login that worked: throws errc::kCannotOpen when the mode requires encryption and the
// session has none. The caller closes the session.
void requireEncryptionAsAsked(MYSQL* m, const MySqlTarget& target);

// The error for a failed login on `m`: the library's message, in a sentence that says what to do
// for certificate, encryption and login-plugin failures.
Error loginError(MYSQL* m, const MySqlTarget& target);

// "127.0.0.1:3306", or the socket path.
std::string serverName(const MySqlTarget& target);

// True when the client library can load the authentication plugin `name` (for example
// "caching_sha2_password"), from its own plugin folder or MARIADB_PLUGIN_DIR.
bool authenticationPluginLoads(const char* name);

}  // namespace db::mysql
