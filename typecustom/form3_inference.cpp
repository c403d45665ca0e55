// Form3's type inference: read the first row of the source table and fill the two lists with
// the field names and the proposed target types.
#include <QListWidget>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/type_names.h"
#include "typecustom/form3.h"
#include "typecustom/type_proposal.h"
#include "ui/program_state.h"

namespace typecustom {

void Form3Window::InferTypesFromMySQL() {
    inferTypes(db::mySqlConnectionString(ui::currentLogin()),
               "SELECT * FROM `" + form_.mTableName + "` LIMIT 1", /*accessTarget=*/true);
}

void Form3Window::InferTypesFromAccess() {
    inferTypes(db::buildAccessConnectionString(ui::currentLogin()),
               "SELECT top 1 * FROM [" + form_.mTableName + "]", /*accessTarget=*/false);
}

// Failures propagate to Form_Load's report; the connection and record set close on the way out,
// and the lists keep what was appended before the failure.
void Form3Window::inferTypes(const std::string& connectionString, const std::string& query,
                             bool accessTarget) {
    const transfer::Target target =
        accessTarget ? transfer::Target::Access : transfer::Target::MySql;
    db::Connection connection;
    connection.setCursorLocation(db::kAdUseClient);
    connection.open(connectionString);
    db::Recordset rs;
    rs.open(query, connection, db::kAdOpenStatic, db::kAdLockOptimistic);
    const int last = rs.fieldCount() - 1;
    for (std::int16_t i = 0; i <= last; ++i) {
        const db::Field field = rs.field(static_cast<std::size_t>(i));
        list1_->addItem(QString::fromStdString(field.name()));
        const std::string_view typeName = db::dataTypeNameText(db::typeCode16(field.type()));
        const db::Value* first = rs.eof() ? nullptr : &field.value();
        list2_->addItem(
            QString::fromStdString(proposeType(target, typeName, field.precision(),
                                               field.numericScale(), field.definedSize(), first)));
    }
    if (rs.state() != db::kAdStateClosed) rs.close();
    if (connection.state() != db::kAdStateClosed) connection.close();
}

}  // namespace typecustom
