#!/usr/bin/env bash
# Fills the program's remembered logins with the throwaway server and the sample Access file,
# as a returning user's settings would hold them, and starts the program.
#   scripts/start-program.sh PORT
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

port="${1:?port}"
program="$DM_BUILD/app/dunmorrow"
sample="$DM_BUILD/app/Samples/sample.mdb"

conf_dir="${XDG_CONFIG_HOME:-$HOME/.config}"
conf="$conf_dir/Kestrelane.conf"
mkdir -p "$conf_dir"
umask 077
# The settings file the program reads and writes (organisation Kestrelane, group Dunmorrow).
cat >"$conf" <<CONF
[Dunmorrow]
Server=127.0.0.1
Port=$port
User=demo
Password=demo
Database=demo
AccessMDBFile=$sample
AccessPassword=
CONF
chmod 600 "$conf"
dm_log "Starting $program (logins in $conf)"
exec "$program"
