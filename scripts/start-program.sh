#!/usr/bin/env bash
# Fills the program's remembered logins with the throwaway server and the sample Access file,
# as a returning user's settings would hold them, and starts the program.
#   scripts/start-program.sh PORT
# The logins are written by build/app/dunmorrow-settings, which uses the program's own settings
# code, so the file ($XDG_CONFIG_HOME or ~/.config, Kestrelane.conf, group [Dunmorrow]) has
# exactly the form the program reads, and mode 0600.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

port="${1:?port}"
program="$DM_BUILD/app/dunmorrow"
sample="$DM_BUILD/app/Samples/sample.mdb"

# The build makes the sample database beside the program (app/sample); build it when it is
# missing, so the connection window's "Load Sample/Example Database" always finds it.
if [ ! -f "$sample" ]; then
  dm_log "Making the sample database $sample"
  cmake --build "$DM_BUILD" --target sample_database
fi

conf="$("$DM_BUILD/app/dunmorrow-settings" \
  Server=127.0.0.1 "Port=$port" User=demo Password=demo Database=demo \
  "AccessMDBFile=$sample" AccessPassword=)"
dm_log "Starting $program (logins in $conf)"
exec "$program"
