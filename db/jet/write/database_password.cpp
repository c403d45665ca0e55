// Rewriting the masked password field of the header page.
#include "db/jet/write/database_password.h"

#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/page/file.h"
#include "db/jet/page/header.h"
#include "db/jet/page/journal.h"
#include "db/jet/page/lock_file.h"

namespace jet {

void setDatabasePassword(const std::string& path, std::string_view oldPassword,
                         std::string_view newPassword) {
    // Check everything on a read-only view first, so that a refusal never needs write access.
    {
        const auto file = openPosixFile(path, OpenMode::ReadOnly);
        const Format& format = detectFormat(*file);
        std::vector<std::uint8_t> page0(format.pageSize);
        file->read(0, page0);
        const DatabaseHeader header = readHeader(page0, format);
        if (format.codec == CodecKind::Office && header.encodingKey != 0)
            throw Error(ErrorKind::NotSupported,
                        "Changing the password of an encrypted .accdb file is not supported yet.");
        checkAccess(header, oldPassword);
        if (format.readOnly)
            throw Error(ErrorKind::ReadOnly, std::string("Databases of the ") + format.name +
                                                 " format are read-only for this program.");
        writeHeaderPassword(page0, format, newPassword);  // validates the new password
    }
    // Like every writer: the lock file first (no other program may have the file open), and a
    // transaction left unfinished by a crash undone before the header is read again.
    const auto lock = DatabaseLock::acquire(path, LockKind::Exclusive);
    const auto file = openPosixFile(path, OpenMode::ReadWrite);
    if (!lock->sharedInProcess()) replayJournal(*file, *journalBeside(path));
    const Format& format = detectFormat(*file);
    std::vector<std::uint8_t> page0(format.pageSize);
    file->read(0, page0);
    checkAccess(readHeader(page0, format), oldPassword);
    writeHeaderPassword(page0, format, newPassword);
    // Only the bytes of the password field differ; write just the first sector that holds it.
    const std::size_t sector = 512;
    file->write(0, std::span<const std::uint8_t>(page0).first(sector));
    file->sync();
}

}  // namespace jet
