#!/usr/bin/env bash
# qlupdate.exe --console --yes under wine against the demo world of run.sh: the MariaDB sandbox
# and python3's http.server on the Linux side (127.0.0.1), the companies made by
# make_world.sh, a product service (the idle program under the service's image name, a
# Windows process) and a fake net.exe in the folder qlupdate.exe starts in.
#   console_update.sh BUILD_DIR    exit 0 when every check passed
set -euo pipefail
build=${1:?BUILD_DIR}
# The prefix ctest runs the build's programs in (cmake/wine-run), unless one is named.
export QL_WINEPREFIX=${QL_WINEPREFIX:-$build/wine-prefix}
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
. "$src/tests/support/local_http.sh"
run=$src/cmake/wine-run
qlupdate=$build/program/qlupdate.exe
qltool=$build/tools/qltool/qltool.exe

world=$(mktemp -d "${TMPDIR:-/tmp}/ql-win-e2e.XXXXXX")
info=$world.sandbox
http_pid=
cleanup() {
  "$run" "$world/tools/net.exe" stop OsReplicator >/dev/null 2>&1 || true
  [ -n "$http_pid" ] && kill "$http_pid" 2>/dev/null || true
  "$src/tests/support/mariadb_sandbox.sh" stop "$info" >/dev/null 2>&1 || true
  rm -rf "$world" "$info"
}
trap cleanup EXIT
failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAILED: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

"$src/tests/support/mariadb_sandbox.sh" start "$info" >/dev/null
# The installation folder's name is not ASCII: it reaches qlupdate.exe as UTF-16, every file
# below it is opened by that name, and the run log holds it in the Windows code page.
inst=Ostrèl
WORLD_INSTALL=$inst "$src/tests/integration_workflow/make_world.sh" "$world" "$info" >/dev/null
port=$(sed -n 's/^port=//p' "$info" | head -n1)
password=$(sed -n 's/^root_password=//p' "$info" | head -n1)
vid() {
  mariadb --no-defaults -uroot -p"$password" -h127.0.0.1 -P"$port" -N -e "SELECT VID FROM $1._versione"
}

ql_start_http "$world/www"

# The service: a Windows process under the service's image name, which the fake net stops
# and starts again.
mkdir -p "$world/bin" "$world/images" "$world/tools"
cp "$build/tests/host/ql_win32_idle.exe" "$world/bin/OsReplicatorSrv.exe"
cp "$build/tests/e2e_win32/ql_fake_net.exe" "$world/tools/net.exe"
echo OsReplicatorSrv.exe > "$world/images/OsReplicator"
# A Windows process keeps the Unix descriptors it was started with: the service, started here
# or by qlupdate.exe through net.exe, must not hold ctest's output pipe (nor a $(...) of ours).
"$run" "$world/tools/net.exe" start OsReplicator >/dev/null 2>&1
: > "$world/net.log"
service_state() { "$run" "$qltool" services 2>/dev/null | awk '$3 == "OsReplicatorSrv.exe" { print $4 }'; }
for _ in $(seq 100); do
  [ "$(service_state)" = running ] && break
  sleep 0.2
done
check "the service runs before the update" running "$(service_state)"

rc=0
(cd "$world/tools" && exec "$run" "$qlupdate" --console --yes \
  --install-path "$(winpath "$world/$inst")" --server "http://127.0.0.1:$http_port" \
  --temp-root "$(winpath "$world/tmp")" --mysql-port "$port" >"$world/qlupdate.out" 2>&1) || rc=$?
check "exit status" 0 "$rc"
for s in OSF0101 OSF0102 OSF0103; do check "$s version" 2014c "$(vid "$s")"; done
check "the new program file" "new program 2014c" "$(cat "$world/$inst/QLMain.txt")"
check "the temporary folder removed" "" "$(ls -A "$world/tmp")"
check "net commands" "$(printf 'stop OsReplicator\nstart OsReplicator')" "$(cat "$world/net.log")"
check "the service runs again" running "$(service_state)"

# The run log: one file named after the version and the minute, newest line first, each line
# ended by CR LF, in the Windows code page (the folder's "è" as the one byte 0xE8).
logs=("$world/$inst"/2014c.*.uplog)
check "one run log" 1 "${#logs[@]}"
check "the folder's name in Windows-1252" 1 "$(LC_ALL=C grep -cF $'\\Ostr\xe8l\\\r' "${logs[0]}")"
install=$(winpath "$world/$inst")
expected=$(
  printf '%s\n' \
    ">> Aggiornamento NON verificato: nessuna chiave pubblica configurata" \
    ">> Stop QL Services" ">> Stop Replicator..." \
    ">> Copy update dirercory in $install\\" ">> Load Script Update" \
    ">> Begin Apply Update For OSF0101" ">> Current VID = 2014a" \
    ">> Launch Script db = 2014b.dbql" ">> Launch Script trigger = 2014b.trgql" \
    ">> Launch Script db = 2014c.dbql" ">> Launch Script trigger = 2014c.trcql" \
    ">> Launch Script trigger = 2014c.trgql" ">> Last Update VID = 2014c" \
    ">> End Apply Update For OSF0101" ">> Begin Apply Update For OSF0102" \
    ">> Current VID = 2014b" ">> Launch Script db = 2014c.dbql" \
    ">> Last Update VID = 2014c" ">> End Apply Update For OSF0102" \
    ">> Begin Apply Update For OSF0103" ">> Current VID = 2014c" \
    ">> Last Update VID = 2014c" ">> End Apply Update For OSF0103" \
    ">> Restart QL Services" ">> Restart Replicator..." | tac | sed 's/$/\r/' | iconv -f UTF-8 -t WINDOWS-1252 | od -An -tx1 | tr -d ' \n'
)
check "the run log's bytes" "$expected" "$(od -An -tx1 "${logs[0]}" | tr -d ' \n')"

if [ "$failures" -ne 0 ]; then
  echo "== qlupdate.exe output =="
  cat "$world/qlupdate.out"
  exit 1
fi
echo "all checks passed"
