// Building a new, empty database: the first two pages by hand, the system tables' pages as new
// tables get them, their rows through the table stores.
#include "db/jet/write/new_database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <random>

#include "db/jet/base/error.h"
#include "db/jet/catalog/catalog.h"
#include "db/jet/catalog/system_tables.h"
#include "db/jet/database/database.h"
#include "db/jet/page/file.h"
#include "db/jet/page/journal.h"
#include "db/jet/page/new_header.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/usage_map.h"
#include "db/jet/write/properties_writer.h"
#include "db/jet/write/table_creator.h"
#include "db/jet/write/table_def_writer.h"
#include "db/jet/write/table_store.h"
#include "db/jet/write/value_convert.h"

namespace jet {

namespace {

// The owner field of the free-page map's page, as the engine writes it.
constexpr std::uint32_t kFreeMapPageOwner = 1;

// Page 1: the free-page map (row 0), an inline map from page 0 whose set bits are free pages;
// every page from 2 on lies past the end of the file and is marked free. Row 1 is an empty map.
std::vector<std::uint8_t> freeMapPage(const Format& f) {
    std::vector<std::uint8_t> page(f.pageSize, 0);
    startDataPage(page, f, kFreeMapPageOwner);
    std::vector<std::uint8_t> map = emptyInlineMap(f, 0);
    const auto bitmap = std::span<std::uint8_t>(map).subspan(kInlineUsageMapHeader);
    for (std::size_t i = 2; i < bitmap.size() * 8; ++i)
        setUsageBit(bitmap, i, true);
    if (appendDataPageRow(page, f, map) != 0) throw Error(ErrorKind::Engine, "free-page map row");
    const std::vector<std::uint8_t> second = emptyInlineMap(f, 0);
    if (appendDataPageRow(page, f, second) != 1)
        throw Error(ErrorKind::Engine, "free-page map row");
    return page;
}

// The columns of `t` laid out as the engine lays out its own: numbered in order, fixed columns
// at consecutive offsets (Yes/No in the null mask), variable ones at consecutive indexes, a
// fixed column recording how many variable columns precede it.
std::vector<ColumnDef> layoutSystemColumns(const SystemTable& t, SortOrder order) {
    std::vector<ColumnDef> out;
    std::uint16_t fixedOffset = 0, varIndex = 0;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const SystemColumn& s = t.columns[i];
        ColumnDef c;
        c.name = s.name;
        c.type = s.type;
        c.typeCode = static_cast<std::uint8_t>(s.type);
        c.number = static_cast<std::uint16_t>(i);
        c.index = static_cast<std::uint16_t>(i);
        c.length = s.length;
        c.flags = s.flags;
        c.extFlags = s.extFlags;
        c.precision = s.precision;
        c.scale = s.scale;
        c.sortOrder = order.language;
        c.sortOrderVersion = order.version;
        if (c.fixed()) {
            c.varIndex = varIndex;
            // Yes/No lives in the null mask; its offset stays 0.
            if (s.type != ColumnType::Boolean) {
                c.fixedOffset = fixedOffset;
                fixedOffset = static_cast<std::uint16_t>(fixedOffset + s.length);
            }
        } else {
            c.varIndex = varIndex++;
        }
        out.push_back(std::move(c));
    }
    return out;
}

std::uint16_t columnNumber(const SystemTable& t, const std::string& name) {
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].name == name) return static_cast<std::uint16_t>(i);
    throw Error(ErrorKind::Engine, "no column " + name + " in " + t.name);
}

// The pages of the empty system table `t`, as a new table gets them (table_creator.h), with
// the column and index flags and the table kind of the engine's own tables. Returns the first
// page of its definition.
std::uint32_t createSystemStorage(Pager& pager, const SystemTable& t, SortOrder order) {
    NewTableDef def;
    def.sortOrder = order;
    def.tableKind = t.tableKind;
    def.columns = layoutSystemColumns(t, order);
    for (const SystemIndex& idx : t.indexes) {
        IndexPlan plan;
        plan.name = idx.name;
        for (const auto& column : idx.columns)
            plan.columns.push_back(columnNumber(t, column));
        plan.primaryKey = idx.primaryKey;
        plan.flags = idx.flags;
        def.indexes.push_back(std::move(plan));
    }
    return createTableStorage(pager, std::move(def));
}

