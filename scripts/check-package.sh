#!/usr/bin/env bash
# check-package.sh DEB PORT: checks the Debian package that scripts/package.sh made, as a user's
# machine would have it. Unpacks it into a scratch folder (dpkg -x) and checks:
#   - that it holds the programs, the sample database, the desktop entry, the icons, the MIME
#     type, the manual pages and the copyright file;
#   - lintian: no errors (warnings are shown);
#   - desktop-file-validate on the desktop entry;
#   - that the MIME definitions give .accdb files the type the desktop entry names;
#   - the installed dunmorrow-cli: --help, and the tables and the check of the installed sample
#     database;
#   - the installed program, headless (QT_QPA_PLATFORM=offscreen), started with the installed
#     sample database as its file argument and remembered logins for the demo database of the
#     MariaDB server on 127.0.0.1:PORT (scripts/mariadb.sh): its start-up report must show the
#     table browser with the tables of both sides;
#   - that neither program changed the installation: no file, not even a lock file beside the
#     sample while it is read, and no folder's time of change.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

deb="${1:?usage: check-package.sh DEB PORT}"
port="${2:?usage: check-package.sh DEB PORT (a MariaDB server from scripts/mariadb.sh)}"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/dunmorrow-package.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
sample="$root/usr/share/dunmorrow/Samples/sample.mdb"

fail() {
  echo "check-package.sh: $*" >&2
  exit 1
}

dm_log "Unpacking $(basename "$deb") into a scratch folder"
dpkg-deb --show --showformat='${Package} ${Version} (${Architecture})\nDepends: ${Depends}\n' "$deb"
dpkg -x "$deb" "$root"
for f in usr/bin/dunmorrow usr/bin/dunmorrow-cli usr/share/dunmorrow/Samples/sample.mdb \
  usr/share/applications/dunmorrow.desktop usr/share/mime/packages/dunmorrow.xml \
  usr/share/icons/hicolor/scalable/apps/dunmorrow.svg usr/share/man/man1/dunmorrow.1.gz \
  usr/share/man/man1/dunmorrow-cli.1.gz usr/share/doc/dunmorrow/copyright \
  usr/share/doc/dunmorrow/changelog.gz; do
  [ -f "$root/$f" ] || fail "the package holds no /$f"
done
for size in 16 22 24 32 48 64 128 256; do
  [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/dunmorrow.png" ] ||
    fail "the package holds no ${size}x${size} icon"
done
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' ||
  fail "the dependencies name no Qt library; dpkg-shlibdeps did not run"

dm_log "lintian"
lintian --fail-on error "$deb" || fail "lintian found errors in the package"

dm_log "desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/dunmorrow.desktop" ||
  fail "the desktop entry is not valid"

# The package's MIME definitions, built into a database of their own beside the system's,
# must give .accdb files a type that the desktop entry opens; .mdb files have theirs in the
# system's database.
cp -r "$root/usr/share/mime" "$scratch/mime"
update-mime-database "$scratch/mime" >/dev/null 2>"$scratch/mime-errors" ||
  fail "update-mime-database failed: $(cat "$scratch/mime-errors")"
grep -qx '50:application/x-ms-accdb:\*\.accdb' "$scratch/mime/globs2" ||
  fail "the MIME definitions give .accdb files no type"
grep -q '^application/vnd\.ms-access:\*\.mdb$' /usr/share/mime/globs ||
  fail "this system's MIME database has no type for .mdb files"
mime_types="$(sed -n 's/^MimeType=//p' "$root/usr/share/applications/dunmorrow.desktop")"
[ "$mime_types" = "application/vnd.ms-access;application/x-ms-accdb;" ] ||
  fail "the desktop entry opens \"$mime_types\""

dm_log "The installed dunmorrow-cli"
# Every file of the installation with its type, size, mode and time of change.
snapshot() { (cd "$root" && find . -printf '%p %y %s %m %T@\n' | LC_ALL=C sort); }
snapshot >"$scratch/before"
"$root/usr/bin/dunmorrow-cli" --help >"$scratch/cli-help" || fail "dunmorrow-cli --help failed"
head -n 1 "$scratch/cli-help" | grep -qx 'Usage: dunmorrow-cli COMMAND ARGUMENTS\.\.\.' ||
  fail "dunmorrow-cli --help printed: $(head -n 3 "$scratch/cli-help")"
sample_tables=(Customers "Order Details" Orders Products)
tables="$("$root/usr/bin/dunmorrow-cli" tables "$sample")"
[ "$tables" = "$(printf '%s\n' "${sample_tables[@]}")" ] ||
  fail "dunmorrow-cli tables of the sample printed: $tables"
"$root/usr/bin/dunmorrow-cli" check "$sample" >/dev/null ||
  fail "dunmorrow-cli check finds problems in the installed sample"
[ "$("$root/usr/bin/dunmorrow" --version)" = "dunmorrow $(dpkg-deb --field "$deb" Version)" ] ||
  fail "dunmorrow --version does not name the package's version"

dm_log "The installed program, headless, with the sample database"
config="$scratch/config"
mkdir -p "$config" "$scratch/home"
cat >"$config/Kestrelane.conf" <<CONF
[Dunmorrow]
Server=127.0.0.1
Port=$port
User=demo
Password=demo
Database=demo
CONF
chmod 600 "$config/Kestrelane.conf"
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$scratch/home" XDG_CONFIG_HOME="$config" \
  QT_QPA_PLATFORM=offscreen "$root/usr/bin/dunmorrow" --startup-report "$sample" \
  >"$scratch/report" 2>"$scratch/report-errors" ||
  fail "the start-up report failed: $(cat "$scratch/report-errors")"
expected="$(
  printf 'Shown: table browser\nAccess file: %s\nSample database: %s\n' "$sample" "$sample"
  printf 'Access tables: 4\n'
  printf '\t%s\n' "${sample_tables[@]}"
  printf 'MySQL tables: 3\n'
  printf '\t%s\n' customers orders products
)"
[ "$(cat "$scratch/report")" = "$expected" ] ||
  fail "the start-up report is not what was expected:
$(diff <(echo "$expected") "$scratch/report")"
grep -qxF "AccessMDBFile=$sample" "$config/Kestrelane.conf" ||
  fail "the program did not remember the file it was started with"
snapshot >"$scratch/after"
diff "$scratch/before" "$scratch/after" >&2 || fail "the program wrote into the installation"
dm_log "The package works as installed"
