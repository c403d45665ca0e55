// Form3's type inference: read the first row of the source table and fill the two lists with
// the field names and the proposed target types (column_proposals.h).
#include <QListWidget>
#include <string>
#include <utility>
#include <vector>

#include "db/access_features.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "typecustom/column_proposals.h"
#include "typecustom/form3.h"
#include "ui/program_state.h"
#include "ui/worker.h"

namespace typecustom {

void Form3Window::InferTypesFromMySQL() {
    inferTypes(db::mySqlConnectionString(ui::currentLogin()), /*accessTarget=*/true);
}

void Form3Window::InferTypesFromAccess() {
    inferTypes(db::buildAccessConnectionString(ui::currentLogin()), /*accessTarget=*/false);
}

// Failures propagate to Form_Load's report; the connection and record set close on the way out,
// and the lists keep what was proposed before the failure. The table is read in a worker, so
// that the windows keep painting however slow the source; the lists are filled here.
void Form3Window::inferTypes(const std::string& connectionString, bool accessTarget) {
    std::vector<std::pair<std::string, std::string>> proposals;
    const std::string table = form_.mTableName;
    // An Access target's types follow what its file holds (Large Number, Date/Time Extended).
    const db::AccessFileFeatures features =
        accessTarget ? db::accessFileFeatures(ui::currentLogin().accessPath)
                     : db::AccessFileFeatures{};
    auto fill = [&] {
        for (const auto& [name, type] : proposals) {
            list1_->addItem(QString::fromStdString(name));
            list2_->addItem(QString::fromStdString(type));
        }
    };
    try {
        ui::runInWorker([&] {
            db::Connection connection;
            connection.setCursorLocation(db::kAdUseClient);
            connection.open(connectionString);
            proposeColumnTypes(
                connection,
                accessTarget ? transfer::Direction::MySqlToAccess
                             : transfer::Direction::AccessToMySql,
                table,
                [&](const std::string& name, const std::string& type) {
                    proposals.emplace_back(name, type);
                },
                features);
            if (connection.state() != db::kAdStateClosed) connection.close();
        });
    } catch (...) {
        fill();
        throw;
    }
    fill();
}

}  // namespace typecustom
