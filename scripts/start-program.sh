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

# Until the program can make its own sample database, the sample is a copy of a real Access
# file from the fixtures beside the checkout, when they are there.
fixture="$DM_ROOT/../shared/fixtures/access/V2003/indexTestV2003.mdb"
if [ ! -f "$sample" ] && [ -f "$fixture" ]; then
  mkdir -p "$(dirname "$sample")"
  cp "$fixture" "$sample"
  chmod 644 "$sample"
fi

conf="$("$DM_BUILD/app/dunmorrow-settings" \
  Server=127.0.0.1 "Port=$port" User=demo Password=demo Database=demo \
  "AccessMDBFile=$sample" AccessPassword=)"
dm_log "Starting $program (logins in $conf)"
exec "$program"
