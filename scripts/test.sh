#!/usr/bin/env bash
# Installs what is needed, checks that every C++ file matches .clang-format and that no include
# of the Access engine runs up a layer, builds, starts a throwaway MariaDB server, runs every
# test, builds the Debian package and checks it as installed (scripts/package.sh,
# check-package.sh), runs the fuzz targets for a bounded time, and stops the server. Fails when
# any check or test fails or the fuzzing finds anything.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dm_install_packages
if [ -z "${DM_FIXTURES:-}" ]; then
  for candidate in "$DM_ROOT/../shared/fixtures" "$DM_ROOT/../../shared/fixtures"; do
    if [ -d "$candidate" ]; then DM_FIXTURES="$(cd "$candidate" && pwd)"; break; fi
  done
fi
export DM_FIXTURES="${DM_FIXTURES:-$DM_ROOT/../shared/fixtures}"

dm_log "Checking the layout of the sources and the engine's include graph"
"$DM_ROOT/scripts/check-format.sh"
python3 "$DM_ROOT/scripts/check_includes.py" "$DM_ROOT"

dm_build

port="${DM_TEST_PORT:-33417}"
"$DM_ROOT/scripts/mariadb.sh" start test "$port"
trap '"$DM_ROOT/scripts/mariadb.sh" stop test' EXIT

export DM_TEST_MYSQL_HOST=127.0.0.1
export DM_TEST_MYSQL_PORT="$port"
export DM_TEST_MYSQL_USER=dmtest
export DM_TEST_MYSQL_PASSWORD=dmtest-pw

export QT_QPA_PLATFORM=offscreen

dm_log "Running the tests"
ctest --test-dir "$DM_BUILD" --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"

# Every test once more, built with the address and undefined-behaviour sanitizers; fails on any
# sanitizer report (DM_SANITIZE_TESTS=0 leaves this out).
if [ "${DM_SANITIZE_TESTS:-1}" != 0 ]; then
  "$DM_ROOT/scripts/sanitize.sh"
fi

# The Debian package, built and checked as installed, its program against this server.
deb="$("$DM_ROOT/scripts/package.sh")"
"$DM_ROOT/scripts/check-package.sh" "$deb" "$port"

if [ -x "$DM_ROOT/scripts/fuzz.sh" ]; then
  "$DM_ROOT/scripts/fuzz.sh" "${DM_FUZZ_SECONDS:-60}"
fi
dm_log "All tests passed"
