#!/usr/bin/env bash
# Checks the run command on a virtual X server: scripts/run.sh starts the program with remembered
# logins that work, so it opens straight into the table browser with both lists filled; "< Back"
# leads to the connection window, where "Test Connection" answers. Leaves three screenshots in
# $DM_BUILD/screenshots/ (the browser as it opened, the connection window, and the answer to
# "Test Connection") for a person to look at, then ends the program, which stops the server.
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

# Prints the visible windows titled like the program, one id a line.
program_windows() { xdotool search --onlyvisible --name '^Dunmorrow$' 2>/dev/null || true; }

# Waits for a visible program window other than those given, and prints it.
wait_for_new_window() {
  local tries="$1"
  shift
  local id
  for _ in $(seq 1 "$tries"); do
    for id in $(program_windows); do
      case " $* " in *" $id "*) ;; *)
        echo "$id"
        return 0
        ;;
      esac
    done
    kill -0 "$run_pid" 2>/dev/null || { echo "scripts/run.sh ended early" >&2; return 1; }
    sleep 0.5
  done
  return 1
}

browser="$(wait_for_new_window 1200)" || { echo "no window opened" >&2; exit 1; }
program_pid="$(xdotool getwindowpid "$browser")"
trap 'kill "$program_pid" 2>/dev/null || true; wait "$run_pid" || true' EXIT
sleep 1
import -window root "$out/browser.png"

# "< Back" sits at the bottom left of the browser: 120 twips in, 5960 down, 3840 by 405 (15
# twips a pixel), so its middle is at (136, 411).
xdotool mousemove --window "$browser" 136 411 click 1
form1="$(wait_for_new_window 40 "$browser")" || { echo "\"< Back\" showed no connection window" >&2; exit 1; }
sleep 1
import -window root "$out/connection-window.png"

# The keyboard starts in the server field; five steps on is "Test Connection".
xdotool windowfocus --sync "$form1"
xdotool key --delay 100 Tab Tab Tab Tab Tab space
answer="$(wait_for_new_window 40 "$form1")" || answer=""
sleep 1
import -window root "$out/test-connection.png"
[ -n "$answer" ] && xdotool key Return

dm_log "Screenshots: $out/browser.png, $out/connection-window.png, $out/test-connection.png"
[ -n "$answer" ] || { echo "\"Test Connection\" showed no answer" >&2; exit 1; }
