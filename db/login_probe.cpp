// The MySQL login probe.
#include "db/login_probe.h"

#include "db/connection.h"

namespace db {

bool probeMySqlLogin(const LoginFields& fields) {
    Connection connection;
    try {
        connection.open(mySqlConnectionString(fields));
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace db