SortOrder sortOrderOf(std::uint32_t packed) {
    SortOrder s;
    s.language = static_cast<std::uint16_t>(packed & 0xFFFF);
    s.version = static_cast<std::uint8_t>(packed >> 24);
    return s;
}

db::DateTime now() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return db::DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                        tm.tm_min,         tm.tm_sec,     0};
}

db::Value sidValue(const CreationStamp& stamp, SidRole role) {
    const auto& sid = stamp.sid(role);
    return db::Value::binary(db::Bytes(sid.begin(), sid.end()));
}

// Fills one system table through its table store, naming values by column.
class RowWriter {
  public:
    RowWriter(Database& db, const std::string& name, std::uint32_t tdefPage) {
        entry_.id = static_cast<std::int32_t>(tdefPage);
        entry_.parentId = system_id::kTables;
        entry_.name = name;
        entry_.type = object_type::kTable;
        store_ = std::make_unique<TableStore>(db, entry_, db.tableDef(entry_));
    }
    void insert(const std::map<std::string, db::Value>& named) {
        const TableDef& def = store_->def();
        std::vector<db::Value> values(def.columns.size());
        for (const auto& [column, value] : named) {
            const ColumnDef* c = def.column(column);
            if (!c) throw Error(ErrorKind::Engine, "no column " + column + " in " + entry_.name);
            values[static_cast<std::size_t>(c - def.columns.data())] =
                convertValue(value, *c, entry_.name);
        }
        store_->insert(std::move(values));
    }

  private:
    CatalogEntry entry_;
    std::unique_ptr<TableStore> store_;
};

// The rows of the catalogue and of the access-control table.
void writeSystemRows(Database& db, const std::vector<SystemTable>& tables,
                     const std::vector<std::uint32_t>& pages) {
    const Format& f = db.format();
    const CreationStamp& stamp = creationStamp(f);
    const db::Value when = db::Value::dateTime(now());
    RowWriter objects(db, tables[0].name, pages[0]);
    RowWriter aces(db, tables[1].name, pages[1]);

    auto object = [&](std::int32_t id, std::int32_t parent, const std::string& name,
                      std::int16_t type, std::optional<SidRole> owner, std::uint32_t flags,
                      db::Value properties) {
        objects.insert({{"Id", db::Value::integer(id)},
                        {"ParentId", db::Value::integer(parent)},
                        {"Name", db::Value::text(name)},
                        {"Type", db::Value::integer(type)},
                        {"DateCreate", when},
                        {"DateUpdate", when},
                        {"Owner", owner ? sidValue(stamp, *owner) : db::Value()},
                        {"Flags", db::Value::integer(static_cast<std::int32_t>(flags))},
                        {"LvProp", std::move(properties)}});
    };
    const std::vector<SystemObject> systemObjectList = systemObjects(f);
    std::vector<std::pair<std::int32_t, const std::vector<AccessRule>*>> access;
    for (const SystemObject& o : systemObjectList) {
        db::Value props;
        if (o.id == system_id::kDatabaseObject)
            props = db::Value::binary(encodeObjectProperties(f, databaseProperties(f)));
        object(o.id, o.parentId, o.name, o.type, o.owner, o.flags, std::move(props));
        access.emplace_back(o.id, &o.access);
    }
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const auto id = static_cast<std::int32_t>(pages[i]);
        object(id, system_id::kTables, tables[i].name, object_type::kTable,
               tables[i].owned ? std::optional<SidRole>(SidRole::Engine) : std::nullopt,
               tables[i].catalogFlags, db::Value());
        access.emplace_back(id, &tables[i].access);
    }
    for (const auto& [id, rules] : access)
        for (const AccessRule& r : *rules)
            aces.insert({{"ObjectId", db::Value::integer(id)},
                         {"SID", sidValue(stamp, r.sid)},
                         {"ACM", db::Value::integer(static_cast<std::int32_t>(r.rights))},
                         {"FInheritable", db::Value::boolean(r.inherited)}});
}

}  // namespace

