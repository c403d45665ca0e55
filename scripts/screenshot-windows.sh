#!/usr/bin/env bash
# Takes pictures of every window of the program on a virtual X server, for a person to look at:
# each window at the size it opens at and again made larger, with a window manager's title bar
# and borders, the table browser once more as a send shows it while it works (buttons disabled,
# the bar part way), the review window with a 70,000-character line scrolled to its end, and the
# message boxes and the input box the program shows.
#
#   scripts/screenshot-windows.sh [OUTPUT_FOLDER]     default $DM_BUILD/screenshots/windows
#
# Builds build/tests/ui/window_gallery, starts a throwaway MariaDB server (name "gallery",
# port $DM_GALLERY_PORT or 33421), runs the gallery under xvfb-run with twm as the window
# manager, and stops the server. The user's own settings stay untouched. Needs xvfb-run, and
# twm with the core fonts for its title bars (apt-get install xvfb twm xfonts-base); without
# twm the pictures have no title bars.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

command -v xvfb-run >/dev/null 2>&1 || { echo "screenshot-windows.sh needs xvfb-run" >&2; exit 2; }
out="${1:-$DM_BUILD/screenshots/windows}"
if [ -z "${DM_GALLERY_INNER:-}" ]; then
  cmake -S "$DM_ROOT" -B "$DM_BUILD" -G Ninja >/dev/null
  cmake --build "$DM_BUILD" --target window_gallery -j 2
  port="${DM_GALLERY_PORT:-33421}"
  "$DM_ROOT/scripts/mariadb.sh" start gallery "$port"
  trap '"$DM_ROOT/scripts/mariadb.sh" stop gallery || true' EXIT
  mkdir -p "$out"
  status=0
  env DM_GALLERY_INNER=1 DM_TEST_MYSQL_HOST=127.0.0.1 DM_TEST_MYSQL_PORT="$port" \
    DM_TEST_MYSQL_USER=dmtest DM_TEST_MYSQL_PASSWORD=dmtest-pw \
    xvfb-run -a -s '-screen 0 1600x1200x24' "$0" "$out" || status=$?
  exit "$status"
fi

scratch="$(mktemp -d)"
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$scratch/config"
if command -v twm >/dev/null 2>&1; then
  # twm would wait for a click to place each new window; its default fonts are not on a bare
  # machine, the core font "fixed" (xfonts-base) is.
  printf 'RandomPlacement\nUsePPosition "on"\nNoGrabServer\nDecorateTransients\n' >"$scratch/twmrc"
  for f in TitleFont ResizeFont MenuFont IconFont IconManagerFont; do
    printf '%s "fixed"\n' "$f" >>"$scratch/twmrc"
  done
  twm -f "$scratch/twmrc" >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1
else
  echo "no twm: the pictures show the windows without title bars" >&2
fi
QT_QPA_PLATFORM=xcb "$DM_BUILD/tests/ui/window_gallery" "$out"
dm_log "Pictures in $out"
