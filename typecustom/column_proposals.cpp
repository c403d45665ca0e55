// Reading the proposals and completing the statement with them.
#include "typecustom/column_proposals.h"

#include <cstdint>

#include "db/connection.h"
#include "db/sql_names.h"
#include "db/type_names.h"
#include "typecustom/field_names.h"
#include "typecustom/type_proposal.h"

namespace typecustom {

std::string firstRowQuery(transfer::Target target, std::string_view table) {
    if (target == transfer::Target::Access)
        return "SELECT * FROM " + db::quoteMySqlName(table) + " LIMIT 1";
    return "SELECT top 1 * FROM " + db::bracketAccessName(table, "table");
}

void proposeColumnTypes(db::Connection& source, transfer::Target target, std::string_view table,
                        const std::function<void(const std::string&, const std::string&)>& add) {
    db::Recordset rs;
    rs.open(firstRowQuery(target, table), source, db::kAdOpenStatic, db::kAdLockOptimistic);
    const int last = rs.fieldCount() - 1;
    for (std::int16_t i = 0; i <= last; ++i) {
        const db::Field field = rs.field(static_cast<std::size_t>(i));
        const std::string_view typeName = db::dataTypeNameText(db::typeCode16(field.type()));
        const db::Value* first = rs.eof() ? nullptr : &field.value();
        add(field.name(), proposeType(target, typeName, field.precision(), field.numericScale(),
                                      field.definedSize(), first));
    }
    if (rs.state() != db::kAdStateClosed) rs.close();
}

std::vector<ColumnProposal> proposeColumnTypes(db::Connection& source, transfer::Target target,
                                               std::string_view table) {
    std::vector<ColumnProposal> out;
    proposeColumnTypes(source, target, table,
                       [&](const std::string& name, const std::string& type) {
                           out.push_back({name, type});
                       });
    return out;
}

std::string proposedCreateStatement(std::string head, transfer::Target target,
                                    const std::vector<ColumnProposal>& columns) {
    if (columns.empty()) return head;
    const IdentifierQuotes quotes =
        identifierQuotes(target == transfer::Target::Access ? kTargetAccess : kTargetMySql);
    std::vector<std::string> names;
    names.reserve(columns.size());
    for (const auto& c : columns)
        names.push_back(c.name);
    for (const auto& c : columns)
        appendCustomColumn(head, quotes, isNumericName(c.name) ? NewFieldName(names) : c.name,
                           c.type);
    head.pop_back();  // the comma after the last definition
    head += ')';
    return head;
}

}  // namespace typecustom
