// An open Access database: the entry point of the engine.
//
// A Database is a DatabaseFile (catalog/database_file.h says what opening, reading and writing
// do) whose tables are read as the program shows them: every complex column of a table is
// resolved through its hidden tables (complex_column.h) into the text of its values. The
// engine's own layers read tables as stored (DatabaseFile::openStoredTable); everything above
// the engine reads them here.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/jet/catalog/database_file.h"

namespace jet {

class Database : public DatabaseFile {
  public:
    // Opens the file at `path`. Throws jet::Error: NotDatabase (no such file, not an Access
    // file), WrongPassword (the database password of a .mdb, or the password of an encrypted
    // .accdb, does not match; checked before any table is read), NotSupported (an encryption
    // scheme or a version the engine does not know), Corrupt, Io, Locked (another program holds
    // the file), ReadOnly (writing wanted, but no lock file or journal can be made beside the
    // file; or a journal must be played back and the file cannot be written).
    static std::unique_ptr<Database> open(const std::string& path, const OpenOptions& options);
    // Opens a file that is not on disk by path (memory, tests). Its journal lives in `journal`
    // (a memory journal when nullptr) and is played back first; no lock file is used.
    static std::unique_ptr<Database> open(std::unique_ptr<File> file, const OpenOptions& options);
    static std::unique_ptr<Database> open(std::unique_ptr<File> file,
                                          std::unique_ptr<JournalStore> journal,
                                          const OpenOptions& options);

    // A reader over the rows of the table named `name` (letter case ignored), complex columns
    // resolved. Throws like readableTable(), and Corrupt when the definition, or a hidden table
    // of a complex column, cannot be read.
    std::unique_ptr<TableReader> openTable(std::string_view name);
    std::unique_ptr<TableReader> openTable(const CatalogEntry& entry);

  private:
    Database() = default;
};

}  // namespace jet
