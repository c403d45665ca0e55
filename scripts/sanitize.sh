#!/usr/bin/env bash
# sanitize.sh: builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (-DDM_SANITIZE=ON, the default compiler, ccache when present) in its own build folder and runs
# the whole ctest suite there. Any sanitizer report fails the test it comes from: UBSan stops at
# the first report, ASan at any memory error, LeakSanitizer at a leak when the test program ends.
#
# Run by the test command after the ordinary run, with the same environment (the test server,
# DM_FIXTURES, QT_QPA_PLATFORM); it can also be run alone with those set.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

build="${DM_SANITIZE_BUILD:-$DM_ROOT/build-sanitize}"

dm_log "Building with the address and undefined-behaviour sanitizers in $build"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# -O1 and line tables only: reports keep exact lines, the build and the run stay quick.
cmake -S "$DM_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDM_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=undefined" -DCMAKE_C_FLAGS="-fno-sanitize-recover=undefined" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$DM_ROOT/tests/sanitizer/lsan.supp:print_suppressions=0}"

dm_log "Running the tests under the sanitizers"
ctest --test-dir "$build" --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
dm_log "The sanitizers found nothing"
