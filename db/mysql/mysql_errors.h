// Turning what the MySQL client library reports into db::Error.
//
// The description is the server's (or the client library's) own message. The number tells the
// kind of failure so that callers can react without reading texts: a lost session is always
// errc::kConnectionLost, a failed login errc::kWrongPassword or errc::kCannotOpen, a rejected
// statement one of the statement numbers (kSyntax, kNoSuchTable, kTableExists, kConstraint,
// kReadOnly, kTransactionRolledBack) or errc::kGeneric.
#pragma once

#include <mysql.h>

#include <string>

#include "db/error.h"

namespace db::mysql {

// True for the client and server error numbers that mean the session is gone: the server went
// away or the link dropped between or during statements (a TLS error on an encrypted session),
// the connection was killed, or the server is shutting down. Only for open sessions: while
// logging in, a TLS error means the encrypted link could not be set up.
bool isConnectionLost(unsigned mysqlErrno);

// The description of a lost session: the library's text, in a sentence where the text alone
// does not say the session is gone (a TLS error).
std::string lostSessionText(unsigned mysqlErrno, std::string text);

// The db::Error number for a failure while logging in.
long openErrorNumber(unsigned mysqlErrno);
// The db::Error number for a failure of a statement on an open session.
long statementErrorNumber(unsigned mysqlErrno);

// The error the session `m` holds after a failed call, numbered by `numberFor`.
Error sessionError(MYSQL* m, long (*numberFor)(unsigned));

}  // namespace db::mysql
