// The direction of a send, the one name for it below the windows: the windows' commands, the
// command line, script generation, the default mapping and the type proposals all take it.
//
// The two directions differ in how values are escaped (only MySQL treats a backslash as an
// escape character), how Booleans are written, and which column types the default mapping
// chooses. The windows keep their own public fields for it (the review window's m_SendType, the
// type dialog's mType) and map to and from this at the window.
#pragma once

namespace transfer {

enum class Direction {
    AccessToMySql,  // send to MySQL: the script runs on the MySQL server ("Send Table/s To
                    // MySQL", dunmorrow-cli to-mysql)
    MySqlToAccess,  // send to Access: the script runs on the Access file ("Send Table/s To
                    // Access", dunmorrow-cli to-access)
};

}  // namespace transfer
