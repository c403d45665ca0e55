// Reading the oracle dumps and comparing values.
#include "tests/support/expected_dump.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testenv {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        out.push_back(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return out;
}

std::optional<std::string> unescape(const std::string& s) {
    if (s == "\\N") return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        switch (c) {
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '0':
                out += '\0';
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// "-12.3400" and "-12.34" are the same number: drop trailing zeros of the fraction.
std::string normalDecimal(std::string s) {
    bool neg = !s.empty() && s[0] == '-';
    if (neg) s.erase(0, 1);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    const auto nz = s.find_first_not_of('0');
    if (nz == std::string::npos || s[nz] == '.')
        s = "0" + (nz == std::string::npos ? "" : s.substr(nz));
    else
        s = s.substr(nz);
    if (s == "0") neg = false;
    return (neg ? "-" : "") + s;
}

// Code points of UTF-8 text (the test's own small decoder; input is valid UTF-8).
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

// The oracle read single-byte text of Jet 3 files without their code page, so every character
// above ASCII became U+FFFD there: that character stands for any one non-ASCII character.
bool textMatches(const std::string& want, const std::string& got) {
    if (want == got) return true;
    if (want.find("\xEF\xBF\xBD") == std::string::npos) return false;
    const auto w = codePoints(want), g = codePoints(got);
    if (w.size() != g.size()) return false;
    for (std::size_t i = 0; i < w.size(); ++i)
        if (w[i] != g[i] && !(w[i] == 0xFFFD && g[i] >= 0x80)) return false;
    return true;
}

bool parseDateTime(const std::string& s, db::DateTime& t) {
    int frac = 0, fracDigits = 0;
    char sep = 0;
    if (std::sscanf(s.c_str(), "%d-%d-%d%c%d:%d:%d", &t.year, &t.month, &t.day, &sep, &t.hour,
                    &t.minute, &t.second) != 7)
        return false;
    const auto dot = s.find('.');
    t.nanosecond = 0;
    if (dot != std::string::npos) {
        for (std::size_t i = dot + 1; i < s.size() && fracDigits < 9; ++i, ++fracDigits)
            frac = frac * 10 + (s[i] - '0');
        while (fracDigits < 9) {
            frac *= 10;
            ++fracDigits;
        }
        t.nanosecond = frac;
    }
    return true;
}

}  // namespace

std::vector<std::string> listExpectedDumps(const fs::path& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    if (!fs::exists(dir, ec)) return out;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file() && e.path().extension() == ".tsv")
            out.push_back(fs::relative(e.path(), dir).generic_string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string fixtureOfDump(const std::string& dumpRelative) {
    std::string f = dumpRelative;
    if (f.size() > 4 && f.compare(f.size() - 4, 4, ".tsv") == 0) f.resize(f.size() - 4);
    return "access/" + f;
}

std::vector<ExpectedTable> readExpectedDump(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::vector<ExpectedTable> tables;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty()) continue;
        const auto f = splitTabs(line);
        auto bad = [&] {
            return std::runtime_error(path.string() + ":" + std::to_string(lineNo) + ": bad line");
        };
        if (f[0] == "TABLE") {
            if (f.size() != 2) throw bad();
            tables.push_back({});
            tables.back().name = *unescape(f[1]);
            continue;
        }
        if (tables.empty()) throw bad();
        ExpectedTable& t = tables.back();
        if (f[0] == "COLUMN") {
            if (f.size() != 7) throw bad();
            t.columns.push_back({*unescape(f[1]), f[2], std::atol(f[3].c_str()),
                                 std::atoi(f[4].c_str()), std::atoi(f[5].c_str()), f[6]});
        } else if (f[0] == "ROWCOUNT") {
            t.rowCount = std::atol(f[1].c_str());
        } else if (f[0] == "ROW") {
            std::vector<std::optional<std::string>> row;
            for (std::size_t i = 1; i < f.size(); ++i)
                row.push_back(unescape(f[i]));
            // A row of one empty text splits into no fields at all.
            while (row.size() < t.columns.size())
                row.push_back(std::string());
            t.rows.push_back(std::move(row));
        } else {
            throw bad();
        }
    }
    return tables;
}

