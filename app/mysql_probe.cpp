// The MySQL login probe.
#include "app/mysql_probe.h"

#include "db/connection.h"
#include "db/connection_string.h"
#include "ui/program_state.h"

namespace app {

bool probeMySqlLogin() {
    db::Connection connection;
    try {
        connection.open(db::mySqlConnectionString(ui::currentLogin()));
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace app
