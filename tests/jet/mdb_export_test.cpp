// The engine reads the same rows as mdbtools' mdb-export, on every fixture mdbtools can read,
// the two RC4-encoded .mdb files included (they have no oracle dump).
//
// mdb-export is lossy in known ways, and the comparison allows exactly those: empty text read as
// NULL, characters outside the BMP printed as "??", characters it cannot convert as "?", dates
// before 1900 or after 9998, GUIDs, single-precision values printed with too few or too many
// digits, upper-case hexadecimal, empty binary values read as NULL; it knows nothing of complex,
// calculated and Date/Time Extended columns (which are therefore not compared) and lists rows
// that moved to overflow pages in another order (so rows are matched as a set).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using jet::ColumnType;

std::vector<std::string> fixtureFiles() {
    std::vector<std::string> out;
    for (const std::string& rel : testenv::accessFixtureFiles()) {
        // Password-protected .accdb files are encrypted throughout; mdbtools cannot read them.
        if (rel.find("encrypted/") != std::string::npos && fs::path(rel).extension() == ".accdb")
            continue;
        out.push_back(rel);
    }
    return out;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const auto p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) return out;
        start = p + 1;
    }
}

std::u32string codePoints(const std::string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < n && i + static_cast<std::size_t>(k) < s.size(); ++k)
            cp =
                (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
        out.push_back(cp);
        i += static_cast<std::size_t>(n);
    }
    return out;
}

// Text as mdb-export -e prints it: tab, line feed, carriage return and backslash escaped,
// characters outside the BMP as "??".
std::u32string mdbText(const std::string& utf8) {
    std::u32string out;
    for (char32_t c : codePoints(utf8)) {
        if (c == '\t')
            out += U"\\t";
        else if (c == '\n')
            out += U"\\n";
        else if (c == '\r')
            out += U"\\r";
        else if (c == '\\')
            out += U"\\\\";
        else if (c >= 0x10000)
            out += U"??";
        else
            out.push_back(c);
    }
    return out;
}

bool textMatches(const std::string& ours, const std::string& theirs) {
    const std::u32string a = mdbText(ours), b = codePoints(theirs);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && !(b[i] == '?' && a[i] >= 0x80)) return false;
    return true;
}

