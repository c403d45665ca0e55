// Reading the proposals and completing the statement with them.
#include "typecustom/column_proposals.h"

#include <cstdint>

#include "db/connection.h"
#include "db/sql_names.h"
#include "db/type_names.h"
#include "typecustom/field_names.h"
#include "typecustom/type_proposal.h"

namespace typecustom {

std::string firstRowQuery(transfer::Direction target, std::string_view table) {
    if (target == transfer::Direction::MySqlToAccess)
        return "SELECT * FROM " + db::quoteMySqlName(table) + " LIMIT 1";
    return "SELECT top 1 * FROM " + db::bracketAccessName(table, "table");
}

void proposeColumnTypes(db::Connection& source, transfer::Direction target, std::string_view table,
                        const std::function<void(const std::string&, const std::string&)>& add,
                        const db::AccessFileFeatures& features) {
    db::Recordset rs;
    rs.open(firstRowQuery(target, table), source, db::kAdOpenStatic, db::kAdLockOptimistic);
    const int last = rs.fieldCount() - 1;
    for (std::int16_t i = 0; i <= last; ++i) {
        const db::Field field = rs.field(static_cast<std::size_t>(i));
        const std::string_view typeName = db::dataTypeNameText(db::typeCode16(field.type()));
        const db::Value* first = rs.eof() ? nullptr : &field.value();
        add(field.name(), proposeType(target, typeName, field.precision(), field.numericScale(),
                                      field.definedSize(), first, features));
    }
    if (rs.state() != db::kAdStateClosed) rs.close();
}

std::vector<ColumnProposal> proposeColumnTypes(db::Connection& source, transfer::Direction target,
                                               std::string_view table,
                                               const db::AccessFileFeatures& features) {
    std::vector<ColumnProposal> out;
    proposeColumnTypes(
        source, target, table,
        [&](const std::string& name, const std::string& type) {
            out.push_back({name, type});
        },
        features);
    return out;
}

std::string proposedCreateStatement(std::string head, transfer::Direction target,
                                    const std::vector<ColumnProposal>& columns,
                                    const transfer::ColumnDecorator& decorate) {
    if (columns.empty()) return head;
    const IdentifierQuotes quotes = identifierQuotes(
        target == transfer::Direction::MySqlToAccess ? kTargetAccess : kTargetMySql);
    std::vector<std::string> names;
    names.reserve(columns.size());
    for (const auto& c : columns)
        names.push_back(c.name);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto& c = columns[i];
        const std::string name = isNumericName(c.name) ? NewFieldName(names) : c.name;
        appendCustomColumn(head, quotes, name,
                           decorate ? decorate(i, name, c.type, false) : c.type);
    }
    head.pop_back();  // the comma after the last definition
    head += ')';
    return head;
}

}  // namespace typecustom
