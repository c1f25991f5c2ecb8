#!/usr/bin/env bash
# MariaDB sandbox for the database tests: a private mariadbd on 127.0.0.1 and a free port, its
# data in a fresh folder under /tmp, run as root, stopped by its PID.
#
#   mariadb_sandbox.sh start INFO_FILE   install, start, create the users, write INFO_FILE
#   mariadb_sandbox.sh stop INFO_FILE    stop the server named in INFO_FILE, remove its folder
#
# INFO_FILE holds key=value lines (host, port, root_password, old_user, old_password,
# empty_user, pid, dir, socket); tests/support/mariadb_sandbox.h reads it.
set -euo pipefail

ROOT_PASSWORD=qlRootPw7
OLD_USER=qlold
OLD_PASSWORD=oldPw42
EMPTY_USER=qlempty

info_value() { sed -n "s/^$2=//p" "$1" | head -n1; }

stop_server() {
  local info=$1 pid dir
  [ -f "$info" ] || return 0
  pid=$(info_value "$info" pid)
  dir=$(info_value "$info" dir)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 200); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  # Only ever remove a folder this script made.
  case "$dir" in /tmp/ql-mariadb.*) rm -rf "$dir" ;; esac
  rm -f "$info"
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

server_flags() {
  # --secure-auth=0 lets the pre-4.1 (mysql_old_password) user log in; Windows servers compare
  # names without case, hence --lower-case-table-names=1 (also needed at install time).
  echo --no-defaults --user=root --datadir="$1/data" --lower-case-table-names=1 \
    --innodb-buffer-pool-size=16M --innodb-log-file-size=4M --skip-log-bin
}

start_server() {
  local info=$1 dir port pid
  stop_server "$info"
  command -v mariadb-install-db >/dev/null || { echo "mariadb-install-db missing (apt-get install mariadb-server)" >&2; exit 1; }
  dir=$(mktemp -d /tmp/ql-mariadb.XXXXXX)
  # shellcheck disable=SC2046
  if ! mariadb-install-db $(server_flags "$dir") --auth-root-authentication-method=normal \
      --skip-test-db >"$dir/install.log" 2>&1; then
    cat "$dir/install.log" >&2
    rm -rf "$dir"
    exit 1
  fi
  port=$(free_port)
  local mariadbd=/usr/sbin/mariadbd
  [ -x "$mariadbd" ] || mariadbd=$(command -v mariadbd)
  # setsid and no inherited descriptors: ctest must not wait for the server's output pipes.
  # shellcheck disable=SC2046
  setsid "$mariadbd" $(server_flags "$dir") --bind-address=127.0.0.1 --port="$port" \
    --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" --log-error="$dir/error.log" \
    --secure-auth=0 --max-allowed-packet=64M --skip-name-resolve \
    </dev/null >/dev/null 2>&1 &
  pid=$!
  {
    echo "host=127.0.0.1"
    echo "port=$port"
    echo "root_password=$ROOT_PASSWORD"
    echo "old_user=$OLD_USER"
    echo "old_password=$OLD_PASSWORD"
    echo "empty_user=$EMPTY_USER"
    echo "pid=$pid"
    echo "dir=$dir"
    echo "socket=$dir/mysqld.sock"
  } >"$info.tmp"
  mv "$info.tmp" "$info"
  for _ in $(seq 1 600); do
    if grep -q "ready for connections" "$dir/error.log" 2>/dev/null; then break; fi
    if ! kill -0 "$pid" 2>/dev/null; then
      cat "$dir/error.log" >&2 || true
      stop_server "$info"
      exit 1
    fi
    sleep 0.1
  done
  if ! grep -q "ready for connections" "$dir/error.log"; then
    echo "mariadbd did not become ready" >&2
    cat "$dir/error.log" >&2 || true
    stop_server "$info"
    exit 1
  fi
  mariadb --no-defaults -uroot --socket="$dir/mysqld.sock" <<SQL
ALTER USER root@localhost IDENTIFIED VIA mysql_native_password USING PASSWORD('$ROOT_PASSWORD');
ALTER USER root@'127.0.0.1' IDENTIFIED VIA mysql_native_password USING PASSWORD('$ROOT_PASSWORD');
CREATE USER $OLD_USER@'%' IDENTIFIED VIA mysql_old_password USING PASSWORD('$OLD_PASSWORD');
GRANT ALL ON *.* TO $OLD_USER@'%';
CREATE USER $EMPTY_USER@'%';
GRANT ALL ON *.* TO $EMPTY_USER@'%';
FLUSH PRIVILEGES;
SQL
  echo "mariadb sandbox: pid $pid, 127.0.0.1:$port, $dir"
}

case "${1:-}" in
  start) start_server "${2:?info file}" ;;
  stop) stop_server "${2:?info file}" ;;
  *) echo "usage: $0 start|stop INFO_FILE" >&2; exit 64 ;;
esac
