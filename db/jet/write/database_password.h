// Setting, changing and removing the database password of a .mdb file.
//
// A Jet 4 .mdb keeps its database password masked in the header page (header.h); setting one
// rewrites that one field and nothing else, so the pages stay as they are (stored plain, or
// RC4-encoded with the key the header already names). The header's first sector holds the
// whole field, so the change reaches the disk in one sector write.
#pragma once

#include <string>
#include <string_view>

namespace jet {

// Makes `newPassword` (UTF-8; empty: no password) the database password of the .mdb file at
// `path`, which must open with `oldPassword`. Throws jet::Error: NotDatabase (no such file, not
// an Access file), WrongPassword (`oldPassword` does not open it), ReadOnly (a Jet 3 file),
// NotSupported (an .accdb file; a password
// longer than 20 characters or with a NUL), Io (among others: no write permission). On any failure
// the file is unchanged.
void setDatabasePassword(const std::string& path, std::string_view oldPassword,
                         std::string_view newPassword);

}  // namespace jet
