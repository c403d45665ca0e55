// Access backend over the engine in db/jet.
#include "db/backend.h"
#include "db/connection_string.h"
#include "db/error.h"

namespace db {

std::unique_ptr<Backend> openAccessBackend(const ConnectionString&, const OpenOptions&) {
    throw Error(errc::kCannotOpen, "The Access engine is not available in this build.");
}

}  // namespace db
