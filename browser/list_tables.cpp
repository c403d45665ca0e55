// The two table listings.
#include "browser/list_tables.h"

#include <memory>

#include "browser/table_list.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/table_listing.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/window_helpers.h"

namespace browser {

namespace {

const QString kUnableToAccess = QStringLiteral("Unable to access the database");

// A table name as the first column of "SHOW TABLES" gives it.
QString nameOf(const db::Value& v) {
    switch (v.kind()) {
        case db::Value::Kind::Text:
            return QString::fromStdString(v.asText());
        case db::Value::Kind::Binary: {
            const db::Bytes& b = v.asBinary();
            return QString::fromUtf8(reinterpret_cast<const char*>(b.data()),
                                     static_cast<qsizetype>(b.size()));
        }
        default:
            return QString::fromStdString(v.toDebugString());
    }
}

}  // namespace

void listAccessTables(TableList& list, const QString& path) {
    list.clear();
    const auto names = db::getAccessTableNames(path.toStdString(), ui::currentLogin());
    if (!names) {
        ui::reportProblem(kUnableToAccess);
        return;
    }
    list.clear();
    for (const std::string& name : *names) {
        ui::processPendingEvents();
        list.addItem(QString::fromStdString(name));
    }
}

void listMySqlTables(TableList& list) {
    auto connection = std::make_unique<db::Connection>();
    connection->setCursorLocation(db::kAdUseClient);
    connection->open(db::mySqlConnectionString(ui::currentLogin()));
    auto tables = connection->execute("SHOW TABLES;");
    list.clear();
    const long count = tables->recordCount();
    for (long row = 1; row <= count; ++row) {
        ui::processPendingEvents();
        list.addItem(nameOf(tables->field(0).value()));
        tables->moveNext();
    }
    tables->close();
    if (list.listCount() > 0) list.setListIndex(0);
}

}  // namespace browser
