// The MySQL login probe over the login fields of the connection window.
#include "app/mysql_probe.h"

#include "db/login_probe.h"
#include "ui/program_state.h"

namespace app {

bool probeMySqlLogin() {
    return db::probeMySqlLogin(ui::currentLogin());
}

}  // namespace app
