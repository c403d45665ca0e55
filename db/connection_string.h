// Connection strings: building the two strings the program sends, and parsing them.
//
// The strings have the ODBC form: "KEY=value;" pairs, keys compared without regard to letter
// case, and a value enclosed in braces may hold ";" (a "}" inside braces is written "}}").
// Ordinary values are inserted as they stand; a value that holds ";", "{" or "}" is enclosed in
// braces so that it cannot change the meaning of the rest of the string.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace db {

// The seven login fields of the connection window, as plain texts.
struct LoginFields {
    std::string server;
    std::string port;
    std::string user;
    std::string password;
    std::string database;
    std::string accessPath;
    std::string accessPassword;
};

class ConnectionString {
  public:
    // Throws db::Error (errc::kBadConnectionString) for an unterminated brace.
    static ConnectionString parse(std::string_view text);

    // The value of the first entry whose key equals `key` ignoring letter case.
    std::optional<std::string> get(std::string_view key) const;
    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

  private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// The value as it goes into a string: unchanged, or in braces with "}" doubled when it holds
// ";", "{" or "}".
std::string quoteConnectionValue(std::string_view value);

// "DRIVER={MySQL ODBC 5.1 Driver};SERVER=…;USER=…;DATABASE=…;PASSWORD=…;PORT=…;"
std::string mySqlConnectionString(const LoginFields& fields);

// How a MySQL session secures its link: the texts of the keys SSLMODE, SSLCA and
// SERVER_PUBLIC_KEY, whose meaning db/mysql/mysql_target.h gives. Empty texts leave a key out.
struct MySqlTlsOptions {
    std::string mode;  // DISABLED, PREFERRED (what an absent key means), REQUIRED, VERIFY_CA or
                       // VERIFY_IDENTITY
    std::string ca;    // a PEM file of trusted authorities
    std::string serverPublicKey;  // a PEM file with the server's RSA public key
};

// The string above followed by "SSLMODE=…;SSLCA=…;SERVER_PUBLIC_KEY=…;" for the options given;
// with none given, exactly the string above.
std::string mySqlConnectionString(const LoginFields& fields, const MySqlTlsOptions& tls);

// The Access string for `path` and `password`; an empty path takes both from `fields`.
// "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=…" when the path's last five characters are
// "accdb" in any letter case, else "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=…", then
// ";JET OLEDB:Database Password=…" and no trailing semicolon.
std::string buildAccessConnectionString(const LoginFields& fields, std::string_view path = {},
                                        std::string_view password = {});

}  // namespace db
