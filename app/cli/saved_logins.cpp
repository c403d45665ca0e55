// Reading the settings file of the windows.
#include "app/cli/saved_logins.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <vector>

namespace cli {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, unsigned long c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A key with its %XX and %UXXXX escapes undone ("With%20Data" -> "With Data"), "\\" as "/".
std::string unescapeKey(const std::string& raw) {
    std::string out;
    auto hexAt = [&](std::size_t from, std::size_t count, unsigned long& v) {
        if (from + count > raw.size()) return false;
        v = 0;
        for (std::size_t k = from; k < from + count; ++k) {
            const int h = hexValue(raw[k]);
            if (h < 0) return false;
            v = v * 16 + static_cast<unsigned long>(h);
        }
        return true;
    };
    for (std::size_t i = 0; i < raw.size(); ++i) {
        unsigned long v = 0;
        if (raw[i] == '%' && i + 1 < raw.size() && raw[i + 1] == 'U' && hexAt(i + 2, 4, v)) {
            appendUtf8(out, v);
            i += 5;
        } else if (raw[i] == '%' && hexAt(i + 1, 2, v)) {
            appendUtf8(out, v);
            i += 2;
        } else if (raw[i] == '\\') {
            out += '/';
        } else {
            out += raw[i];
        }
    }
    return out;
}

std::string trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        --b;
    return s.substr(a, b - a);
}

}  // namespace

std::string unescapeSettingValue(const std::string& raw) {
    // The items of the value: text outside quotes loses its blanks at either end, a comma outside
    // quotes ends an item, and the escapes work inside and outside quotes alike.
    std::vector<std::string> items;
    std::string item;
    std::string pendingBlanks;  // blanks outside quotes, kept only if more text follows
    bool inQuotes = false;
    bool started = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            inQuotes = !inQuotes;
            item += pendingBlanks;
            pendingBlanks.clear();
            started = true;
            continue;
        }
        if (!inQuotes && c == ',') {
            items.push_back(item);
            item.clear();
            pendingBlanks.clear();
            started = false;
            continue;
        }
        if (!inQuotes && (c == ' ' || c == '\t')) {
            if (started) pendingBlanks += c;
            continue;
        }
        item += pendingBlanks;
        pendingBlanks.clear();
        started = true;
        if (c != '\\' || i + 1 >= raw.size()) {
            item += c;
            continue;
        }
        const char e = raw[++i];
        switch (e) {
            case 'a':
                item += '\a';
                break;
            case 'b':
                item += '\b';
                break;
            case 'f':
                item += '\f';
                break;
            case 'n':
                item += '\n';
                break;
            case 'r':
                item += '\r';
                break;
            case 't':
                item += '\t';
                break;
            case 'v':
                item += '\v';
                break;
            case '"':
            case '\'':
            case '?':
            case '\\':
                item += e;
                break;
            case 'x': {
                unsigned long v = 0;
                std::size_t k = i + 1;
                while (k < raw.size() && hexValue(raw[k]) >= 0) {
                    v = v * 16 + static_cast<unsigned long>(hexValue(raw[k]));
                    ++k;
                }
                appendUtf8(item, v);
                i = k - 1;
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned long v = static_cast<unsigned long>(e - '0');
                    std::size_t k = i + 1;
                    while (k < raw.size() && raw[k] >= '0' && raw[k] <= '7') {
                        v = v * 8 + static_cast<unsigned long>(raw[k] - '0');
                        ++k;
                    }
                    appendUtf8(item, v);
                    i = k - 1;
                } else {
                    item += e;
                }
        }
    }
    items.push_back(item);
    std::string text;
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k) text += ',';
        text += items[k];
    }
    // A text that starts with "@" is written with "@@"; other "@..." forms are typed values.
    if (text.rfind("@@", 0) == 0) return text.substr(1);
    if (text == "@Invalid()") return {};
    if (text.rfind("@String(", 0) == 0 && text.back() == ')')
        return text.substr(8, text.size() - 9);
    return text;
}

std::string savedLoginsPath() {
    std::string dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        dir = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        dir = std::string(home) + "/.config";
    }
    return dir + "/Kestrelane.conf";
}

std::optional<db::LoginFields> readSavedLogins(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::map<std::string, std::string> values;
    std::string line;
    bool inGroup = false, sawGroup = false;
    std::string pendingKey, pendingValue;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string t = trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t.front() == '[' && t.back() == ']') {
            inGroup = unescapeKey(t.substr(1, t.size() - 2)) == "Dunmorrow";
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        values[unescapeKey(trim(line.substr(0, eq)))] = unescapeSettingValue(line.substr(eq + 1));
    }
    if (!sawGroup) return std::nullopt;
    db::LoginFields l;
    l.server = values["Server"];
    l.user = values["User"];
    l.password = values["Password"];
    l.database = values["Database"];
    l.port = values["Port"];
    l.accessPath = values["AccessMDBFile"];
    l.accessPassword = values["AccessPassword"];
    return l;
}

}  // namespace cli
