// Scratch databases on the test server.
#include "tests/support/mysql_scratch.h"

#include <unistd.h>

#include <atomic>
#include <random>

#include "db/error.h"
#include "tests/support/test_env.h"

namespace testenv {

namespace {

std::atomic<unsigned> gCounter{0};

db::LoginFields serverLogin(const std::string& database) {
    const MySqlServer s = mysqlServer();
    db::LoginFields f;
    f.server = s.host;
    f.port = s.port;
    f.user = s.user;
    f.password = s.password;
    f.database = database;
    return f;
}

}  // namespace

MySqlScratch::MySqlScratch() {
    if (mysqlServer().host.empty())
        throw db::Error(db::errc::kCannotOpen, "No MariaDB server is configured for the tests.");
    std::random_device rd;
    name_ = "dmt_" + std::to_string(::getpid()) + "_" + std::to_string(gCounter++) + "_" +
            std::to_string(rd() % 1000000u);
    {
        db::Connection c;
        c.open(db::mySqlConnectionString(serverLogin("")));
        c.execute("CREATE DATABASE `" + name_ +
                  "` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci");
    }
    session_ = std::make_unique<db::Connection>();
    session_->setCursorLocation(db::kAdUseClient);
    session_->open(connectionString());
}

MySqlScratch::~MySqlScratch() {
    session_.reset();
    try {
        db::Connection c;
        c.open(db::mySqlConnectionString(serverLogin("")));
        c.execute("DROP DATABASE IF EXISTS `" + name_ + "`");
    } catch (...) {
        // The server is gone; there is nothing left to drop it from.
    }
}

db::LoginFields MySqlScratch::login() const {
    return serverLogin(name_);
}

std::string MySqlScratch::connectionString() const {
    return db::mySqlConnectionString(login());
}

std::unique_ptr<db::Recordset> MySqlScratch::exec(std::string_view sql) {
    return session_->execute(sql);
}

std::string MySqlScratch::scalar(std::string_view sql) {
    auto rs = exec(sql);
    if (rs->state() == db::kAdStateClosed || rs->eof())
        throw db::Error(db::errc::kEof, "The statement returned no rows: " + std::string(sql));
    return rs->field(std::size_t{0}).value().toDebugString();
}

}  // namespace testenv
