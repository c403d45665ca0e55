// Opening a database file, its transactions, and its tables as stored.
#include "db/jet/catalog/database_file.h"

#include <sys/stat.h>

#include "db/jet/base/error.h"
#include "db/jet/catalog/write_check.h"
#include "db/jet/page/office_codec.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_reader.h"

namespace jet {

DatabaseFile::~DatabaseFile() {
    // The pager undoes an open transaction when it goes; the lock goes last.
    if (pager_ && pager_->inTransaction()) {
        try {
            pager_->rollback();
        } catch (...) {
        }
    }
}

namespace {

[[noreturn]] void cannotRepair(const std::string& path) {
    throw Error(ErrorKind::ReadOnly,
                "The database \"" + path +
                    "\" was left unfinished by a program that stopped while writing to it, and "
                    "it cannot be repaired because it cannot be written. Make it writable and "
                    "open it again.");
}

}  // namespace

void DatabaseFile::openPath(const std::string& path, const OpenOptions& options) {
    const bool write = options.mode == OpenMode::ReadWrite;
    // Opening only reads, so it takes the lock shared even to write later: the first
    // transaction takes it exclusively (beginTransaction), and opening never makes a lock file.
    auto lock = DatabaseLock::acquire(path, LockKind::Shared, options.lockFile);
    auto journal = journalBeside(path);
    std::unique_ptr<File> file = openPosixFile(path, options.mode);
    ReplayResult recovery;
    // A live journal while no other connection of this program has the file open was left by
    // a program that stopped in the middle of a transaction: undo that transaction first.
    if (!lock->sharedInProcess() && journalIsLive(*journal)) {
        auto repair = DatabaseLock::acquire(path, LockKind::Exclusive);
        if (write) {
            recovery = replayJournal(*file, *journal);
        } else {
            std::unique_ptr<File> rw;
            try {
                rw = openPosixFile(path, OpenMode::ReadWrite);
            } catch (const Error&) {
                cannotRepair(path);
            }
            recovery = replayJournal(*rw, *journal);
        }
    }

    path_ = path;
    lock_ = std::move(lock);
    seenGeneration_ = lock_->generation();
    recovery_ = recovery;
    const Format& format = detectFormat(*file);
    pager_ = std::make_unique<Pager>(std::move(file), format, options.cachePages,
                                     write ? std::move(journal) : nullptr);
    finishOpen(options);
    stamp_ = fileStamp();
}

void DatabaseFile::lockForWriting() {
    if (!lock_ || lock_->kind() == LockKind::Exclusive) return;
    auto exclusive = DatabaseLock::acquire(path_, LockKind::Exclusive);
    lock_ = std::move(exclusive);
    // Until now other programs could write: read the file as it is, undoing first what one of
    // them left unfinished, and delete a journal that promises nothing.
    JournalStore& journal = *pager_->journalStore();
    bool changed = false;
    if (!lock_->sharedInProcess()) {
        if (journalIsLive(journal)) {
            recovery_ = replayJournal(pager_->file(), journal);
            changed = true;
        } else if (journal.open()) {
            journal.remove();
        }
    }
    if (changed || fileStamp() != stamp_) {
        pager_->dropCache();
        defs_.clear();
        catalog_ = std::make_unique<Catalog>(*pager_, *codePage_);
        structureChecked_ = false;
    }
}

void DatabaseFile::checkStructureBeforeWriting() {
    if (structureChecked_) return;
    const std::vector<std::string> problems = structureProblems(*this);
    if (!problems.empty()) {
        std::string more;
        if (problems.size() > 1)
            more = " (" + std::to_string(problems.size() - 1) + " more problem" +
                   (problems.size() > 2 ? "s" : "") + " found)";
        throw Error(ErrorKind::Corrupt,
                    "Nothing was written to \"" + pager_->file().name() +
                        "\": the file is damaged, and writing would damage it further. " +
                        problems.front() + more);
    }
    structureChecked_ = true;
}

DatabaseFile::FileStamp DatabaseFile::fileStamp() const {
    struct stat st;
    if (path_.empty() || ::stat(path_.c_str(), &st) != 0) return {};
    return {static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void DatabaseFile::openFile(std::unique_ptr<File> file, std::unique_ptr<JournalStore> journal,
                            const OpenOptions& options) {
    if (journal) recovery_ = replayJournal(*file, *journal);
    const Format& format = detectFormat(*file);
    pager_ =
        std::make_unique<Pager>(std::move(file), format, options.cachePages, std::move(journal));
    finishOpen(options);
}

void DatabaseFile::finishOpen(const OpenOptions& options) {
    FreePageAllocator::install(*pager_);
    const Format& format = pager_->format();
    const PageRef page0 = pager_->page(0);
    header_ = readHeader(page0->span(), format);
    // The password is checked before any page other than the header is read.
    if (header_.encodingKey != 0 && format.codec == CodecKind::Office) {
        // An encrypted .accdb: its own verifier checks the password and gives the page key.
        encryption_ = readOfficeEncryption(page0->span());
        pager_->setCodec(openOfficeCodec(*encryption_, header_.encodingKey, options.password));
    } else {
        checkAccess(header_, options.password);
        if (header_.encodingKey != 0)
            pager_->setCodec(std::make_unique<Rc4PageCodec>(header_.encodingKey));
    }
    codePage_ = &CodePage::get(header_.codePage);
    catalog_ = std::make_unique<Catalog>(*pager_, *codePage_);
}

// ---- transactions ----

void DatabaseFile::refresh() {
    if (!lock_ || pager_->inTransaction()) return;
    const std::uint64_t g = lock_->generation();
    if (g == seenGeneration_) return;
    pager_->dropCache();
    defs_.clear();
    ++schemaEpoch_;
    catalog_ = std::make_unique<Catalog>(*pager_, *codePage_);
    seenGeneration_ = g;
}

void DatabaseFile::beginTransaction() {
    if (inTransaction())
        throw Error(ErrorKind::Usage,
                    "A transaction is already open on \"" + pager_->file().name() + "\".");
    refresh();
    if (!pager_->writable()) {
        explicit_ = true;  // a transaction that only reads
        return;
    }
    lockForWriting();  // before the token: the token belongs to the lock's handle
    checkStructureBeforeWriting();
    if (lock_ && !lock_->tryBeginWriting())
        throw Error(ErrorKind::Locked, "The database \"" + pager_->file().name() +
                                           "\" is being changed by another connection of this "
                                           "program; finish that first.");
    try {
        pager_->begin();
    } catch (...) {
        if (lock_) lock_->endWriting();
        throw;
    }
    // Statements of this transaction add rows on new pages only, so other readers see each
    // table's new rows appear at once when it commits (pager.h).
    pager_->setRowsOnNewPagesOnly(true);
    explicit_ = true;
}

void DatabaseFile::endWrite() noexcept {
    explicit_ = false;
    if (lock_) lock_->endWriting();
}

void DatabaseFile::afterRollback() noexcept {
    defs_.clear();
    ++schemaEpoch_;
    try {
        catalog_ = std::make_unique<Catalog>(*pager_, *codePage_);
    } catch (...) {
        // The old catalogue stays; the failure shows again at the next read.
    }
}

void DatabaseFile::commitTransaction() {
    if (!explicit_) throw Error(ErrorKind::Usage, "No transaction is open to commit.");
    if (!pager_->inTransaction()) {
        endWrite();
        return;
    }
    try {
        pager_->commit();
    } catch (...) {
        endWrite();
        afterRollback();
        throw;
    }
    endWrite();
    if (lock_) {
        lock_->bumpGeneration();
        seenGeneration_ = lock_->generation();
    }
}

void DatabaseFile::rollbackTransaction() {
    if (!explicit_) throw Error(ErrorKind::Usage, "No transaction is open to roll back.");
    if (!pager_->inTransaction()) {
        endWrite();
        return;
    }
    try {
        pager_->rollback();
    } catch (...) {
        endWrite();
        afterRollback();
        throw;
    }
    endWrite();
    afterRollback();
}

void DatabaseFile::schemaChanged() {
    defs_.clear();
    ++schemaEpoch_;
    catalog_ = std::make_unique<Catalog>(*pager_, *codePage_);
}

DatabaseFile::Statement::Statement(DatabaseFile& db) : db_(db) {
    db_.pager_->requireWritable();
    if (db_.pager_->inTransaction()) {
        db_.pager_->savepoint();
        return;
    }
    db_.beginTransaction();
    db_.explicit_ = false;
    // One statement: its rows may join pages other readers see, which it writes at once.
    if (db_.pager_->inTransaction()) db_.pager_->setRowsOnNewPagesOnly(false);
    ownTransaction_ = true;
}

void DatabaseFile::Statement::commit() {
    if (done_) return;
    done_ = true;
    if (!ownTransaction_) {
        db_.pager_->releaseSavepoint();
        // Between statements no page handle is held: a safe point to bound the memory of a
        // long transaction. A failure there has undone the whole transaction.
        if (db_.pager_->savepointDepth() == 0) {
            try {
                db_.pager_->spillIfLarge();
            } catch (...) {
                db_.endWrite();
                db_.afterRollback();
                throw;
            }
        }
        return;
    }
    try {
        db_.pager_->commit();
    } catch (...) {
        db_.endWrite();
        db_.afterRollback();
        throw;
    }
    db_.endWrite();
    if (db_.lock_) {
        db_.lock_->bumpGeneration();
        db_.seenGeneration_ = db_.lock_->generation();
    }
}

DatabaseFile::Statement::~Statement() {
    if (done_) return;
    Pager& pager = *db_.pager_;
    // A statement refused before it wrote a page leaves the catalogue and the definitions as
    // they were: nothing to read again.
    const bool changed = ownTransaction_ ? pager.changedInTransaction()
                                         : !pager.inTransaction() || pager.savepointDepth() == 0 ||
                                               pager.changedSinceSavepoint();
    try {
        if (ownTransaction_) {
            if (pager.inTransaction()) pager.rollback();
            db_.endWrite();
        } else if (pager.inTransaction() && pager.savepointDepth() > 0) {
            pager.rollbackToSavepoint();
        } else if (!pager.inTransaction()) {
            // A failed spill undid the whole transaction under the statement.
            db_.endWrite();
        }
    } catch (...) {
        db_.endWrite();
        db_.afterRollback();
        return;
    }
    if (changed) db_.afterRollback();
}

std::vector<DatabaseFile::SchemaEntry> DatabaseFile::schema() const {
    std::vector<SchemaEntry> out;
    for (const auto& e : catalog_->entries())
        if (auto kind = catalog_->kindOf(e)) out.push_back({e.name, *kind});
    return out;
}

std::vector<std::string> DatabaseFile::userTableNames() const {
    std::vector<std::string> out;
    for (const auto& e : catalog_->entries())
        if (catalog_->kindOf(e) == TableKind::Table) out.push_back(e.name);
    return out;
}

std::shared_ptr<const TableDef> DatabaseFile::tableDef(const CatalogEntry& entry) {
    const std::uint32_t page = entry.tableDefPage();
    auto it = defs_.find(page);
    if (it != defs_.end()) return it->second;
    auto def = std::make_shared<const TableDef>(readTableDef(*pager_, page, *codePage_));
    defs_.emplace(page, def);
    return def;
}

std::vector<PropertyMap> DatabaseFile::properties(const CatalogEntry& entry) {
    if (entry.lvPropRef.empty()) return {};
    const ByteReader ref(entry.lvPropRef, "property reference");
    const std::vector<std::uint8_t> blob = readLongValue(*pager_, ref);
    return parseProperties(blob, format(), *codePage_);
}

const CatalogEntry& DatabaseFile::readableTable(std::string_view name) {
    refresh();
    const CatalogEntry* entry = catalog_->findTable(name);
    if (entry) return *entry;
    for (const auto& e : catalog_->entries()) {
        if (!sameName(e.name, name) || e.parentId != catalog_->tablesContainer()) continue;
        if (e.type == object_type::kQuery)
            throw Error(
                ErrorKind::NotSupported,
                "'" + e.name + "' is a saved query, which the Access engine cannot run yet.");
        if (e.type == object_type::kLink || e.type == object_type::kOdbcLink)
            throw Error(ErrorKind::NotSupported,
                        "'" + e.name +
                            "' is a table linked from another database, which the Access engine "
                            "cannot read yet.");
    }
    throw Error(ErrorKind::NoSuchTable,
                "The Access engine cannot find the table '" + std::string(name) +
                    "'. Make sure it exists and that its name is spelled correctly.");
}

std::unique_ptr<TableReader> DatabaseFile::openStoredTable(
    const CatalogEntry& entry, std::map<std::uint16_t, ComplexValueMap> complex) {
    auto def = tableDef(entry);
    bool anyCalculated = false;
    for (const auto& c : def->columns)
        if (c.calculated()) anyCalculated = true;
    std::vector<PropertyMap> props;
    if (anyCalculated) props = properties(entry);

    std::vector<ColumnDecoder> decoders;
    for (const auto& c : def->columns) {
        std::uint8_t resultType = 0;
        if (c.calculated()) {
            for (const auto& map : props)
                if (sameName(map.name, c.name))
                    if (const Property* p = map.find("ResultType"); p && !p->value.empty())
                        resultType = p->value[0];
        }
        decoders.push_back(ColumnDecoder::make(c, resultType));
    }
    return std::make_unique<TableReader>(*pager_, *codePage_, entry.name, def, std::move(decoders),
                                         std::move(complex));
}

}  // namespace jet
