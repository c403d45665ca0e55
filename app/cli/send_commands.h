// to-mysql and to-access: the browser's two send commands from the command line, by the same
// table steps, type mapping, proposals and script runner (transfer/table_send.h,
// typecustom/column_proposals.h, review/script_executor.h).
//
//   dunmorrow-cli to-mysql  ACCESS_FILE mysql://USER@HOST:PORT/DATABASE [TABLE ...] [options]
//   dunmorrow-cli to-access mysql://USER@HOST:PORT/DATABASE ACCESS_FILE [TABLE ...] [options]
//
// The tables go as the browser sends its selection: in the order of its list, from the last to
// the first, so that --script writes the bytes the review window's Save writes for the same
// selection. Executed, the script is made table by table while it runs and never held whole.
//
// Exit status: 0 when every line ran; 1 when a line was rejected or could not be made (the lines
// before it stay in effect); 2 when nothing was changed: a command line not understood, a server
// that cannot be reached, a wrong password, a missing file or table, an existing table without
// --overwrite, or a name the Access file cannot hold.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "db/connection_string.h"

namespace cli {

int toMySqlCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err);
int toAccessCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                    std::ostream& err);

// mysql://USER@HOST:PORT/DATABASE, with %XX escapes in the user and database names, a host in
// brackets for IPv6 addresses, and the port 3306 when it is left out. Fills server, port, user
// and database. Throws UsageError for any other form, and for a password in the address.
void parseMySqlAddress(const std::string& text, db::LoginFields& login);

}  // namespace cli
