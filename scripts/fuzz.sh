#!/usr/bin/env bash
# fuzz.sh SECONDS: builds the Access engine's fuzz targets with clang, libFuzzer and the address
# and undefined-behaviour sanitizers in its own build folder and runs each for about SECONDS
# seconds, one after the other: the reader (jet_fuzz, its corpus seeded with the small databases
# of tests/fuzz/reader_seeds and copies of the fixtures, with the format's byte strings of
# tests/fuzz/jet.dict) and the write path (jet_sql_fuzz, short SQL scripts against a new
# database in memory, seeded from tests/fuzz/sql_seeds with the dialect of tests/fuzz/sql.dict,
# scheduled without the entropic weighing).
# Fails on any crash, leak or sanitizer report.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds="${1:-60}"
build="${DM_FUZZ_BUILD:-$DM_ROOT/build-fuzz}"
fixtures="${DM_FIXTURES:-$DM_ROOT/../shared/fixtures}"

dm_log "Building the fuzz targets in $build"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$DM_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DDM_GUI=OFF -DDM_TESTS=OFF -DDM_FUZZ=ON -DDM_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=undefined" "${launcher[@]}" >/dev/null
cmake --build "$build" --target jet_fuzz jet_sql_fuzz -j "$(nproc 2>/dev/null || echo 2)"

corpus="$build/corpus"
artifacts="$build/artifacts"
mkdir -p "$corpus" "$artifacts"
for seed in "$DM_ROOT"/tests/fuzz/reader_seeds/*.gz; do
  gzip -dc "$seed" >"$corpus/$(basename "$seed" .gz)"
done
if [ -d "$fixtures/access" ]; then
  # Copies, so the fuzzer never touches the fixtures themselves.
  find "$fixtures/access" -type f \( -name '*.mdb' -o -name '*.accdb' \) -exec cp -f {} "$corpus/" \;
  chmod u+w "$corpus"/*
else
  dm_log "No fixtures under $fixtures; fuzzing from an empty corpus"
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# run_target NAME CORPUS [OPTIONS...]: fuzzes one target; exits on a finding.
run_target() {
  local name="$1" dir="$2"
  shift 2
  set +e
  "$build/tests/fuzz/$name" "$dir" -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$@" 2>&1 |
    tail -n 40
  local status=${PIPESTATUS[0]}
  set -e
  if [ "$status" -ne 0 ]; then
    echo "fuzz.sh: the fuzz target $name failed (status $status); the input is in $artifacts" >&2
    exit "$status"
  fi
}

dm_log "Fuzzing the Access engine's reader for ${seconds}s"
run_target jet_fuzz "$corpus" -max_len=4194304 -dict="$DM_ROOT/tests/fuzz/jet.dict"

sql_corpus="$build/sql-corpus"
mkdir -p "$sql_corpus"
cp -f "$DM_ROOT"/tests/fuzz/sql_seeds/*.sql "$sql_corpus/"
dm_log "Fuzzing the Access engine's write path for ${seconds}s"
# Without the entropic schedule: each script reaches so much of the engine that weighing every
# feature of every run took more than half the time, and the target ran half as many scripts.
run_target jet_sql_fuzz "$sql_corpus" -max_len=16384 -dict="$DM_ROOT/tests/fuzz/sql.dict" \
  -entropic=0
dm_log "Fuzzing found nothing"
