#!/usr/bin/env bash
# A throwaway MariaDB server for the program and the tests.
#
#   scripts/mariadb.sh start NAME PORT   data directory $DM_BUILD/mariadb-NAME, loopback only
#   scripts/mariadb.sh stop NAME
#
# The server listens on 127.0.0.1:PORT and on a socket of its own, speaks utf8mb4, and has:
#   - root reachable through the socket only (for this script);
#   - user "demo" with password "demo", owner of database "demo" with three small tables;
#   - user "dmtest" with password "dmtest-pw", allowed everything (the tests make their own
#     databases);
#   - TLS with a certificate for localhost and 127.0.0.1, signed by a throwaway authority made on
#     first start (or when the certificate is within a day of expiring) under $DM_BUILD/mariadb-NAME/
#     tls: ca.pem is the authority (SELECT @@ssl_ca names it), server-cert.pem and server-key.pem
#     the server's.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

cmd="${1:?usage: mariadb.sh start|stop NAME [PORT]}"
name="${2:?name}"
dir="$DM_BUILD/mariadb-$name"
# The socket path must stay short (about 100 bytes at most), so it lives in /tmp; the data
# directory's checksum keeps servers of the same name in different checkouts apart.
sock="/tmp/dunmorrow-mariadb-$name-$(id -u)-$(printf %s "$dir" | cksum | cut -d' ' -f1).sock"
pidfile="$dir/mariadbd.pid"

client() { mariadb --no-defaults --socket="$sock" -uroot "$@"; }

# make_certificates DIR: a throwaway authority and a server certificate signed by it.
make_certificates() {
  local tls="$1"
  if [ -f "$tls/server-cert.pem" ] && openssl x509 -checkend 86400 -noout -in "$tls/server-cert.pem" >/dev/null 2>&1; then
    return 0
  fi
  dm_log "Making a throwaway certificate authority and server certificate in $tls"
  rm -rf "$tls"
  mkdir -p "$tls"
  (
    cd "$tls"
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Dunmorrow test authority" \
      -keyout ca-key.pem -out ca.pem
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server-key.pem -out server.csr
    printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n' >server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 30 \
      -extfile server.ext -out server-cert.pem
    chmod 600 ca-key.pem server-key.pem
  ) >"$dir/tls.log" 2>&1 || { cat "$dir/tls.log" >&2; exit 1; }
}

case "$cmd" in
start)
  port="${3:?port}"
  mkdir -p "$dir"
  # A server left running from an earlier run is kept only if it listens on the port asked
  # for; one on another port (or a pid file naming some other process) is stopped first.
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null \
    && [ "$(client -N -e 'SELECT @@port' 2>/dev/null)" != "$port" ]; then
    stale="$(cat "$pidfile")"
    dm_log "MariaDB '$name' runs (pid $stale) but not on port $port: stopping it"
    [ "$(cat "/proc/$stale/comm" 2>/dev/null)" = mariadbd ] && kill "$stale"
    for _ in $(seq 1 120); do kill -0 "$stale" 2>/dev/null || break; sleep 0.5; done
    rm -f "$pidfile"
  fi
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
    dm_log "MariaDB '$name' already runs (pid $(cat "$pidfile"))"
  else
    if [ ! -d "$dir/data/mysql" ]; then
      dm_log "Creating MariaDB data directory $dir/data"
      rm -rf "$dir/data"
      mariadb-install-db --no-defaults --datadir="$dir/data" --user="$(id -un)" \
        --auth-root-authentication-method=socket --skip-test-db >"$dir/install.log" 2>&1 \
        || { cat "$dir/install.log" >&2; exit 1; }
    fi
    make_certificates "$dir/tls"
    dm_log "Starting MariaDB '$name' on 127.0.0.1:$port"
    mariadbd --no-defaults --datadir="$dir/data" --user="$(id -un)" \
      --bind-address=127.0.0.1 --port="$port" --socket="$sock" --pid-file="$pidfile" \
      --log-error="$dir/error.log" --character-set-server=utf8mb4 \
      --collation-server=utf8mb4_unicode_ci --skip-log-bin --innodb-buffer-pool-size=256M \
      --innodb-flush-log-at-trx-commit=2 --max-allowed-packet=256M --skip-name-resolve \
      --ssl-ca="$dir/tls/ca.pem" --ssl-cert="$dir/tls/server-cert.pem" \
      --ssl-key="$dir/tls/server-key.pem" \
      >/dev/null 2>&1 &
    server_pid=$!
    for _ in $(seq 1 120); do
      client -e 'SELECT 1' >/dev/null 2>&1 && break
      # A server that ended already (its port taken, say) will not answer.
      kill -0 "$server_pid" 2>/dev/null || break
      sleep 0.5
    done
    client -e 'SELECT 1' >/dev/null 2>&1 || { cat "$dir/error.log" >&2; exit 1; }
  fi
  client <<'SQL'
