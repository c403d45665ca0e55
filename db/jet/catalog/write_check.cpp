// Reading the free-page map, the definitions, usage maps and index roots before writing.
#include "db/jet/catalog/write_check.h"

#include "db/jet/base/byte_reader.h"
#include "db/jet/base/error.h"
#include "db/jet/catalog/database_file.h"
#include "db/jet/catalog/page_claims.h"
#include "db/jet/table/free_pages.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/usage_map.h"

namespace jet {

namespace {

// Claims the pages of the map at `reference` as `claim` by `who`, with the page holding its row
// and, for a reference map, its bitmap pages. Returns the pages the map lists.
std::vector<std::uint32_t> claimMap(Pager& pager, std::uint32_t reference, Claim claim,
                                    const std::string& who, PageClaims& claims) {
    const auto map = UsageMap::readReference(pager, reference);
    claims.claim(reference >> 8, Claim::MapRows, "the usage maps of " + who);
    for (std::uint32_t m : usageMapPages(pager, reference))
        claims.claim(m, Claim::MapBitmap, "the usage map of " + who);
    std::vector<std::uint32_t> pages = map->pages();
    if (claim != Claim::None)  // otherwise read, not claimed: the map of pages with free space
        for (std::uint32_t page : pages)
            claims.claim(page, claim, who);
    return pages;
}

// The pages of `pages` that `isRight` rejects, named in a problem.
template <typename IsRight>
void requireKind(Pager& pager, const std::vector<std::uint32_t>& pages, const std::string& map,
                 const std::string& must, IsRight isRight, std::vector<std::string>& problems) {
    std::vector<std::uint32_t> wrong;
    for (std::uint32_t page : pages)
        if (page < pager.pageCount() && !isRight(*pager.page(page))) wrong.push_back(page);
    if (!wrong.empty()) problems.push_back(wrongPagesSentence(map, must, wrong, pager));
}

// Every structure change writes rows into the system tables, and they are small: the pages
// their maps list are read to see that each is of its kind. A user table's pages are checked
// where a write takes them (row_store.h, index_btree.h), so a first write costs no read of a
// large table.
void checkTable(DatabaseFile& db, const CatalogEntry& e, PageClaims& claims,
                std::vector<std::string>& problems) {
    Pager& pager = db.pager();
    const Format& f = pager.format();
    const std::string who = "table \"" + e.name + "\"";
    const bool system = (e.flags & (object_flag::kEngineSystem | object_flag::kAccessSystem)) != 0;
    const auto def = db.tableDef(e);
    const auto owner = [&f](const Page& p) {
        return p.bytes[0] == page_type::kData
                   ? ByteReader(p.span(), "page", p.number).u32(f.dataOwnerOffset)
                   : 0u;
    };
    for (std::uint32_t p : def->pages)
        claims.claim(p, Claim::Definition, "the definition of " + who);
    const auto rows =
        claimMap(pager, def->ownedPagesRef, Claim::Data, "the rows of " + who, claims);
    if (system)
        requireKind(
            pager, rows, "usage map of " + who, "its data pages",
            [&](const Page& p) { return owner(p) == def->page; }, problems);
    if (def->freePagesRef) claimMap(pager, def->freePagesRef, Claim::None, who, claims);
    for (const ColumnDef& c : def->columns) {
        if (c.ownedPagesRef) {
            const auto lv = claimMap(pager, c.ownedPagesRef, Claim::LongValue,
                                     "the long values of " + who, claims);
            if (system)
                requireKind(
                    pager, lv, "usage map of column \"" + c.name + "\" of " + who,
                    "long-value pages", [&](const Page& p) { return owner(p) == kLongValueOwner; },
                    problems);
        }
        if (c.freePagesRef) claimMap(pager, c.freePagesRef, Claim::None, who, claims);
    }
    for (std::size_t i = 0; i < def->indexes.size(); ++i) {
        const PhysicalIndex& ix = def->indexes[i];
        const std::string ixWho = "index " + std::to_string(i) + " of " + who;
        if (ix.usageMapRef) {
            const auto pages =
                claimMap(pager, ix.usageMapRef, Claim::Index, "the " + ixWho, claims);
            if (system)
                requireKind(
                    pager, pages, "usage map of " + ixWho, "index pages",
                    [](const Page& p) {
                        return p.bytes[0] == page_type::kIndexNode ||
                               p.bytes[0] == page_type::kIndexLeaf;
                    },
                    problems);
        }
        if (ix.firstPage == 0) continue;
        if (ix.firstPage >= pager.pageCount()) {
            problems.push_back("The root of " + ixWho + " is page " + std::to_string(ix.firstPage) +
                               ", but the file has only " + std::to_string(pager.pageCount()) +
                               " pages.");
            continue;
        }
        const std::uint8_t type = pager.page(ix.firstPage)->bytes[0];
        if (type != page_type::kIndexNode && type != page_type::kIndexLeaf)
            problems.push_back("The root of " + ixWho + ", page " + std::to_string(ix.firstPage) +
                               ", is not an index page.");
    }
}

}  // namespace

std::vector<std::string> structureProblems(DatabaseFile& db) {
    std::vector<std::string> problems;
    Pager& pager = db.pager();
    PageClaims claims(pager.pageCount(),
                      [&problems](std::string m) { problems.push_back(std::move(m)); });
    claims.claim(0, Claim::Header, "the header");
    try {
        FreePageMap map(pager);
        claims.claim(kFreePageMapPage, Claim::FreeMap, "the free-page map");
        for (std::uint32_t m : map.bitmapPages())
            claims.claim(m, Claim::MapBitmap, "the free-page map");
        for (std::uint32_t p : map.freePages()) {
            if (p <= 2)
                problems.push_back("The free-page map lists page " + std::to_string(p) +
                                   ", which the file itself needs, as free.");
            else
                claims.claim(p, Claim::Free, "the free pages");
        }
    } catch (const Error& e) {
        problems.push_back("The free-page map cannot be read: " + e.message());
    }
    for (const CatalogEntry& e : db.catalog().entries()) {
        if (e.type != object_type::kTable) continue;
        try {
            checkTable(db, e, claims, problems);
        } catch (const Error& err) {
            problems.push_back("The definition or a usage map of table \"" + e.name +
                               "\" cannot be read: " + err.message());
        }
    }
    return problems;
}

}  // namespace jet
