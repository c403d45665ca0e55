#!/usr/bin/env bash
# make_reader_seeds.sh CLI: remakes the reader fuzz target's seeds in reader_seeds/ beside this
# script: small databases of each version the engine writes, made by dunmorrow-cli, with tables
# of every common column type, an index, long values in and out of their rows, and a dropped
# table whose pages are free again; kept gzip-compressed (fuzz.sh unpacks them).
set -euo pipefail
cli="${1:?usage: make_reader_seeds.sh PATH-TO-dunmorrow-cli}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
script() {
  echo "CREATE TABLE People (id COUNTER PRIMARY KEY, name TEXT(40) NOT NULL, born DATETIME, paid CURRENCY, ok BIT, note MEMO, pic LONGBINARY, g GUID, d DECIMAL(12,3), r DOUBLE, b BYTE)"
  for i in 1 2 3 4 5 6 7 8; do
    echo "INSERT INTO People (name, born, paid, ok, note, pic, g, d, r, b) VALUES ('Person $i é', #19$((50 + i))-0$i-1$i#, $i.25, $((i % 2)), '$(printf 'n%.0s' $(seq 1 $((i * i * 40))))', X'DEADBEEF0$i', '{1234567$i-1234-1234-1234-1234567890AB}', -$i.125, $i.5e10, $i)"
  done
  echo "CREATE TABLE Gone (x INTEGER, y TEXT(10))"
  echo "INSERT INTO Gone VALUES (1, 'a')"
  echo "SELECT * INTO Copy FROM People"
  echo "DROP TABLE Gone"
}
for format in jet4 ace12 ace17; do
  ext=accdb
  [ "$format" = jet4 ] && ext=mdb
  "$cli" new "$work/seed.$ext" --format "$format" >/dev/null
  script | "$cli" exec "$work/seed.$ext" >/dev/null
  "$cli" check "$work/seed.$ext" >/dev/null
  gzip -9 -n -c "$work/seed.$ext" >"$here/reader_seeds/$format.$ext.gz"
  rm -f "$work/seed.$ext"
done
ls -l "$here/reader_seeds"