CREATE DATABASE IF NOT EXISTS demo CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
CREATE USER IF NOT EXISTS 'demo'@'127.0.0.1' IDENTIFIED BY 'demo';
CREATE USER IF NOT EXISTS 'demo'@'localhost' IDENTIFIED BY 'demo';
GRANT ALL PRIVILEGES ON demo.* TO 'demo'@'127.0.0.1';
GRANT ALL PRIVILEGES ON demo.* TO 'demo'@'localhost';
CREATE USER IF NOT EXISTS 'dmtest'@'127.0.0.1' IDENTIFIED BY 'dmtest-pw';
CREATE USER IF NOT EXISTS 'dmtest'@'localhost' IDENTIFIED BY 'dmtest-pw';
GRANT ALL PRIVILEGES ON *.* TO 'dmtest'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO 'dmtest'@'localhost' WITH GRANT OPTION;
USE demo;
CREATE TABLE IF NOT EXISTS customers (
  id INT PRIMARY KEY, name VARCHAR(80) NOT NULL, city VARCHAR(60), joined DATE, vip BIT(1));
CREATE TABLE IF NOT EXISTS products (
  code VARCHAR(12) PRIMARY KEY, title VARCHAR(120), price DECIMAL(10,2), weight DOUBLE,
  notes TEXT);
CREATE TABLE IF NOT EXISTS orders (
  id INT PRIMARY KEY AUTO_INCREMENT, customer_id INT, product_code VARCHAR(12), quantity SMALLINT,
  placed DATETIME);
INSERT IGNORE INTO customers VALUES
  (1, 'Ada Lovelace', 'London', '1835-07-01', 1), (2, 'Björn Ødegaard', 'Tromsø', '2019-03-14', 0),
  (3, 'Chen Jing', '上海', '2021-11-30', 0), (4, 'D''Arcy O''Neil', NULL, NULL, NULL);
INSERT IGNORE INTO products VALUES
  ('P-100', 'Brass compass', 49.90, 0.35, 'Needle checked by hand'),
  ('P-200', 'Chart of the Skerries', 12.50, 0.1, NULL),
  ('P-300', 'Oak sea chest', 320.00, 18.25, 'Back-slash \\ and apostrophe '' kept');
INSERT IGNORE INTO orders VALUES
  (1, 1, 'P-100', 2, '2024-01-15 09:30:00'), (2, 2, 'P-300', 1, '2024-02-01 16:05:42'),
  (3, 3, 'P-200', 12, '2024-02-29 00:00:00');
SQL
  dm_log "MariaDB '$name' ready: 127.0.0.1:$port, user demo/demo, database demo"
  ;;
stop)
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
    pid="$(cat "$pidfile")"
    dm_log "Stopping MariaDB '$name' (pid $pid)"
    kill "$pid"
    for _ in $(seq 1 120); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  fi
  ;;
*)
  echo "usage: mariadb.sh start|stop NAME [PORT]" >&2
  exit 2
  ;;
esac
