// The side a generated script is for.
//
// The two sides differ in how values are escaped (only MySQL treats a backslash as an escape
// character), how Booleans are written, and which column types the default mapping chooses.
#pragma once

namespace transfer {

enum class Target {
    MySql,   // the script runs on the MySQL server; the source is an Access file
    Access,  // the script runs on the Access file; the source is the MySQL server
};

}  // namespace transfer
