// Building the messages of corruption errors.
#include "db/jet/base/error.h"

namespace jet {

void throwCorrupt(const std::string& what, std::uint32_t page, std::int64_t offset) {
    std::string msg = "The database file is damaged: " + what;
    if (page != kNoPage || offset >= 0) {
        msg += " (";
        if (page != kNoPage) msg += "page " + std::to_string(page);
        if (page != kNoPage && offset >= 0) msg += ", ";
        if (offset >= 0) msg += "offset " + std::to_string(offset);
        msg += ")";
    }
    msg += ".";
    throw Error(ErrorKind::Corrupt, std::move(msg));
}

}  // namespace jet