std::string upperHex(const db::Bytes& b) {
    std::string s = db::toHex(b);
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Whether mdb-export's field `theirs` shows our value `v` of a column of type `t`.
bool fieldMatches(ColumnType t, const db::Value& v, const std::string& theirs) {
    using K = db::Value::Kind;
    if (theirs == "\\N")
        return v.isNull() || (v.kind() == K::Text && v.asText().empty()) ||
               (v.kind() == K::Binary && v.asBinary().empty());
    if (v.isNull()) return false;
    switch (v.kind()) {
        case K::Boolean:
            return theirs == (v.asBoolean() ? "1" : "0");
        case K::Integer:
            return theirs == std::to_string(v.asInteger());
        case K::Currency:
            return theirs == v.asCurrency().toString();
        case K::Decimal:
            return theirs == v.asDecimal().toString();
        case K::Single:
            return std::strtof(theirs.c_str(), nullptr) == v.asSingle() ||
                   std::fabs(std::strtod(theirs.c_str(), nullptr) - v.asSingle()) <=
                       1e-6 * std::max(1.0, std::fabs(static_cast<double>(v.asSingle())));
        case K::Double:
            return std::fabs(std::strtod(theirs.c_str(), nullptr) - v.asDouble()) <=
                   1e-13 * std::max(1.0, std::fabs(v.asDouble()));
        case K::DateTime: {
            const db::DateTime& d = v.asDateTime();
            if (d.year < 1900 || d.year > 9998) return true;  // mdbtools cannot show these
            // mdb-export prints whole seconds; it may round where we keep milliseconds.
            db::DateTime whole = d;
            whole.nanosecond = 0;
            if (theirs == whole.toIsoString('T')) return true;
            const db::DateTime next = db::DateTime::fromOleDate(whole.toOleDate() + 1.0 / 86400);
            return theirs == next.toIsoString('T');
        }
        case K::Text:
            return textMatches(v.asText(), theirs);
        case K::Binary:
            return theirs == upperHex(v.asBinary()) || theirs == db::toHex(v.asBinary());
        default:
            return t == ColumnType::Guid;
    }
}

bool compared(const jet::ColumnDecoder& d) {
    return !d.calculated && d.valueType != ColumnType::Complex &&
           d.valueType != ColumnType::ExtDateTime && d.valueType != ColumnType::Unknown &&
           d.valueType != ColumnType::Guid;
}

class MdbExport : public testing::TestWithParam<std::string> {};

TEST_P(MdbExport, RowsEqualWhereMdbtoolsIsRight) {
    DM_REQUIRE_FIXTURE(GetParam());
    if (testenv::findOnPath("mdb-export").empty()) {
        if (testenv::underCi()) FAIL() << "mdb-export is not installed";
        GTEST_SKIP() << "mdb-export is not installed";
    }
    const std::string file = (testenv::fixturesDir() / GetParam()).string();
    auto db = jet::Database::open(file, {});

    const auto listed = testenv::runProgram({"mdb-tables", "-1", file});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::set<std::string> theirTables, ourTables;
    for (const auto& t : split(listed.out, '\n'))
        if (!t.empty()) theirTables.insert(t);
    for (const auto& t : db->userTableNames())
        ourTables.insert(t);
    EXPECT_EQ(ourTables, theirTables);

    for (const auto& table : db->userTableNames()) {
        SCOPED_TRACE("table " + table);
        const auto exported = testenv::runProgram({"mdb-export", "-d", "\t", "-Q", "-e", "-0",
                                                   "\\N", "-b", "hex", "-T", "%Y-%m-%dT%H:%M:%S",
                                                   "-D", "%Y-%m-%dT%H:%M:%S", file, table});
        ASSERT_EQ(exported.status, 0) << exported.err;
        auto lines = split(exported.out, '\n');
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        ASSERT_FALSE(lines.empty());

        auto reader = db->openTable(table);
        const auto& cols = reader->columns();
        const auto header = split(lines[0], '\t');
        ASSERT_EQ(header.size(), cols.size());
        for (std::size_t i = 0; i < cols.size(); ++i)
            EXPECT_EQ(header[i], cols[i].def->name);

        std::vector<std::vector<std::string>> theirs;
        for (std::size_t i = 1; i < lines.size(); ++i)
            theirs.push_back(split(lines[i], '\t'));
        std::vector<bool> used(theirs.size(), false);
        auto rowMatches = [&](const std::vector<db::Value>& ours,
                              const std::vector<std::string>& t) {
            if (t.size() != ours.size()) return false;
            for (std::size_t i = 0; i < ours.size(); ++i)
                if (compared(cols[i]) && !fieldMatches(cols[i].valueType, ours[i], t[i]))
                    return false;
            return true;
        };
        std::vector<db::Value> row;
        std::size_t n = 0;
        while (reader->next(row)) {
            bool found = false;
            // Same position first; rows that live on overflow pages may come elsewhere.
            if (n < theirs.size() && !used[n] && rowMatches(row, theirs[n])) {
                used[n] = found = true;
            } else {
                for (std::size_t k = 0; k < theirs.size() && !found; ++k)
                    if (!used[k] && rowMatches(row, theirs[k])) used[k] = found = true;
            }
            if (!found) {
                // Show the fields that differ from the row at the same position.
                std::string shown;
                const auto* t = n < theirs.size() ? &theirs[n] : nullptr;
                for (std::size_t i = 0; i < row.size(); ++i) {
                    if (!compared(cols[i]) || !t || i >= t->size()) continue;
                    if (fieldMatches(cols[i].valueType, row[i], (*t)[i])) continue;
                    const std::string ours = row[i].isNull() ? "NULL" : row[i].toDebugString();
                    shown += " " + cols[i].def->name + ": ours '" + ours.substr(0, 80) +
                             "', theirs '" + (*t)[i].substr(0, 80) + "';";
                }
                ADD_FAILURE() << "row " << n << " is not among mdb-export's rows;" << shown;
            }
            ++n;
        }
        EXPECT_EQ(n, theirs.size()) << "rows";
    }
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string n;
    for (char c : info.param)
        n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MdbExport, testing::ValuesIn(fixtureFiles()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MdbExport);

}  // namespace
