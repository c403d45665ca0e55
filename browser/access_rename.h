// Renaming an Access table by copying it under the new name and dropping the old one.
//
// The Access side has no rename statement of its own, so the table is copied with
// "SELECT a1.* INTO `new` FROM `old` AS a1;" and the old one dropped afterwards: a copy that
// fails leaves the old table in place. Names compare as the Access file compares them, without
// regard to letter case, which gives two cases their own treatment:
//   - a new name equal to the old one changes nothing;
//   - a new name that differs from the old one only in letter case designates the table itself,
//     so the table goes through an intermediate name no table has (copy, drop, copy back, drop)
//     and is never dropped before a copy of it exists.
#pragma once

#include <functional>
#include <string>

namespace browser {

// Asked when the new name belongs to another table; true lets that table be dropped.
using OverwriteQuestion = std::function<bool(const std::string& newName)>;

// The text of the question and its title.
std::string overwriteQuestionText(const std::string& newName);  // "Would you like to overwrite …?"
inline constexpr const char* kOverwriteTitle = "Overwrite?";

// Renames table `oldName` of the Access file `path` (opened with `password`) to `newName`.
// Returns true when the table now exists under the new name, false when the user declined to
// overwrite another table of that name (nothing changed then). Catches nothing: a failing step
// ends the routine and its db::Error reaches the caller; when that happens after the old table
// was dropped, the description names the table that holds the rows.
bool renameAccessTableByCopy(const std::string& oldName, const std::string& newName,
                             const std::string& path, const std::string& password,
                             const OverwriteQuestion& overwrite);

// The intermediate name tried at `attempt` (1, 2, …) for renaming to `newName`: the name with
// "_renaming" (and from the second attempt on, the attempt's number) after it, the name cut so
// that the whole stays within the 64 characters an Access table name may have.
std::string intermediateTableName(const std::string& newName, int attempt);

}  // namespace browser
