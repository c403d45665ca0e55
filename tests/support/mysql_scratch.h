// A scratch database on the test command's MariaDB server, for tests that need one.
//
// Usage (after DM_REQUIRE_MYSQL()):
//     testenv::MySqlScratch scratch;                  // creates a uniquely named database
//     scratch.exec("CREATE TABLE t (id INT)");        // statements run inside it
//     db::Connection c; c.open(scratch.connectionString());   // or scratch.login() for windows
// The database is dropped when the object goes, whatever the test left in it. Everything goes
// through the program's own db::Connection, as the user of the test server (DM_TEST_MYSQL_*).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "db/connection_string.h"

namespace testenv {

class MySqlScratch {
  public:
    // Creates database "dmt_<pid>_<counter>_<random>" (utf8mb4) on testenv::mysqlServer().
    // REQUIRES: a server is configured. Throws db::Error when the server refuses.
    MySqlScratch();
    // Drops the database (through a fresh session, so a test may kill or close its own).
    ~MySqlScratch();
    MySqlScratch(const MySqlScratch&) = delete;
    MySqlScratch& operator=(const MySqlScratch&) = delete;

    const std::string& name() const { return name_; }
    // The seven login fields: server, port, user and password of the test server, this database,
    // and empty Access fields.
    db::LoginFields login() const;
    // db::mySqlConnectionString(login()).
    std::string connectionString() const;

    // Runs one statement in this database on the helper's own session and returns what
    // Connection::execute returns (a closed record set for statements without rows).
    std::unique_ptr<db::Recordset> exec(std::string_view sql);
    // The first column of the first row of `sql`, as Value::toDebugString renders it.
    std::string scalar(std::string_view sql);

  private:
    std::string name_;
    std::unique_ptr<db::Connection> session_;
};

}  // namespace testenv
