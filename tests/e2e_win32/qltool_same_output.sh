#!/usr/bin/env bash
# qltool.exe under wine and the Linux qltool give the same output and exit codes: `unzip` over
# every archive of the shared corpus (the extracted trees compared too), `get` against
# python3's http.server on 127.0.0.1, `query` against the MariaDB sandbox. Each program runs
# in a folder of its own with the same relative names, so no path differs between the two.
#   qltool_same_output.sh BUILD_DIR LINUX_QLTOOL
# The corpus: QL_TESTDATA_DIR, else the first shared/testdata above the sources. Exit 77
# (skipped) when there is no Linux qltool.
set -euo pipefail
build=${1:?BUILD_DIR}
# The prefix ctest runs the build's programs in (cmake/wine-run), unless one is named.
export QL_WINEPREFIX=${QL_WINEPREFIX:-$build/wine-prefix}
linux=${2:?LINUX_QLTOOL}
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
. "$src/tests/support/local_http.sh"
testdata=${QL_TESTDATA_DIR:-}
if [ -z "$testdata" ]; then
  for d in "$src/.." "$src/../.." "$src/../../.."; do
    [ -d "$d/shared/testdata" ] && { testdata=$d/shared/testdata; break; }
  done
fi
run=$src/cmake/wine-run
windows=$build/tools/qltool/qltool.exe
# Without a ci build, the one ./test.sh makes (ASan) gives the same output.
[ -x "$linux" ] || linux=$src/build-asan/tools/qltool/qltool
if [ ! -x "$linux" ]; then
  echo "no Linux qltool at $linux (configure QL_LINUX_QLTOOL or build the ci or asan preset): skipped"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/ql-same-output.XXXXXX")
info=$work/sandbox.info
http_pid=
cleanup() {
  [ -n "$http_pid" ] && kill "$http_pid" 2>/dev/null || true
  "$src/tests/support/mariadb_sandbox.sh" stop "$info" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/L" "$work/W"
failures=0
compared=0

# same WHAT ARGS...: both programs in their own folder, standard output and exit code
# compared; standard error too unless NOERR=1 (a download's progress line has its rate).
same() {
  local what=$1
  shift
  local lrc=0 wrc=0
  (cd "$work/L" && "$linux" "$@" >../l.out 2>../l.err) || lrc=$?
  (cd "$work/W" && "$run" "$windows" "$@" >../w.out 2>../w.err) || wrc=$?
  compared=$((compared + 1))
  if [ "$lrc" != "$wrc" ] || ! cmp -s "$work/l.out" "$work/w.out" ||
    { [ "${NOERR:-}" != 1 ] && ! cmp -s "$work/l.err" "$work/w.err"; }; then
    echo "DIFFERS: $what (exit $lrc on Linux, $wrc on Windows)"
    diff <(cat "$work/l.out" "$work/l.err") <(cat "$work/w.out" "$work/w.err") | head -n 20 || true
    failures=$((failures + 1))
  fi
}
# The files below a folder with their digests, by relative name.
tree() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0r md5sum); }

if [ -n "$testdata" ] && [ -d "$testdata/zip" ]; then
  for archive in "$testdata"/zip/*; do
    [ -f "$archive" ] || continue
    name=$(basename "$archive")
    rm -rf "$work/L"/* "$work/W"/*
    ln -s "$archive" "$work/L/a.zip"
    ln -s "$archive" "$work/W/a.zip"
    same "unzip $name" unzip a.zip out
    if [ "$(tree "$work/L/out" 2>/dev/null)" != "$(tree "$work/W/out" 2>/dev/null)" ]; then
      echo "DIFFERS: unzip $name: the extracted files"
      diff <(tree "$work/L/out" 2>/dev/null) <(tree "$work/W/out" 2>/dev/null) | head -n 20 || true
      failures=$((failures + 1))
    fi
  done
else
  echo "shared ZIP corpus absent: the unzip comparison is skipped"
fi
rm -rf "$work/L"/* "$work/W"/*

# HTTP: a file, a missing one, a port nobody listens on.
mkdir -p "$work/www"
head -c 70000 /dev/urandom >"$work/www/pkg.zip"
ql_start_http "$work/www"
free_port=$(ql_free_port)
NOERR=1 same "get a file" get "http://127.0.0.1:$http_port/pkg.zip" got
if ! cmp -s "$work/www/pkg.zip" "$work/L/got" || ! cmp -s "$work/www/pkg.zip" "$work/W/got"; then
  echo "DIFFERS: get a file: the downloaded bytes"
  failures=$((failures + 1))
fi
NOERR=1 same "get a missing file" get "http://127.0.0.1:$http_port/none.zip" none
NOERR=1 same "get from a closed port" get "http://127.0.0.1:$free_port/pkg.zip" none

# MySQL: a result set with a NULL, a server error, a refused login.
"$src/tests/support/mariadb_sandbox.sh" start "$info" >/dev/null
port=$(sed -n 's/^port=//p' "$info" | head -n1)
password=$(sed -n 's/^root_password=//p' "$info" | head -n1)
db=(--host 127.0.0.1 --port "$port" --user root)
same "query rows" query "${db[@]}" --password "$password" "SELECT 1 AS n, 'x\\ty' AS t, NULL AS z UNION SELECT 2, 'àé', ''"
same "query error" query "${db[@]}" --password "$password" "SELECT * FROM no_such_db.t"
same "query wrong password" query "${db[@]}" --password wrong "SELECT 1"

echo "$compared commands compared, $failures differences"
[ "$failures" -eq 0 ]
