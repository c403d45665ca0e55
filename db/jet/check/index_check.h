// The index part of the integrity check: every index of every table against the table's rows.
//
// For each index the check walks its B-tree (pages of the right kind and owner, entries in
// order across pages, upper bounds that hold, previous and next pages that agree), compares
// the pages it found with the index's usage map, and compares its entries with the keys made
// from the table's rows: every row that belongs in the index has exactly one entry, with its
// key, and no entry points anywhere else. A unique index (or primary key) must not hold one key
// twice.
//
// What the check cannot judge it reports as not checked rather than as wrong: indexes over
// column kinds whose keys the engine cannot make, text in a sort order without known codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/check/check_report.h"

namespace jet {

class Database;

struct IndexCheckReport {
    // One sentence per problem: "table 'T', index 'I': <what is wrong>".
    std::vector<std::string> problems;
    // One sentence per index left unchecked, with the reason.
    std::vector<std::string> notChecked;
    std::size_t indexesChecked = 0;
    std::size_t entriesChecked = 0;

    bool ok() const { return problems.empty(); }
};

// Checks every index of every table of `db` (system tables included). Never throws for a
// damaged file: damage is a problem of the report. Problems are listed at most `maxPerIndex`
// per index, then summed up.
IndexCheckReport checkIndexes(Database& db, std::size_t maxPerIndex = 10);

// The same, as the index part of the whole check (check.h): problems as problems of the area
// "indexes", indexes it cannot judge as notes.
void checkIndexes(Database& db, CheckReport& report);

}  // namespace jet
