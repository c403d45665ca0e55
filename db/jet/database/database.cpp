// Opening a database, and its tables with their complex columns resolved.
#include "db/jet/database/database.h"

#include <map>

#include "db/jet/database/complex_column.h"
#include "db/jet/table/table_reader.h"

namespace jet {

std::unique_ptr<Database> Database::open(const std::string& path, const OpenOptions& options) {
    std::unique_ptr<Database> db(new Database());
    db->openPath(path, options);
    return db;
}

std::unique_ptr<Database> Database::open(std::unique_ptr<File> file, const OpenOptions& options) {
    return open(std::move(file), std::make_unique<MemoryJournalStore>(), options);
}

std::unique_ptr<Database> Database::open(std::unique_ptr<File> file,
                                         std::unique_ptr<JournalStore> journal,
                                         const OpenOptions& options) {
    std::unique_ptr<Database> db(new Database());
    db->openFile(std::move(file), std::move(journal), options);
    return db;
}

std::unique_ptr<TableReader> Database::openTable(std::string_view name) {
    return openTable(readableTable(name));
}

std::unique_ptr<TableReader> Database::openTable(const CatalogEntry& entry) {
    const auto def = tableDef(entry);
    std::map<std::uint16_t, ComplexValueMap> complex;
    if (format().complexColumns)
        for (const auto& c : def->columns)
            if (c.type == ColumnType::Complex)
                complex.emplace(c.number, loadComplexValues(*this, *def, c));
    return openStoredTable(entry, std::move(complex));
}

}  // namespace jet