std::optional<std::string> complexAsEngineText(const std::string& oracle) {
    if (oracle.size() < 2 || oracle.front() != '{' || oracle.back() != '}') return std::nullopt;
    const std::string body = oracle.substr(1, oracle.size() - 2);
    const auto colon = body.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const std::string kind = body.substr(0, colon);
    const std::string rest = body.substr(colon + 1);
    std::vector<std::string> items;
    if (!rest.empty()) {
        std::size_t start = 0;
        while (true) {
            const auto bar = rest.find('|', start);
            items.push_back(
                rest.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
    }
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string item = items[i];
        if (kind == "ATTACHMENT") {
            item = item.substr(0, item.find(':'));
        } else if (kind == "VERSION_HISTORY") {
            const auto eq = item.find('=');
            std::string date = item.substr(0, eq);
            std::replace(date.begin(), date.end(), 'T', ' ');
            item = date + item.substr(eq);
        } else if (kind != "MULTI_VALUE") {
            return std::nullopt;
        }
        if (i) out += "; ";
        out += item;
    }
    return out;
}

std::string compareValue(const ExpectedColumn& column, const std::optional<std::string>& expected,
                         const db::Value& actual) {
    using K = db::Value::Kind;
    const std::string shown = actual.isNull() ? "NULL" : "'" + actual.toDebugString() + "'";
    auto differ = [&](const std::string& want) {
        return "expected " + want + ", got " + shown + " (" + column.type + ")";
    };
    if (!expected) return actual.isNull() ? "" : differ("NULL");
    const std::string& e = *expected;
    const std::string& type = column.type;
    if (type == "BOOLEAN") {
        if (actual.kind() != K::Boolean || actual.asBoolean() != (e == "1")) return differ(e);
        return "";
    }
    if (actual.isNull()) return differ("'" + e + "'");
    if (type == "BYTE" || type == "INT" || type == "LONG" || type == "BIG_INT") {
        if (actual.kind() != K::Integer ||
            actual.asInteger() != std::strtoll(e.c_str(), nullptr, 10))
            return differ(e);
        return "";
    }
    if (type == "MONEY") {
        if (actual.kind() != K::Currency) return differ(e);
        return normalDecimal(actual.asCurrency().toString()) == normalDecimal(e) ? "" : differ(e);
    }
    if (type == "NUMERIC") {
        if (actual.kind() != K::Decimal) return differ(e);
        return normalDecimal(actual.asDecimal().toString()) == normalDecimal(e) ? "" : differ(e);
    }
    if (type == "FLOAT") {
        if (actual.kind() != K::Single) return differ(e);
        const float want = std::strtof(e.c_str(), nullptr);
        return (want == actual.asSingle() || (std::isnan(want) && std::isnan(actual.asSingle())))
                   ? ""
                   : differ(e);
    }
    if (type == "DOUBLE") {
        if (actual.kind() != K::Double) return differ(e);
        const double want = std::strtod(e.c_str(), nullptr);
        return want == actual.asDouble() ? "" : differ(e);
    }
    if (type == "SHORT_DATE_TIME" || type == "EXT_DATE_TIME") {
        db::DateTime want;
        if (actual.kind() != K::DateTime || !parseDateTime(e, want)) return differ(e);
        return want == actual.asDateTime() ? "" : differ(e);
    }
    if (type == "BINARY" || type == "OLE") {
        if (actual.kind() != K::Binary) return differ(e);
        return db::toHex(actual.asBinary()) == lower(e) ? "" : differ(e);
    }
    if (type == "GUID") {
        if (actual.kind() != K::Guid) return differ(e);
        return db::guidToString(actual.asGuid()) == e ? "" : differ(e);
    }
    if (type == "TEXT" || type == "MEMO") {
        if (actual.kind() != K::Text) return differ("'" + e + "'");
        return textMatches(e, actual.asText()) ? "" : differ("'" + e + "'");
    }
    if (type == "COMPLEX_TYPE") {
        const auto want = complexAsEngineText(e);
        if (!want) return "";  // a kind the oracle shows in its own terms only
        if (actual.kind() != K::Text) return differ("'" + *want + "'");
        return actual.asText() == *want ? "" : differ("'" + *want + "'");
    }
    if (type.rfind("UNSUPPORTED", 0) == 0) {
        if (e.rfind("RAW:", 0) != 0) return "";
        if (actual.kind() != K::Binary) return differ(e);
        return db::toHex(actual.asBinary()) == lower(e.substr(4)) ? "" : differ(e);
    }
    return "unknown oracle type " + type;
}

}  // namespace testenv
