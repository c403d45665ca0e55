// The program's sample database: a Jet 4 file with a few related tables that use every common
// column type, filled with a few hundred rows of varied values (nulls, apostrophes, accented
// and non-Latin text, long memos, binary data, dates before 1900, extreme numbers). The rows
// come from a fixed seed, so every build makes the same rows.
#pragma once

#include <string>
#include <vector>

namespace sample {

// The statements that make and fill the tables, in the Access dialect the engine executes.
std::vector<std::string> sampleStatements();

// Creates a new database at `path` (replacing a file there) and executes sampleStatements() in
// it, in one transaction. Throws jet::Error naming the statement that failed.
void writeSampleDatabase(const std::string& path);

}  // namespace sample