bool canCreate(Version version) {
    return version != Version::Jet3;
}

Version versionForName(const std::string& name) {
    std::string n;
    for (char c : name)
        n.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
    if (n == "jet4") return Version::Jet4;
    if (n == "ace12") return Version::Ace12;
    if (n == "ace14") return Version::Ace14;
    if (n == "ace16") return Version::Ace16;
    if (n == "ace17") return Version::Ace17;
    throw Error(ErrorKind::NotSupported, "Unknown database format \"" + name +
                                             "\": choose jet4, ace12, ace14, ace16 or ace17.");
}

std::vector<std::uint8_t> newDatabaseImage(Version version) {
    if (!canCreate(version))
        throw Error(ErrorKind::NotSupported,
                    std::string("New databases of the ") + Format::of(version).name +
                        " format cannot be made: that format is read-only for this program.");
    const Format& f = Format::of(version);
    const std::uint32_t sortOrder = newSortOrder(f);
    const std::vector<SystemTable> tables = systemTables(f);

    // Pages 0 and 1, then every system table's pages in one transaction of a bare pager.
    std::vector<std::uint8_t> image =
        newHeaderPage(f, {creationStamp(f).dateBits, sortOrder, 1252});
    const std::vector<std::uint8_t> page1 = freeMapPage(f);
    image.insert(image.end(), page1.begin(), page1.end());
    std::vector<std::uint32_t> pages;
    {
        Pager pager(std::make_unique<MemoryFile>(std::move(image)), f, Pager::kDefaultCachePages,
                    std::make_unique<MemoryJournalStore>());
        FreePageAllocator::install(pager);
        pager.begin();
        for (const SystemTable& t : tables)
            pages.push_back(createSystemStorage(pager, t, sortOrderOf(sortOrder)));
        pager.commit();
        if (pages[0] != kCatalogPage)
            throw Error(ErrorKind::Engine, "the catalogue's definition is not on page 2");
        image = static_cast<MemoryFile&>(pager.file()).bytes();
    }

    // The rows, through the table stores of an open database, so that the system tables'
    // indexes hold them.
    OpenOptions options;
    options.mode = OpenMode::ReadWrite;
    auto db = Database::open(std::make_unique<MemoryFile>(std::move(image)),
                             std::make_unique<MemoryJournalStore>(), options);
    db->writeStatement([&] { writeSystemRows(*db, tables, pages); });
    return static_cast<MemoryFile&>(db->pager().file()).bytes();
}

void createDatabase(const std::string& path, Version version) {
    const std::vector<std::uint8_t> image = newDatabaseImage(version);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        throw Error(ErrorKind::Io, "\"" + path + "\" already exists.");

    // Written under a name of its own beside the target, then linked into place: link() fails
    // when the target appeared meanwhile, so nothing is ever overwritten.
    std::random_device random;
    const std::string temp = path + ".new-" + std::to_string(random());
    {
        auto file = createPosixFile(temp);
        try {
            file->write(0, image);
            file->sync();
        } catch (...) {
            ::unlink(temp.c_str());
            throw;
        }
    }
    if (::link(temp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        if (e == EEXIST) throw Error(ErrorKind::Io, "\"" + path + "\" already exists.");
        throw Error(ErrorKind::Io, "Cannot create \"" + path + "\": " + std::strerror(e) + ".");
    }
    ::unlink(temp.c_str());
    syncParentDirectory(path);
}

}  // namespace jet
