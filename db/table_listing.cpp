// Listing Access user tables through the tables schema.
#include "db/table_listing.h"

#include <sys/stat.h>

#include "db/connection.h"
#include "db/jet/catalog/names.h"

namespace db {

namespace {

// Upper case for ASCII letters and the Latin-1 letters of UTF-8 text (the platform compares
// names that way); other characters stay as they are.
std::string upper(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 'a' && c <= 'z') {
            out.push_back(static_cast<char>(c - 32));
        } else if (c == 0xC3 && i + 1 < s.size()) {
            auto d = static_cast<unsigned char>(s[i + 1]);
            // U+00E0..U+00FE except U+00F7 are the lower-case forms of U+00C0..U+00DE.
            if (d >= 0xA0 && d <= 0xBE && d != 0xB7) d = static_cast<unsigned char>(d - 0x20);
            out.push_back(static_cast<char>(c));
            out.push_back(static_cast<char>(d));
            ++i;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// Reads the tables schema and calls `f` with the name of every user table.
template <typename F>
void forEachUserTable(Connection& cn, F&& f) {
    auto rs = cn.openSchema(kAdSchemaTables);
    while (!rs->eof()) {
        const Value& type = rs->field("TABLE_TYPE").value();
        if (type.kind() == Value::Kind::Text && type.asText() == "TABLE") {
            const Value& name = rs->field("TABLE_NAME").value();
            f(name.kind() == Value::Kind::Text ? name.asText() : name.toDebugString());
        }
        rs->moveNext();
    }
    rs->close();
}

}  // namespace

bool accessFileExists(std::string_view path) {
    if (path.empty()) return false;
    struct stat st;
    if (::stat(std::string(path).c_str(), &st) != 0) return false;
    return S_ISREG(st.st_mode);
}

std::optional<std::vector<std::string>> getAccessTableNames(std::string_view path,
                                                            const LoginFields& login) {
    if (!accessFileExists(path)) return std::nullopt;
    Connection cn;
    cn.open(buildAccessConnectionString(login));
    std::vector<std::string> names;
    forEachUserTable(cn, [&](std::string name) { names.push_back(std::move(name)); });
    cn.close();
    return names;
}

bool accessTableExists(std::string_view path, std::string_view password, std::string_view name) {
    bool result = false;
    if (!accessFileExists(path)) return result;
    Connection cn;
    cn.open(buildAccessConnectionString(LoginFields{}, path, password));
    const std::string wanted = upper(name);
    forEachUserTable(cn, [&](const std::string& table) {
        if (upper(table) == wanted) result = true;
    });
    cn.close();
    return result;
}

bool accessTableNamesEqual(std::string_view a, std::string_view b) {
    return upper(a) == upper(b);
}

std::string listFoldedName(std::string_view name) {
    std::string folded = jet::foldName(name);  // every letter in one case, ASCII in upper case
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

bool listNameLess(std::string_view a, std::string_view b) {
    return listFoldedName(a) < listFoldedName(b);
}

}  // namespace db
