// Checking indexes against rows.
#include "db/jet/check/index_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/index/index_btree.h"
#include "db/jet/index/index_key.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/usage_map.h"

namespace jet {

namespace {

constexpr std::uint8_t kUniqueFlag = 0x01;
constexpr std::uint8_t kIgnoreNullsFlag = 0x02;
constexpr std::uint8_t kPrimaryKeyKind = 0x01;

std::string where(RowId r) {
    return "page " + std::to_string(r.page) + " row " + std::to_string(r.row);
}

struct Made {
    std::vector<std::uint8_t> key;
    RowId row;
    bool allNull = false;
    friend bool operator<(const Made& a, const Made& b) {
        if (auto c = compareKeys(a.key, b.key); c != 0) return c < 0;
        return a.row < b.row;
    }
};

class IndexChecker {
  public:
    IndexChecker(Database& db, IndexCheckReport& report, std::size_t maxPerIndex)
        : db_(db), report_(report), max_(maxPerIndex) {}

    void check(const std::string& table, const TableDef& def, std::size_t number) {
        const PhysicalIndex& ix = def.indexes[number];
        std::string name;
        bool primaryKey = false;
        for (const auto& li : def.logicalIndexes)
            if (li.physicalIndex == number) {
                if (name.empty() || li.kind == kPrimaryKeyKind) name = li.name;
                primaryKey = primaryKey || li.kind == kPrimaryKeyKind;
            }
        if (name.empty()) name = std::to_string(number);
        prefix_ = "table '" + table + "', index '" + name + "': ";
        found_ = 0;

        const IndexKeyMaker maker(db_.format(), def, ix);
        if (maker.unsupported()) {
            report_.notChecked.push_back(prefix_ + *maker.unsupported());
            return;
        }
        ReadOnlyIndexPages pages(db_.pager());
        IndexTree tree(pages, db_.format(), ix.firstPage, def.page);

        std::multiset<Made> stored;
        try {
            tree.forEach([&](const IndexEntry& e) { stored.insert({e.key, e.row, false}); });
            checkUsageMap(tree.pages(), ix.usageMapRef);
        } catch (const Error& e) {
            problem(e.message());
            finish();
            return;
        }

        std::multiset<Made> made;
        try {
            TableScan scan(db_.pager(), def);
            const ValueDecoder values(db_.pager(), db_.codePage());
            while (scan.next()) {
                const RowView row(scan.row(), db_.format(), def.varColumns > 0);
                const bool allNull = maker.nullCount(row, values) == maker.columnCount();
                if (allNull && (ix.flags & kIgnoreNullsFlag)) continue;
                made.insert({maker.key(row, values),
                             {scan.currentPage(), static_cast<std::uint8_t>(scan.currentSlot())},
                             allNull});
            }
        } catch (const Error& e) {
            if (e.kind() == ErrorKind::NotSupported) {
                report_.notChecked.push_back(prefix_ + e.message());
                return;
            }
            problem("the rows cannot be read: " + e.message());
            finish();
            return;
        }

        ++report_.indexesChecked;
        report_.entriesChecked += stored.size();
        // Both sets are sorted the same way: walk them side by side.
        auto a = made.begin();
        auto b = stored.begin();
        while (a != made.end() || b != stored.end()) {
            if (b == stored.end() || (a != made.end() && *a < *b)) {
                problem("the row at " + where(a->row) + " has no entry");
                ++a;
            } else if (a == made.end() || *b < *a) {
                problem("an entry points to " + where(b->row) +
                        ", which holds no row with that key");
                ++b;
            } else {
                ++a;
                ++b;
            }
        }
        if (primaryKey || (ix.flags & kUniqueFlag)) {
            for (auto it = made.begin(); it != made.end(); ++it) {
                auto next = std::next(it);
                if (next != made.end() && !it->allNull && next->key == it->key)
                    problem("the rows at " + where(it->row) + " and " + where(next->row) +
                            " have the same key in a unique index");
            }
        }
        finish();
    }

  private:
    void checkUsageMap(const std::vector<std::uint32_t>& treePages, std::uint32_t mapRef) {
        const std::set<std::uint32_t> inTree(treePages.begin(), treePages.end());
        const auto map = UsageMap::readReference(db_.pager(), mapRef);
        const std::set<std::uint32_t> inMap(map->pages().begin(), map->pages().end());
        for (std::uint32_t p : inTree)
            if (!inMap.count(p))
                problem("page " + std::to_string(p) + " of the index is not in its usage map");
        for (std::uint32_t p : inMap)
            if (!inTree.count(p))
                problem("its usage map lists page " + std::to_string(p) +
                        ", which is not a page of the index");
    }

    void problem(const std::string& what) {
        if (found_++ < max_) report_.problems.push_back(prefix_ + what);
    }
    void finish() {
        if (found_ > max_)
            report_.problems.push_back(prefix_ + std::to_string(found_ - max_) + " more problems");
    }

    Database& db_;
    IndexCheckReport& report_;
    std::size_t max_;
    std::string prefix_;
    std::size_t found_ = 0;
};

}  // namespace

IndexCheckReport checkIndexes(Database& db, std::size_t maxPerIndex) {
    IndexCheckReport report;
    IndexChecker checker(db, report, maxPerIndex);
    for (const auto& e : db.catalog().entries()) {
        if (e.type != object_type::kTable) continue;
        std::shared_ptr<const TableDef> def;
        try {
            def = db.tableDef(e);
        } catch (const Error& err) {
            report.problems.push_back("table '" + e.name +
                                      "': its definition cannot be read: " + err.message());
            continue;
        }
        for (std::size_t i = 0; i < def->indexes.size(); ++i)
            checker.check(e.name, *def, i);
    }
    return report;
}

void checkIndexes(Database& db, CheckReport& report) {
    const IndexCheckReport r = checkIndexes(db);
    for (const auto& p : r.problems)
        report.problem("indexes", p);
    for (const auto& n : r.notChecked)
        report.note("indexes", "not checked: " + n);
}

}  // namespace jet
