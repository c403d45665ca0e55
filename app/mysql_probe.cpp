// The MySQL login probe over the login fields of the connection window.
#include "app/mysql_probe.h"

#include "db/login_probe.h"
#include "ui/program_state.h"
#include "ui/worker.h"

namespace app {

bool probeMySqlLogin() {
    const db::LoginFields login = ui::currentLogin();
    bool works = false;
    // A server that does not answer may keep the opening waiting for long: the windows go on.
    ui::runInWorker([&] { works = db::probeMySqlLogin(login); });
    return works;
}

}  // namespace app
