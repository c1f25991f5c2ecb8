#!/usr/bin/env bash
# The world of the Win32 window's whole-update tests, made on the Linux side before they run
# under wine (fixture "win32_world"): tests/integration_workflow/make_world.sh against the
# MariaDB sandbox, a copy of the installation for a second run, and python3's http.server on a
# free 127.0.0.1 port serving the update server's files.
#   world.sh start INFO SANDBOX_INFO   writes dir=, port=, mysql_port=, pid= to INFO
#   world.sh stop INFO
set -euo pipefail
cmd=${1:?start|stop}
info=${2:?INFO}
here=$(cd "$(dirname "$0")" && pwd)
case $cmd in
start)
  sandbox=$(cd "$(dirname "${3:?SANDBOX_INFO}")" && pwd)/$(basename "$3")
  dir=$(cd "$(dirname "$info")" && pwd)/win32-world
  rm -rf "$dir" "$info"
  mkdir -p "$dir"
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
  [ -f "$info" ] || exit 0
  pid=$(sed -n 's/^pid=//p' "$info")
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -f "$info"
  ;;
esac
