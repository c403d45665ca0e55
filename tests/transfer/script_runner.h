// Runs a script the way the review window does: split at every CR LF, empty lines skipped, each
// line one statement on the given connection. For tests that check what a script does on a real
// database.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"

namespace testenv {

// Returns the number of statements run. A rejected line throws the database's db::Error with the
// line prepended to its description.
inline int runScript(db::Connection& connection, std::string_view script) {
    int run = 0;
    std::size_t pos = 0;
    while (pos <= script.size()) {
        std::size_t end = script.find("\r\n", pos);
        if (end == std::string_view::npos) end = script.size();
        const std::string_view line = script.substr(pos, end - pos);
        if (!line.empty()) {
            try {
                connection.execute(line);
            } catch (const db::Error& e) {
                throw db::Error(e.number(),
                                std::string(line.substr(0, 300)) + "\n" + e.description());
            }
            ++run;
        }
        pos = end + 2;
    }
    return run;
}

}  // namespace testenv
