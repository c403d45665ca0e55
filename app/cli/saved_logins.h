// The logins the windows remember, read without Qt: the settings file the connection window
// writes (~/.config/Kestrelane.conf, or $XDG_CONFIG_HOME/Kestrelane.conf; group [Dunmorrow]),
// in the INI format Qt writes it: keys with %XX escapes, values as Qt quotes and escapes them
// ("...", \", \\, \n, \xNNNN, a leading @@ for a text that starts with @, a comma outside quotes
// between the items of a list, which the windows read back joined with commas).
#pragma once

#include <optional>
#include <string>

#include "db/connection_string.h"

namespace cli {

// The settings file the windows use.
std::string savedLoginsPath();

// The seven login fields as remembered in `path`; fields never remembered are empty. nullopt
// when the file cannot be read or has no [Dunmorrow] group.
std::optional<db::LoginFields> readSavedLogins(const std::string& path);

// One value as the file holds it (after "key="), as the windows read it back.
std::string unescapeSettingValue(const std::string& raw);

}  // namespace cli
