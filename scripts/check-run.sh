#!/usr/bin/env bash
# Checks the run command on a virtual X server: scripts/run.sh opens the connection window
# against its throwaway server, and "Test Connection" answers. Leaves two screenshots in
# $DM_BUILD/screenshots/ (the window as it opened, and the answer to "Test Connection") for a
# person to look at, then ends the program, which stops the server.
# Needs xvfb-run, xdotool and ImageMagick's import (apt-get install xvfb xdotool imagemagick).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null 2>&1 || { echo "check-run.sh needs $tool" >&2; exit 2; }
done
if [ -z "${DM_CHECK_RUN_INNER:-}" ]; then
  exec env DM_CHECK_RUN_INNER=1 xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$@"
fi

out="$DM_BUILD/screenshots"
mkdir -p "$out"
"$DM_ROOT/scripts/run.sh" &
run_pid=$!

wid=""
for _ in $(seq 1 1200); do
  wid="$(xdotool search --onlyvisible --name '^Dunmorrow$' 2>/dev/null | head -n 1 || true)"
  [ -n "$wid" ] && break
  kill -0 "$run_pid" 2>/dev/null || { echo "scripts/run.sh ended before the window opened" >&2; exit 1; }
  sleep 0.5
done
[ -n "$wid" ] || { echo "the connection window did not open" >&2; exit 1; }
program_pid="$(xdotool getwindowpid "$wid")"
sleep 1
import -window root "$out/connection-window.png"

# The keyboard starts in the server field; five steps on is "Test Connection".
xdotool windowfocus --sync "$wid"
xdotool key --delay 100 Tab Tab Tab Tab Tab space
answer=""
for _ in $(seq 1 40); do
  answer="$(xdotool search --onlyvisible --name '^Dunmorrow$' 2>/dev/null | grep -v "^$wid\$" | head -n 1 || true)"
  [ -n "$answer" ] && break
  sleep 0.5
done
sleep 1
import -window root "$out/test-connection.png"
[ -n "$answer" ] && xdotool key Return

kill "$program_pid"
wait "$run_pid" || true
dm_log "Screenshots: $out/connection-window.png, $out/test-connection.png"
[ -n "$answer" ] || { echo "\"Test Connection\" showed no answer" >&2; exit 1; }
