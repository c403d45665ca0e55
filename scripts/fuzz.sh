#!/usr/bin/env bash
# fuzz.sh SECONDS: builds the Access engine's fuzz target with clang, libFuzzer and the address
# and undefined-behaviour sanitizers in its own build folder, seeds a corpus with copies of the
# fixtures, runs it for about SECONDS seconds and fails on any crash, leak or sanitizer report.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds="${1:-60}"
build="${DM_FUZZ_BUILD:-$DM_ROOT/build-fuzz}"
fixtures="${DM_FIXTURES:-$DM_ROOT/../shared/fixtures}"

dm_log "Building the fuzz target in $build"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$DM_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DDM_GUI=OFF -DDM_TESTS=OFF -DDM_FUZZ=ON -DDM_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=undefined" "${launcher[@]}" >/dev/null
cmake --build "$build" --target jet_fuzz -j "$(nproc 2>/dev/null || echo 2)"

corpus="$build/corpus"
artifacts="$build/artifacts"
mkdir -p "$corpus" "$artifacts"
if [ -d "$fixtures/access" ]; then
  # Copies, so the fuzzer never touches the fixtures themselves.
  find "$fixtures/access" -type f \( -name '*.mdb' -o -name '*.accdb' \) -exec cp -f {} "$corpus/" \;
  chmod u+w "$corpus"/*
else
  dm_log "No fixtures under $fixtures; fuzzing from an empty corpus"
fi

dm_log "Fuzzing the Access engine for ${seconds}s"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
"$build/tests/fuzz/jet_fuzz" "$corpus" -max_total_time="$seconds" -timeout=20 \
  -rss_limit_mb=2048 -max_len=4194304 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" 2>&1 | tail -n 40
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "fuzz.sh: the fuzz target failed (status $status); the input is in $artifacts" >&2
  exit "$status"
fi
dm_log "Fuzzing found nothing"
