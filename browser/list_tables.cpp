// The two table listings.
#include "browser/list_tables.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/table_list.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/table_listing.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/window_helpers.h"
#include "ui/worker.h"

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
    const db::LoginFields login = ui::currentLogin();
    std::optional<std::vector<std::string>> names;
    ui::runInWorker([&] { names = db::getAccessTableNames(path.toStdString(), login); });
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
    const std::string target = db::mySqlConnectionString(ui::currentLogin());
    // Read whole in the worker; a failure leaves the list as it was.
    std::vector<QString> names;
    ui::runInWorker([&] {
        auto connection = std::make_unique<db::Connection>();
        connection->setCursorLocation(db::kAdUseClient);
        connection->open(target);
        auto tables = connection->execute("SHOW TABLES;");
        const long count = tables->recordCount();
        names.reserve(static_cast<std::size_t>(std::max(count, 0L)));
        for (long row = 1; row <= count; ++row) {
            names.push_back(nameOf(tables->field(0).value()));
            tables->moveNext();
        }
        tables->close();
    });
    list.clear();
    for (const QString& name : names) {
        ui::processPendingEvents();
        list.addItem(name);
    }
    if (list.listCount() > 0) list.setListIndex(0);
}

}  // namespace browser
