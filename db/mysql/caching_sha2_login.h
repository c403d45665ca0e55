// The client side of caching_sha2_password, MySQL 8's default login method, built into the
// program rather than loaded from the client library's plugin folder.
//
// Connector/C 3.3's own plugin takes the link for encrypted when TLS was merely asked for, so a
// session that prefers TLS (the default here) would send the password in clear to a server that
// offers none. This one looks at the link itself:
//   - the fast path (the server knows the user from its cache): a SHA-256 scramble of the
//     password with the server's nonce, as the library's;
//   - the full login over TLS or a Unix socket: the password itself;
//   - the full login over unencrypted TCP: the password XOR the nonce, encrypted with the
//     server's RSA public key (RSA-OAEP), the key read from SERVER_PUBLIC_KEY or else asked of
//     the server; or, when the login asked for encryption (SSLMODE REQUIRED and stricter), no
//     password at all and an error.
#pragma once

#include "db/mysql/mysql_target.h"

namespace db::mysql {

// Registers the method with the client library, once per process. REQUIRES: the library is
// initialised, and has not loaded its own caching_sha2_password (the first session that needed it
// would have).
void registerCachingSha2Login();

// The mode of the login running on this thread, for the duration of one mysql_real_connect.
class LoginInProgress {
  public:
    explicit LoginInProgress(TlsMode mode);
    ~LoginInProgress();
    LoginInProgress(const LoginInProgress&) = delete;
    LoginInProgress& operator=(const LoginInProgress&) = delete;
};

}  // namespace db::mysql
