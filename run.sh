#!/usr/bin/env bash
# Runs a whole update on a demo world made in a temp dir: an installation folder "Ostrel", a
# MariaDB sandbox with three companies, the package served by python3's http.server on
# 127.0.0.1, a fake product service and a fake "net". Fresh Debian 12, as root:  ./run.sh
set -euo pipefail
cd "$(dirname "$0")"
src=$(pwd -P)

. tools/install-deps.sh

install_missing deps/*.txt
cmake --preset ci >/dev/null
cmake --build --preset ci --target qlupdate
qlupdate=$src/build-ci/program/qlupdate

world=$(mktemp -d /tmp/ql-demo.XXXXXX)
info=$world/mariadb.info
http_pid=
cleanup() {
  [ -n "$http_pid" ] && kill "$http_pid" 2>/dev/null || true
  [ -f "$world/run/OsReplicator.pid" ] && kill "$(cat "$world/run/OsReplicator.pid")" 2>/dev/null || true
  "$src/tests/support/mariadb_sandbox.sh" stop "$info" >/dev/null 2>&1 || true
  rm -rf "$world"
}
trap cleanup EXIT

"$src/tests/support/mariadb_sandbox.sh" start "$info"
"$src/tests/integration_workflow/make_world.sh" "$world" "$info"
port=$(sed -n 's/^port=//p' "$info")
password=$(sed -n 's/^root_password=//p' "$info")
versions() {
  for s in OSF0101 OSF0102 OSF0103; do
    printf '  %s: ' "$s"
    mariadb --no-defaults -uroot -p"$password" -h127.0.0.1 -P"$port" -N -e "SELECT CONCAT(versione, ' ', VID) FROM $s._versione"
  done
}

# The update server.
http_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
(cd "$world/www" && exec python3 -m http.server "$http_port" --bind 127.0.0.1 >/dev/null 2>&1) &
http_pid=$!
for _ in $(seq 1 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $http_port), 1)" 2>/dev/null && break
  sleep 0.1
done

# A product service (an idle program under the service's image name) and a "net" that
# stops and starts it.
"$src/tests/integration_workflow/fake_product.sh" "$world" start-service OsReplicator
export PATH="$world/tools:$PATH"

echo "== versions before =="
versions
echo "== qlupdate =="
rc=0
"$qlupdate" --console --yes --install-path "$world/Ostrel" --server "http://127.0.0.1:$http_port" \
  --temp-root "$world/tmp" --mysql-port "$port" || rc=$?
echo "== qlupdate exit status: $rc =="
for f in "$world"/Ostrel/*.uplog; do
  [ -f "$f" ] || continue
  echo "== run log $(basename "$f") =="
  iconv -f WINDOWS-1252 -t UTF-8 "$f" | tr -d '\r'
done
echo "== versions after =="
versions
echo "== net commands =="
cat "$world/net.log" 2>/dev/null || true
exit "$rc"
