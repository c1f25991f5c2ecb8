#!/usr/bin/env bash
# The world of the Win32 window's whole-update tests, made on the Linux side before they run
# under wine (fixture "win32_world", the only one they need): a MariaDB sandbox and a virtual
# screen of its own, tests/integration_workflow/make_world.sh against that sandbox, a copy of
# the installation for a second run, and python3's http.server on a free 127.0.0.1 port
# serving the update server's files.
#   world.sh start INFO   writes dir=, port=, mysql_port=, pid= to INFO; the screen's to
#                         INFO.xvfb (read by xvfb.sh run)
#   world.sh stop INFO
set -euo pipefail
cmd=${1:?start|stop}
info=${2:?INFO}
here=$(cd "$(dirname "$0")" && pwd)
case $cmd in
start)
  dir=$(cd "$(dirname "$info")" && pwd)/win32-world
  sandbox=$dir.sandbox
  "$here/world.sh" stop "$info"
  rm -rf "$dir" "$info"
  mkdir -p "$dir"
  "$here/../support/mariadb_sandbox.sh" start "$sandbox" >/dev/null
  "$here/xvfb.sh" start "$info.xvfb"
  "$here/../integration_workflow/make_world.sh" "$dir" "$sandbox" >/dev/null
  cp -a "$dir/Ostrel" "$dir/Ostrel2"
  mkdir -p "$dir/tmp2"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 -m http.server --bind 127.0.0.1 --directory "$dir/www" "$port" >"$dir/http.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null && break
    sleep 0.1
  done
  mysql_port=$(sed -n 's/^port=//p' "$sandbox" | head -n1)
  printf 'dir=%s\nport=%s\nmysql_port=%s\npid=%s\n' "$dir" "$port" "$mysql_port" "$pid" >"$info"
  ;;
stop)
  dir=$(cd "$(dirname "$info")" && pwd)/win32-world
  if [ -f "$info" ]; then
    pid=$(sed -n 's/^pid=//p' "$info")
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -f "$info"
  fi
  "$here/xvfb.sh" stop "$info.xvfb"
  [ -f "$dir.sandbox" ] && "$here/../support/mariadb_sandbox.sh" stop "$dir.sandbox" >/dev/null
  true
  ;;
esac
