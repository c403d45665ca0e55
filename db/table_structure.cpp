// Look-ups over a table's structure.
#include "db/table_structure.h"

namespace db {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

const ColumnStructure* TableStructure::column(std::string_view wanted) const {
    for (const auto& c : columns)
        if (sameName(c.name, wanted)) return &c;
    return nullptr;
}

const IndexStructure* TableStructure::primaryKey() const {
    for (const auto& i : indexes)
        if (i.primary) return &i;
    return nullptr;
}

const char* referentialActionName(ReferentialAction action) {
    switch (action) {
        case ReferentialAction::NoAction:
            return "NO ACTION";
        case ReferentialAction::Restrict:
            return "RESTRICT";
        case ReferentialAction::Cascade:
            return "CASCADE";
        case ReferentialAction::SetNull:
            return "SET NULL";
        case ReferentialAction::SetDefault:
            return "SET DEFAULT";
    }
    return "RESTRICT";
}

}  // namespace db
