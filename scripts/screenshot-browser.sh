#!/usr/bin/env bash
# Takes a screenshot of the table browser with both lists filled, on a virtual X server, for a
# person to compare with the window's design.
#
#   scripts/screenshot-browser.sh [OUTPUT.png]        default $DM_BUILD/screenshots/browser.png
#
# Builds the program, starts a throwaway MariaDB server (name "shot", port $DM_SHOT_PORT or
# 33419) whose demo database gets two more tables, writes remembered logins for it and a copy of
# an Access file into a scratch settings folder (the user's own settings stay untouched), starts
# the program, which goes straight to the browser, and takes the picture. Also writes the bare
# window beside it (…-window.png). Needs xvfb-run, xdotool and ImageMagick's import, and the
# fixtures beside the checkout. DM_SHOT_WM names a window manager to run first (for instance
# twm), so that the picture shows the window with its title bar and borders.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null 2>&1 || { echo "screenshot-browser.sh needs $tool" >&2; exit 2; }
done
out="${1:-$DM_BUILD/screenshots/browser.png}"
if [ -z "${DM_SHOT_INNER:-}" ]; then
  cmake -S "$DM_ROOT" -B "$DM_BUILD" -G Ninja >/dev/null
  cmake --build "$DM_BUILD" --target dunmorrow dunmorrow-settings -j 2
  exec env DM_SHOT_INNER=1 xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$out"
fi

fixtures="${DM_FIXTURES:-$DM_ROOT/../shared/fixtures}"
access_fixture="$fixtures/access/V2007/testV2007.accdb"
[ -f "$access_fixture" ] || { echo "no fixture $access_fixture" >&2; exit 1; }

port="${DM_SHOT_PORT:-33419}"
scratch="$(mktemp -d)"
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null || true
  "$DM_ROOT/scripts/mariadb.sh" stop shot || true
  rm -rf "$scratch"
}
trap cleanup EXIT

"$DM_ROOT/scripts/mariadb.sh" start shot "$port"
mariadb --no-defaults -h127.0.0.1 -P"$port" -udemo -pdemo demo \
  -e 'CREATE TABLE IF NOT EXISTS `Invoices 2024` (id INT); CREATE TABLE IF NOT EXISTS Archive (id INT);'

cp "$access_fixture" "$scratch/Shop.accdb"
export XDG_CONFIG_HOME="$scratch/config"
"$DM_BUILD/app/dunmorrow-settings" Server=127.0.0.1 "Port=$port" User=demo Password=demo \
  Database=demo "AccessMDBFile=$scratch/Shop.accdb" AccessPassword= \
  "With Data Type Change 2=1" >/dev/null

wm_pid=""
if [ "${DM_SHOT_WM:-}" = twm ]; then
  # twm would wait for a click to place each new window.
  printf 'RandomPlacement\nUsePPosition "on"\n' >"$scratch/twmrc"
  twm -f "$scratch/twmrc" >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1
elif [ -n "${DM_SHOT_WM:-}" ]; then
  $DM_SHOT_WM >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1
fi

"$DM_BUILD/app/dunmorrow" &
program_pid=$!
wid=""
for _ in $(seq 1 120); do
  # A search can hang while a window manager reparents windows; each try is bounded.
  wid="$(timeout 5 xdotool search --onlyvisible --name '^Dunmorrow$' 2>/dev/null | head -n 1 || true)"
  [ -n "$wid" ] && break
  kill -0 "$program_pid" 2>/dev/null || { echo "the program ended before a window opened" >&2; exit 1; }
  sleep 0.5
done
[ -n "$wid" ] || { echo "no window opened" >&2; exit 1; }
sleep 1
mkdir -p "$(dirname "$out")"
import -window root "$out"
import -window "$wid" "${out%.png}-window.png"
xwininfo -id "$wid" | sed -n 's/^ *\(Width\|Height\): /window \1: /p' >&2 || true
dm_log "Screenshots: $out, ${out%.png}-window.png"
