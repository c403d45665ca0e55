// ProbeMySqlLogin: whether the MySQL login in the connection window's fields works.
#pragma once

namespace app {

// Creates a connection object, then opens it with the MySQL connection string built from the
// login fields as they stand (ui::currentLogin()). Returns true when the opening worked and
// false on any failure of the opening, without a message. A failure to create the connection
// object (the data-access engine cannot be started) is not caught: it reaches the caller's
// error report. The connection is released on return. The opening runs in a worker thread while
// the windows keep handling events.
bool probeMySqlLogin();

}  // namespace app
