// The oracle dumps under fixtures/expected/: what an independent reader reads from each
// fixture, and a comparison of values (not of their rendering) against what the engine reads.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "db/value.h"

namespace testenv {

struct ExpectedColumn {
    std::string name;
    std::string type;  // BOOLEAN, BYTE, INT, LONG, MONEY, FLOAT, DOUBLE, SHORT_DATE_TIME, ...
    long length = 0;
    int precision = 0;
    int scale = 0;
    std::string flags;  // auto, calc, hyperlink, appendonly or -
};

struct ExpectedTable {
    std::string name;
    std::vector<ExpectedColumn> columns;
    long rowCount = 0;
    std::vector<std::vector<std::optional<std::string>>> rows;  // unescaped; nullopt is NULL
};

// Every expected/*.tsv below `dir`, relative to it ("V2010/testV2010.accdb.tsv").
std::vector<std::string> listExpectedDumps(const std::filesystem::path& dir);
// The fixture a dump describes, relative to the fixtures folder ("access/V2010/testV2010.accdb").
std::string fixtureOfDump(const std::string& dumpRelative);

// Parses a dump. Throws std::runtime_error on a malformed line.
std::vector<ExpectedTable> readExpectedDump(const std::filesystem::path& path);

// Empty when `actual` has the value `expected` describes for a column of `column`'s type;
// otherwise what differs.
std::string compareValue(const ExpectedColumn& column, const std::optional<std::string>& expected,
                         const db::Value& actual);

// The engine's rendering of a complex value for the oracle's "{MULTI_VALUE:a|b}" and the like,
// or nullopt when the oracle's text has no counterpart to compare with.
std::optional<std::string> complexAsEngineText(const std::string& oracle);

}  // namespace testenv
