// Recording claims on pages and naming the conflicts.
#include "db/jet/catalog/page_claims.h"

#include <algorithm>

#include "db/jet/base/byte_reader.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/long_value.h"

namespace jet {

void PageClaims::claim(std::uint32_t page, Claim claim, const std::string& who) {
    if (page >= owners_.size()) {
        problem_(who + " claims page " + std::to_string(page) + ", but the file has only " +
                 std::to_string(owners_.size()) + " pages.");
        return;
    }
    Owner& o = owners_[page];
    if (o.claim == Claim::None) {
        o = {claim, who};
        return;
    }
    if (o.claim == claim && o.who == who) return;
    if (claim == Claim::MapRows && (o.claim == Claim::MapRows || o.claim == Claim::Data)) return;
    if (o.claim == Claim::MapRows && claim == Claim::Data) {
        o = {claim, who};
        return;
    }
    if (o.claim == Claim::Free || claim == Claim::Free) {
        const std::string& holder = o.claim == Claim::Free ? who : o.who;
        problem_("Page " + std::to_string(page) + " is listed as free but belongs to " + holder +
                 ".");
        return;
    }
    problem_("Page " + std::to_string(page) + " belongs both to " + o.who + " and to " + who + ".");
}

std::string pageKind(const Page& p, const Format& f) {
    const ByteReader r(p.span(), "page", p.number);
    switch (p.bytes[0]) {
        case page_type::kData:
            if (r.u32(f.dataOwnerOffset) == kLongValueOwner) return "a long-value page";
            return "a data page of the table defined at page " +
                   std::to_string(r.u32(f.dataOwnerOffset));
        case page_type::kTableDef:
            return "a table definition";
        case page_type::kIndexNode:
        case page_type::kIndexLeaf:
            return "an index page";
        case page_type::kUsageMap:
            return "a usage-map page";
        default:
            return "no page of a known kind (its first byte is " + std::to_string(p.bytes[0]) + ")";
    }
}

std::string pageList(const std::vector<std::uint32_t>& pages) {
    std::string out = pages.size() == 1 ? "page " : "pages ";
    const std::size_t shown = std::min<std::size_t>(pages.size(), 5);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) out += i + 1 == shown && shown == pages.size() ? " and " : ", ";
        out += std::to_string(pages[i]);
    }
    if (shown < pages.size()) out += " and " + std::to_string(pages.size() - shown) + " more";
    return out;
}

std::string wrongPagesSentence(const std::string& map, const std::string& must,
                               const std::vector<std::uint32_t>& pages, Pager& pager) {
    return "The " + map + " lists " + pageList(pages) + ", which must be " + must + " but " +
           (pages.size() == 1 ? "is " : "the first is ") +
           pageKind(*pager.page(pages.front()), pager.format()) + ".";
}

}  // namespace jet
