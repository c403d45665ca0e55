// Form3's type inference: read the first row of the source table and fill the two lists with
// the field names and the proposed target types (column_proposals.h).
#include <QListWidget>

#include "db/connection.h"
#include "db/connection_string.h"
#include "typecustom/column_proposals.h"
#include "typecustom/form3.h"
#include "ui/program_state.h"

namespace typecustom {

void Form3Window::InferTypesFromMySQL() {
    inferTypes(db::mySqlConnectionString(ui::currentLogin()), /*accessTarget=*/true);
}

void Form3Window::InferTypesFromAccess() {
    inferTypes(db::buildAccessConnectionString(ui::currentLogin()), /*accessTarget=*/false);
}

// Failures propagate to Form_Load's report; the connection and record set close on the way out,
// and the lists keep what was appended before the failure.
void Form3Window::inferTypes(const std::string& connectionString, bool accessTarget) {
    db::Connection connection;
    connection.setCursorLocation(db::kAdUseClient);
    connection.open(connectionString);
    proposeColumnTypes(connection,
                       accessTarget ? transfer::Target::Access : transfer::Target::MySql,
                       form_.mTableName, [&](const std::string& name, const std::string& type) {
                           list1_->addItem(QString::fromStdString(name));
                           list2_->addItem(QString::fromStdString(type));
                       });
    if (connection.state() != db::kAdStateClosed) connection.close();
}

}  // namespace typecustom
