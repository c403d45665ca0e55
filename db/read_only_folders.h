// Folders that nothing may be written into, such as the program's own installed data folder.
//
// An Access file inside one is opened as a file on a read-only medium is: for reading only,
// whatever the connection asked and whoever runs the program (the super-user included), and
// without a lock file beside it. Reading still holds the file shared, so another program's
// writer is kept out while it is read.
#pragma once

#include <string>

namespace db {

// Adds a folder; an empty name or one that does not exist is ignored.
void addReadOnlyFolder(const std::string& folder);
void clearReadOnlyFolders();

// True when `path` (a file that exists) lies within one of the folders, following symbolic
// links and ".." on both sides.
bool inReadOnlyFolder(const std::string& path);

}  // namespace db
