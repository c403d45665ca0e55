// Where and as whom a MySQL session logs in, read from a connection string.
//
// The keys are SERVER, PORT, USER, PASSWORD and DATABASE in any letter case (the ODBC spellings
// UID, PWD and DB are accepted too). A server text that begins with "/" is the path of the
// server's Unix socket; any other server is reached over TCP at the given port, "localhost"
// included. An empty server means "localhost" and an empty port 3306.
//
// How the link is secured (all optional; a string without them logs in as PREFERRED says):
//   SSLMODE  DISABLED         never encrypt.
//            PREFERRED        (the default) encrypt over TCP whenever the server offers it, and
//                             log in unencrypted when it offers nothing; the server's certificate
//                             is not checked unless SSLCA is given. Over a Unix socket, as
//                             DISABLED: the link never leaves the machine.
//            REQUIRED         encrypt or refuse: a server that offers no encryption is refused.
//                             The certificate is not checked. Guards against listeners, not
//                             against a peer in the middle: for the older login methods the
//                             client library learns that the session is unencrypted only once
//                             logged in (caching_sha2_password is refused before the password).
//            VERIFY_CA        as REQUIRED, and the certificate must be signed by an authority of
//                             SSLCA (else of the system's trusted authorities).
//            VERIFY_IDENTITY  as VERIFY_CA, and the certificate must name the server as written in
//                             SERVER (a host name, or an address). The certificate is checked
//                             before the password is sent, and a server that offers no
//                             encryption is refused before it too.
//   SSLCA              the PEM file of the authorities that may sign the server's certificate.
//                      Given with PREFERRED or REQUIRED, an encrypted session checks the
//                      certificate against it too (the name is checked only by VERIFY_IDENTITY).
//   SERVER_PUBLIC_KEY  the PEM file of the server's RSA public key, for logins that encrypt the
//                      password with it (caching_sha2_password and sha256_password over an
//                      unencrypted link). Without it the client asks the server for its key.
// Values are compared without regard to letter case; an unknown SSLMODE is an error.
#pragma once

#include <string>
#include <string_view>

namespace db {
class ConnectionString;
}

namespace db::mysql {

enum class TlsMode { Disabled, Preferred, Required, VerifyCa, VerifyIdentity };

struct MySqlTarget {
    std::string host;        // name or address for TCP; empty when socketPath is used
    unsigned port = 3306;    // TCP port; unused with a socket
    std::string socketPath;  // non-empty: connect through this Unix socket
    std::string user;
    std::string password;
    std::string database;  // empty: no default database
    TlsMode tls = TlsMode::Preferred;
    std::string tlsCa;            // SSLCA; empty: the system's authorities
    std::string serverPublicKey;  // SERVER_PUBLIC_KEY; empty: asked of the server
};

inline constexpr unsigned kDefaultPort = 3306;

// Throws db::Error (errc::kBadConnectionString) when the port is not a whole number from 1 to
// 65535, or SSLMODE names no mode above. Blanks around the port and the mode are ignored; every
// other value is taken as it stands.
MySqlTarget targetFromConnectionString(const ConnectionString& cs);

// The port text as a number, by the rule above. Throws as above.
unsigned parsePort(std::string_view text);

// The SSLMODE text as a mode (empty: PREFERRED), and the mode's name. Throws as above.
TlsMode parseTlsMode(std::string_view text);
const char* tlsModeName(TlsMode mode);

}  // namespace db::mysql
