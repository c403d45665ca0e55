// Error numbers and texts of the MySQL backend.
#include "db/mysql/mysql_errors.h"

#include <errmsg.h>
#include <mysqld_error.h>

#include <string>

namespace db::mysql {

bool isConnectionLost(unsigned e) {
    switch (e) {
        case CR_SERVER_GONE_ERROR:
        case CR_SERVER_LOST:
        case CR_SERVER_LOST_EXTENDED:
        case CR_ERR_NET_READ:
        case CR_ERR_NET_WRITE:
        // On an encrypted session the library reports a link closed under it (the server
        // killed the connection, say) as a TLS error.
        case CR_SSL_CONNECTION_ERROR:
        case ER_CONNECTION_KILLED:
        case ER_SERVER_SHUTDOWN:
        case ER_NET_READ_ERROR:
        case ER_NET_READ_INTERRUPTED:
        case ER_NET_ERROR_ON_WRITE:
        case ER_NET_WRITE_INTERRUPTED:
            return true;
        default:
            return false;
    }
}

long openErrorNumber(unsigned e) {
    switch (e) {
        case ER_ACCESS_DENIED_ERROR:
        case ER_DBACCESS_DENIED_ERROR:
        case ER_ACCESS_DENIED_NO_PASSWORD_ERROR:
            return errc::kWrongPassword;
        default:
            return errc::kCannotOpen;
    }
}

long statementErrorNumber(unsigned e) {
    if (isConnectionLost(e)) return errc::kConnectionLost;
    switch (e) {
        case ER_PARSE_ERROR:
        case ER_EMPTY_QUERY:
        case ER_SYNTAX_ERROR:
            return errc::kSyntax;
        case ER_NO_SUCH_TABLE:
        case ER_BAD_TABLE_ERROR:
            return errc::kNoSuchTable;
        case ER_TABLE_EXISTS_ERROR:
            return errc::kTableExists;
        case ER_DUP_ENTRY:
        case ER_DUP_ENTRY_WITH_KEY_NAME:
        case ER_BAD_NULL_ERROR:
        case ER_DATA_TOO_LONG:
        case ER_WARN_DATA_OUT_OF_RANGE:
        case ER_TRUNCATED_WRONG_VALUE:
        case ER_TRUNCATED_WRONG_VALUE_FOR_FIELD:
        case ER_WRONG_VALUE_COUNT_ON_ROW:
        case ER_NO_REFERENCED_ROW:
        case ER_NO_REFERENCED_ROW_2:
        case ER_ROW_IS_REFERENCED:
        case ER_ROW_IS_REFERENCED_2:
        case ER_DIVISION_BY_ZERO:
            return errc::kConstraint;
        case ER_OPTION_PREVENTS_STATEMENT:
        case ER_READ_ONLY_MODE:
            return errc::kReadOnly;
        default:
            return errc::kGeneric;
    }
}

std::string lostSessionText(unsigned e, std::string text) {
    if (e == CR_SSL_CONNECTION_ERROR)
        return "The connection to the MySQL server was lost (" + text + ").";
    return text;
}

Error sessionError(MYSQL* m, long (*numberFor)(unsigned)) {
    const unsigned e = mysql_errno(m);
    std::string text = mysql_error(m);
    if (text.empty()) text = "The MySQL server reported error " + std::to_string(e) + ".";
    return Error(numberFor(e), std::move(text));
}

}  // namespace db::mysql
