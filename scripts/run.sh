#!/usr/bin/env bash
# Installs what is needed, builds, starts a throwaway MariaDB server with a demo database, fills
# the program's remembered logins with it and the sample Access file, and starts the program.
# The server stops when the program ends.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dm_install_packages
dm_build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<MSG
There is no display to show the program on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run it under a virtual X server:

    xvfb-run -a -s '-screen 0 1280x1024x24' scripts/run.sh

or set DISPLAY to a running X server and run scripts/run.sh again.
MSG
  exit 1
fi

port="${DM_RUN_PORT:-33416}"
"$DM_ROOT/scripts/mariadb.sh" start run "$port"
trap '"$DM_ROOT/scripts/mariadb.sh" stop run' EXIT

"$DM_ROOT/scripts/start-program.sh" "$port"
