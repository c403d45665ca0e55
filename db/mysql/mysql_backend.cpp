// MySQL backend over MariaDB Connector/C.
#include "db/backend.h"
#include "db/connection_string.h"
#include "db/error.h"

namespace db {

std::unique_ptr<Backend> openMySqlBackend(const ConnectionString&, const OpenOptions&) {
    throw Error(errc::kCannotOpen, "The MySQL backend is not available in this build.");
}

}  // namespace db
