#!/usr/bin/env bash
# Runs the benchmark works beside their peers on big tables it makes itself, and prints one
# table: work, our processor time (user + system), the peer's, the ratio, and each peak memory
# (from /usr/bin/time -v). Processor time, not wall-clock time: the machine may be shared.
#
#   DM_BUILD=build scripts/bench.sh [ROWS]        (default 200,000 rows)
#
# The works: `dunmorrow-cli dump` of a twelve-column Access table beside `mdb-export`; and, when
# DM_TEST_MYSQL_* name a running server, the MySQL script of that table (`to-mysql --script`)
# beside `mdb-export -I mysql`, and the table sent (`to-mysql`) beside
# `mdb-export -I mysql | mariadb`; then, the other way, the Access script of the table's rows in
# MySQL (`to-access --script`) beside `mariadb-dump` writing one INSERT a row, and the table sent
# into a new Access file (`to-access`), which no peer on Linux can do.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

rows="${1:-200000}"
cli="$DM_BUILD/app/dunmorrow-cli"
maker="$DM_BUILD/tests/cli/cli_dump_benchmark"
for p in "$cli" "$maker" /usr/bin/time mdb-export; do
  command -v "$p" >/dev/null || { dm_log "missing: $p (build first; mdbtools and time are needed)"; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
file="$work/bench.mdb"
dm_log "Making $rows rows of twelve columns in $file"
"$maker" --rows "$rows" --make "$file" >&2

# Runs a command line (through bash, so that it may be a pipe) and prints "cpu-seconds peak-MiB".
measure() {
  /usr/bin/time -v -o "$work/time" bash -c "$1" >/dev/null 2>"$work/err" || {
    echo "failed"
    return
  }
  awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} /Maximum resident/ {m=$2}
    END {printf "%.3f %.1f\n", u + s, m / 1024}' "$work/time"
}

# Prints the best (least processor time) of three runs.
best() {
  local b="" f
  for _ in 1 2 3; do
    f="$(measure "$1")"
    [ "$f" = failed ] && { echo failed; return; }
    if [ -z "$b" ] || awk -v a="${f%% *}" -v b="${b%% *}" 'BEGIN {exit !(a < b)}'; then b="$f"; fi
  done
  echo "$b"
}

rowsout=()
row() {  # work, ours, peer
  local ours peer
  ours="$(best "$2")"
  peer="-"
  [ -n "$3" ] && peer="$(best "$3")"
  rowsout+=("$1|$ours|$peer")
}

row "dump of $rows rows" "'$cli' dump '$file' Bench" "mdb-export '$file' Bench"
if [ -n "${DM_TEST_MYSQL_PORT:-}" ]; then
  my="mysql://${DM_TEST_MYSQL_USER}@${DM_TEST_MYSQL_HOST}:${DM_TEST_MYSQL_PORT}"
  client="mariadb -h $DM_TEST_MYSQL_HOST -P $DM_TEST_MYSQL_PORT -u $DM_TEST_MYSQL_USER -p$DM_TEST_MYSQL_PASSWORD"
  $client -e "DROP DATABASE IF EXISTS dm_bench_a; DROP DATABASE IF EXISTS dm_bench_b; CREATE DATABASE dm_bench_a; CREATE DATABASE dm_bench_b"
  mdb-schema "$file" mysql 2>/dev/null | $client dm_bench_b
  export DUNMORROW_MYSQL_PASSWORD="$DM_TEST_MYSQL_PASSWORD"
  row "MySQL script of $rows rows" \
    "'$cli' to-mysql '$file' $my/dm_bench_a Bench --script '$work/s.sql' --quiet" \
    "mdb-export -I mysql '$file' Bench"
  row "to-mysql of $rows rows (client side)" \
    "'$cli' to-mysql '$file' $my/dm_bench_a Bench --overwrite --quiet" \
    "mdb-export -I mysql '$file' Bench | $client dm_bench_b"
  dump="mariadb-dump -h $DM_TEST_MYSQL_HOST -P $DM_TEST_MYSQL_PORT -u $DM_TEST_MYSQL_USER -p$DM_TEST_MYSQL_PASSWORD"
  row "Access script of $rows rows from MySQL" \
    "rm -f '$work/back.mdb'; '$cli' to-access $my/dm_bench_a '$work/back.mdb' Bench --script '$work/a.sql' --quiet" \
    "$dump --skip-extended-insert --no-create-info dm_bench_a Bench"
  row "to-access of $rows rows (new file)" \
    "rm -f '$work/back.mdb'; '$cli' to-access $my/dm_bench_a '$work/back.mdb' Bench --quiet" ""
  $client -e "DROP DATABASE dm_bench_a; DROP DATABASE dm_bench_b"
fi

printf '%-40s %10s %10s %8s %10s %10s\n' work "ours (s)" "peer (s)" ratio "ours MiB" "peer MiB"
for r in "${rowsout[@]}"; do
  IFS='|' read -r w o p <<<"$r"
  read -r oc om <<<"$o"
  read -r pc pm <<<"$p"
  ratio="$(awk -v a="$oc" -v b="$pc" 'BEGIN {if (a > 0 && b > 0) printf "%.1fx", b / a; else print "-"}')"
  printf '%-40s %10s %10s %8s %10s %10s\n' "$w" "$oc" "$pc" "$ratio" "${om:--}" "${pm:--}"
done
