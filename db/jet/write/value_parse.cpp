// Reading numbers and dates written as text, exactly.
#include "db/jet/write/value_parse.h"

#include <charconv>
#include <cmath>
#include <string>

namespace jet {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool readInt(std::string_view s, std::size_t& i, int minDigits, int maxDigits, int& out) {
    int n = 0, v = 0;
    while (i < s.size() && n < maxDigits && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i] - '0');
        ++i;
        ++n;
    }
    out = v;
    return n >= minDigits;
}

// "HH:MM[:SS[.fffffffff]]" from position i to the end.
bool parseTime(std::string_view s, std::size_t i, db::DateTime& t) {
    if (!readInt(s, i, 1, 2, t.hour)) return false;
    if (i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!readInt(s, i, 2, 2, t.minute)) return false;
    t.second = 0;
    t.nanosecond = 0;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!readInt(s, i, 2, 2, t.second)) return false;
        if (i < s.size() && s[i] == '.') {
            ++i;
            int digits = 0;
            long long ns = 0;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                if (digits < 9) {
                    ns = ns * 10 + (s[i] - '0');
                    ++digits;
                }
                ++i;
            }
            if (digits == 0) return false;
            while (digits < 9) {
                ns *= 10;
                ++digits;
            }
            t.nanosecond = static_cast<int>(ns);
        }
    }
    if (i != s.size()) return false;
    return t.hour < 24 && t.minute < 60 && t.second < 60;
}

}  // namespace

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Reads "[+-]digits[.digits][e[+-]digits]" (one side of the point may be empty). Returns false
// for anything else.
bool parseExact(std::string_view text, ExactNumber& out) {
    text = trimBlanks(text);
    std::size_t i = 0;
    out = ExactNumber{};
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
    std::string all;
    int fraction = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            all += c;
            any = true;
            if (point) ++fraction;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    long long exp = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        if (i >= text.size()) return false;
        for (; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            if (exp < 100000) exp = exp * 10 + (text[i] - '0');
        }
        if (expNegative) exp = -exp;
    }
    if (i != text.size()) return false;
    const auto nz = all.find_first_not_of('0');
    if (nz == std::string::npos) {
        out.negative = false;
        return true;
    }
    all.erase(0, nz);
    // Trailing zeros move into the exponent, so equal numbers have equal digits.
    int trailing = 0;
    while (all.size() > 1 && all.back() == '0') {
        all.pop_back();
        ++trailing;
    }
    out.digits = std::move(all);
    out.exponent = static_cast<int>(exp) - fraction + trailing;
    return true;
}

// The number rounded to `scale` places after the point, half to even, as a whole count of
// 10^-scale; false when it needs more than `maxDigits` digits.
bool roundExact(const ExactNumber& n, int scale, std::size_t maxDigits, std::string& out) {
    if (n.isZero()) {
        out = "0";
        return true;
    }
    const long long shift = static_cast<long long>(n.exponent) + scale;
    std::string d = n.digits;
    if (shift >= 0) {
        if (d.size() + static_cast<std::size_t>(shift) > maxDigits) return false;
        d.append(static_cast<std::size_t>(shift), '0');
        out = d;
        return true;
    }
    const std::size_t drop = static_cast<std::size_t>(-shift);
    std::string kept = drop >= d.size() ? std::string() : d.substr(0, d.size() - drop);
    // The dropped part against one half: its first digit, then whether anything follows.
    const std::string rest =
        drop >= d.size() ? std::string(drop - d.size(), '0') + d : d.substr(d.size() - drop);
    const int first = rest[0] - '0';
    bool more = false;
    for (std::size_t k = 1; k < rest.size(); ++k)
        if (rest[k] != '0') more = true;
    const bool lastOdd = !kept.empty() && ((kept.back() - '0') % 2 == 1);
    const bool up = first > 5 || (first == 5 && (more || lastOdd));
    if (kept.empty()) kept = "0";
    if (up) {
        int k = static_cast<int>(kept.size()) - 1;
        while (k >= 0 && kept[static_cast<std::size_t>(k)] == '9') {
            kept[static_cast<std::size_t>(k)] = '0';
            --k;
        }
        if (k < 0)
            kept.insert(kept.begin(), '1');
        else
            ++kept[static_cast<std::size_t>(k)];
    }
    const auto nz = kept.find_first_not_of('0');
    kept = nz == std::string::npos ? "0" : kept.substr(nz);
    if (kept.size() > maxDigits) return false;
    out = kept;
    return true;
}

// The number as a double, correctly rounded; false when it is beyond the double range.
bool exactToDouble(const ExactNumber& n, double& out) {
    if (n.isZero()) {
        out = 0.0;
        return true;
    }
    // Exponents far outside the double range need no parsing.
    const long long magnitude = static_cast<long long>(n.digits.size()) + n.exponent;
    if (magnitude > 400) return false;
    if (magnitude < -400) {
        out = n.negative ? -0.0 : 0.0;
        return true;
    }
    const std::string text = (n.negative ? "-" : "") + n.digits + "e" + std::to_string(n.exponent);
    double v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow gives zero; overflow is out of range.
        if (magnitude < 0) {
            out = n.negative ? -0.0 : 0.0;
            return true;
        }
        return false;
    }
    if (res.ec != std::errc() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

ExactNumber exactFromInteger(std::int64_t v) {
    ExactNumber n;
    if (v == 0) return n;
    n.negative = v < 0;
    const unsigned long long mag =
        v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    parseExact(std::to_string(mag), n);
    n.negative = v < 0;
    return n;
}

int compareDigits(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

bool parseDateTime(std::string_view text, db::DateTime& out) {
    std::string_view s = trimBlanks(text);
    if (s.size() >= 2 && s.front() == '#' && s.back() == '#')
        s = trimBlanks(s.substr(1, s.size() - 2));
    db::DateTime t;
    t.year = 1899;
    t.month = 12;
    t.day = 30;
    std::size_t i = 0;
    // A time alone.
    const std::size_t colon = s.find(':');
    const std::size_t dash = s.find('-');
    const std::size_t slash = s.find('/');
    if (colon != std::string_view::npos && dash == std::string_view::npos &&
        slash == std::string_view::npos) {
        if (!parseTime(s, 0, t)) return false;
        out = t;
        return t.isValid();
    }
    if (dash != std::string_view::npos && (slash == std::string_view::npos || dash < slash)) {
        if (!readInt(s, i, 4, 4, t.year) || i >= s.size() || s[i] != '-') return false;
        ++i;
        if (!readInt(s, i, 1, 2, t.month) || i >= s.size() || s[i] != '-') return false;
        ++i;
        if (!readInt(s, i, 1, 2, t.day)) return false;
    } else if (slash != std::string_view::npos) {
        if (!readInt(s, i, 1, 2, t.month) || i >= s.size() || s[i] != '/') return false;
        ++i;
        if (!readInt(s, i, 1, 2, t.day) || i >= s.size() || s[i] != '/') return false;
        ++i;
        if (!readInt(s, i, 4, 4, t.year)) return false;
    } else {
        return false;
    }
    t.hour = t.minute = t.second = t.nanosecond = 0;
    if (i < s.size()) {
        if (s[i] != ' ' && s[i] != 'T') return false;
        while (i < s.size() && (s[i] == ' ' || s[i] == 'T'))
            ++i;
        if (!parseTime(s, i, t)) return false;
    }
    if (!t.isValid()) return false;
    out = t;
    return true;
}

}  // namespace jet
