// The storage part of the integrity check: the catalogue, who claims every page, long values.
#include "db/jet/check/check.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

#include "db/jet/base/error.h"
#include "db/jet/catalog/catalog.h"
#include "db/jet/catalog/page_claims.h"
#include "db/jet/check/index_check.h"
#include "db/jet/database/database.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/free_pages.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/usage_map.h"

namespace jet {

namespace {

constexpr std::uint8_t kLvalMarker[4] = {'L', 'V', 'A', 'L'};

std::string tableName(const CatalogEntry& e) {
    return "table \"" + e.name + "\"";
}

// The bitmap pages of the reference usage map in the row `reference` points to (none for an
// inline map), and the page holding the row.
void claimMapStorage(Pager& pager, std::uint32_t reference, const std::string& who,
                     PageClaims& claims) {
    claims.claim(reference >> 8, Claim::MapRows, "the usage maps of " + who);
    for (std::uint32_t m : usageMapPages(pager, reference))
        claims.claim(m, Claim::MapBitmap, "the usage map of " + who);
}

// Reports the pages a usage map lists that are not what it must list.
void wrongPages(CheckReport& report, const std::string& map, const std::string& must,
                const std::vector<std::uint32_t>& pages, Pager& pager) {
    if (!pages.empty()) report.problem("pages", wrongPagesSentence(map, must, pages, pager));
}

// Reads the map at `reference` and hands each of its pages to `take`; a failure is a problem.
template <typename Take>
void forMapPages(Pager& pager, std::uint32_t reference, const std::string& who, PageClaims& claims,
                 CheckReport& report, Take take) {
    try {
        claimMapStorage(pager, reference, who, claims);
        const auto map = UsageMap::readReference(pager, reference);
        for (std::uint32_t page : map->pages())
            take(page);
    } catch (const Error& e) {
        report.problem("pages", "The usage map of " + who + " cannot be read: " + e.message());
    }
}

struct TableInfo {
    const CatalogEntry* entry = nullptr;
    std::shared_ptr<const TableDef> def;
    std::set<std::uint32_t> longValuePages;  // claimed by this table's long-value maps
};

void claimTable(Database& db, TableInfo& t, PageClaims& claims, CheckReport& report) {
    Pager& pager = db.pager();
    const TableDef& def = *t.def;
    const std::string who = tableName(*t.entry);
    for (std::uint32_t p : def.pages)
        claims.claim(p, Claim::Definition, "the definition of " + who);

    std::uint32_t stale = 0;
    std::set<std::uint32_t> owned;
    std::vector<std::uint32_t> wrong;
    forMapPages(pager, def.ownedPagesRef, who, claims, report, [&](std::uint32_t page) {
        const PageRef p = pager.page(page);
        const ByteReader r(p->span(), "data page", page);
        if (p->bytes[0] == page_type::kData && r.u32(pager.format().dataOwnerOffset) == def.page) {
            claims.claim(page, Claim::Data, "the rows of " + who);
            owned.insert(page);
        } else {
            wrong.push_back(page);
        }
    });
    wrongPages(report, "usage map of " + who, "its data pages", wrong, pager);
    if (def.freePagesRef != 0) {
        wrong.clear();
        forMapPages(pager, def.freePagesRef, who, claims, report, [&](std::uint32_t page) {
            if (owned.count(page)) return;
            // A page that left the table without leaving this map is harmless (rows go only
            // onto pages the table owns); one that is no data page at all is damage.
            if (pager.page(page)->bytes[0] == page_type::kData)
                ++stale;
            else
                wrong.push_back(page);
        });
        wrongPages(report, "map of pages with free space of " + who, "its data pages", wrong,
                   pager);
    }
    for (const ColumnDef& c : def.columns) {
        if (c.ownedPagesRef == 0) continue;
        const std::string colWho = "column \"" + c.name + "\" of " + who;
        wrong.clear();
        forMapPages(pager, c.ownedPagesRef, colWho, claims, report, [&](std::uint32_t page) {
            const PageRef p = pager.page(page);
            if (p->bytes[0] == page_type::kData &&
                std::equal(kLvalMarker, kLvalMarker + 4,
                           p->bytes.begin() +
                               static_cast<std::ptrdiff_t>(pager.format().dataOwnerOffset))) {
                claims.claim(page, Claim::LongValue, "the long values of " + who);
                t.longValuePages.insert(page);
            } else {
                wrong.push_back(page);
            }
        });
        wrongPages(report, "usage map of " + colWho, "long-value pages", wrong, pager);
        if (c.freePagesRef != 0)
            forMapPages(pager, c.freePagesRef, colWho, claims, report, [](std::uint32_t) {});
    }
    for (std::size_t i = 0; i < def.indexes.size(); ++i) {
        const PhysicalIndex& ix = def.indexes[i];
        if (ix.usageMapRef == 0) continue;
        const std::string ixWho = "index " + std::to_string(i) + " of " + who;
        wrong.clear();
        forMapPages(pager, ix.usageMapRef, ixWho, claims, report, [&](std::uint32_t page) {
            const std::uint8_t type = pager.page(page)->bytes[0];
            if (type == page_type::kIndexNode || type == page_type::kIndexLeaf)
                claims.claim(page, Claim::Index, "the " + ixWho);
            else
                wrong.push_back(page);
        });
        wrongPages(report, "usage map of " + ixWho, "index pages", wrong, pager);
    }
    if (stale)
        report.note("pages", "The map of pages with free space of " + who + " lists " +
                                 std::to_string(stale) + " page(s) that no longer belong to it.");
}

// Walks the pages of one long value and checks that they are long-value pages of its table.
void checkLongValue(Pager& pager, ByteSpan ref, const TableInfo& t, PageClaims& claims,
                    CheckReport& report) {
    if (ref.size() < kLongValueReferenceSize) return;  // short forms are checked by the decoder
    const ByteReader r(ref, "long-value reference");
    const std::uint32_t word = r.u32(0);
    const std::uint32_t kind = word & kLongValueKindMask;
    if (kind == kLongValueInline || (word & kLongValueLengthMask) == 0) return;
    ++report.longValues;
    std::uint32_t location = r.u32(4);
    std::unordered_set<std::uint32_t> seen;
    while (location != 0 && seen.insert(location).second) {
        const std::uint32_t page = location >> 8;
        if (page >= claims.size()) return;  // the decoder reports it
        // Access keeps no map of some long-value pages: the rows are their only reference.
        claims.claim(page, Claim::LongValue, "the long values of " + tableName(*t.entry));
        if (kind == kLongValueOnePage) return;
        const PageRef p = pager.page(page);
        const ByteReader pr(p->span(), "long-value page", page);
        const DataPage dp(pr, pager.format());
        const auto row = static_cast<std::uint16_t>(location & 0xFF);
        if (row >= dp.rowCount()) return;
        const ByteReader part = dp.row(row);
        if (part.size() < 4) return;
        location = part.u32(0);
    }
}

void checkRows(Database& db, TableInfo& t, PageClaims& claims, CheckReport& report) {
    const std::string who = tableName(*t.entry);
    try {
        auto reader = db.openStoredTable(*t.entry);
        std::vector<db::Value> row;
        std::uint64_t n = 0;
        while (reader->next(row))
            ++n;
        report.rows += n;
        // Fewer rows than counted: some cannot be reached, they were lost. More: the count lags
        // behind, as Access leaves it in sound files (of system tables mostly).
        if (n < t.def->rowCount)
            report.problem("catalogue", "The definition of " + who + " counts " +
                                            std::to_string(t.def->rowCount) + " rows, but only " +
                                            std::to_string(n) +
                                            " can be read: the others were lost.");
        else if (n > t.def->rowCount)
            report.note("catalogue", "The definition of " + who + " counts " +
                                         std::to_string(t.def->rowCount) + " rows; it has " +
                                         std::to_string(n) + ".");
    } catch (const Error& e) {
        report.problem("catalogue", "The rows of " + who + " cannot be read: " + e.message());
        return;
    }
    std::vector<const ColumnDef*> lvColumns;
    for (const ColumnDef& c : t.def->columns)
        if (c.type == ColumnType::Memo || c.type == ColumnType::Ole) lvColumns.push_back(&c);
    if (lvColumns.empty()) return;
    try {
        TableScan scan(db.pager(), *t.def);
        while (scan.next()) {
            const RowView view(scan.row(), db.format(), t.def->varColumns > 0);
            for (const ColumnDef* c : lvColumns) {
                if (view.isNull(*c)) continue;
                bool present = false;
                const ByteSpan ref = view.varBytes(*c, present);
                if (present) checkLongValue(db.pager(), ref, t, claims, report);
            }
        }
    } catch (const Error& e) {
        report.problem("long values",
                       "The long values of " + who + " cannot be read: " + e.message());
    }
}

}  // namespace

void checkStorage(Database& db, CheckReport& report) {
    Pager& pager = db.pager();
    report.pages = pager.pageCount();
    PageClaims claims(pager.pageCount(),
                      [&report](std::string m) { report.problem("pages", std::move(m)); });
    claims.claim(0, Claim::Header, "the header");
    try {
        FreePageMap map(pager);
        claims.claim(kFreePageMapPage, Claim::FreeMap, "the free-page map");
        for (std::uint32_t m : map.bitmapPages())
            claims.claim(m, Claim::MapBitmap, "the free-page map");
        for (std::uint32_t p : map.freePages()) {
            if (p <= 2) {
                report.problem("pages", "The free-page map lists page " + std::to_string(p) +
                                            ", which the file itself needs, as free.");
                continue;
            }
            claims.claim(p, Claim::Free, "the free pages");
            ++report.freePages;
        }
    } catch (const Error& e) {
        report.problem("pages", "The free-page map cannot be read: " + e.message());
    }

    std::vector<TableInfo> tables;
    for (const CatalogEntry& e : db.catalog().entries()) {
        if (e.type != object_type::kTable) continue;
        TableInfo t;
        t.entry = &e;
        try {
            t.def = db.tableDef(e);
        } catch (const Error& err) {
            report.problem("catalogue", "The definition of " + tableName(e) +
                                            " cannot be read: " + err.message());
            continue;
        }
        tables.push_back(std::move(t));
    }
    report.tables = static_cast<std::uint32_t>(tables.size());
    for (TableInfo& t : tables)
        claimTable(db, t, claims, report);
    for (TableInfo& t : tables)
        checkRows(db, t, claims, report);

    for (std::uint32_t p = 0; p < claims.size(); ++p)
        if (claims.owner(p).claim == Claim::None) ++report.orphanPages;
    if (report.orphanPages)
        report.note("pages", std::to_string(report.orphanPages) +
                                 " page(s) belong to nothing and are not listed as free.");
}

CheckReport checkDatabase(Database& db) {
    CheckReport report;
    if (const ReplayResult& r = db.recovery(); r.ignored)
        report.note("journal", r.note);
    else if (r.pagesRestored > 0 || r.truncated)
        report.note("journal",
                    "A transaction left unfinished by a program that stopped while "
                    "writing was undone when the file was opened (" +
                        std::to_string(r.pagesRestored) + " page(s) restored).");
    try {
        checkStorage(db, report);
    } catch (const Error& e) {
        report.problem("pages", e.message());
    }
    checkIndexes(db, report);
    return report;
}

}  // namespace jet
