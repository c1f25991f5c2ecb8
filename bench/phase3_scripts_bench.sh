#!/usr/bin/env bash
# Phase 3's script application side by side with the `mariadb` client: COMPANIES companies
# (default 200), 30 .dbql scripts of 20 statements each. The whole `qlupdate --console --yes`
# run is timed (download, extraction and copy of a small package are a few milliseconds of it),
# then the same statements, names substituted, are sent by one `mariadb` process per company.
#   bench/phase3_scripts_bench.sh QLUPDATE [COMPANIES]
set -euo pipefail
qlupdate=${1:?QLUPDATE}
companies=${2:-200}
scripts=30
statements=20
src=$(cd "$(dirname "$0")/.." && pwd -P)
work=$(mktemp -d /tmp/ql-phase3-bench.XXXXXX)
info=$work/sandbox.info
http_pid=
cleanup() {
  [ -n "$http_pid" ] && kill "$http_pid" 2>/dev/null || true
  "$src/tests/support/mariadb_sandbox.sh" stop "$info" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
"$src/tests/support/mariadb_sandbox.sh" start "$info" >/dev/null
"$src/tests/integration_workflow/make_world.sh" "$work/w" "$info" >/dev/null
value() { sed -n "s/^$1=//p" "$info" | head -n1; }
port=$(value port)
password=$(value root_password)
sql() { mariadb --no-defaults -uroot -p"$password" -h127.0.0.1 -P"$port" "$@"; }

# The package: scripts 2015a..2044a, each 20 INSERTs into the company's table.
pkg=$work/w/pkg/2044a
rm -rf "$work/w/pkg"; mkdir -p "$pkg/Update"
for i in $(seq 1 $scripts); do
  vid=$((2014 + i))a
  for j in $(seq 1 $statements); do
    echo "INSERT INTO &DatabaseName.bench (script, n, txt) VALUES ($i, $j, 'riga $i-$j');"
  done > "$pkg/Update/$vid.dbql"
done
echo "new program" > "$pkg/QLMain.txt"
rm -f "$work/w/www/public/qlupdate/"*.zip
printf 'VE|2044a\r\n' > "$work/w/www/public/qlupdate/UPDATEQL.txt"
(cd "$work/w/pkg" && zip -qr "$work/w/www/public/qlupdate/2044a.zip" 2044a)

# The companies: OSF<studio><ditta>, all at 2014a, each with an empty bench table.
make_companies() {
  {
    echo "DELETE FROM ostrellib.librerie;"
    for c in $(seq 1 "$companies"); do
      st=$(printf '%02d' $(((c - 1) / 99 + 1))); di=$(printf '%02d' $(((c - 1) % 99 + 1)))
      s=OSF$st$di
      echo "INSERT INTO ostrellib.librerie VALUES ('$st', '$di', 'Ditta $c');"
      echo "DROP DATABASE IF EXISTS $s; CREATE DATABASE $s;"
      echo "CREATE TABLE $s._versione (versione VARCHAR(10), VID VARCHAR(20));"
      echo "INSERT INTO $s._versione VALUES ('2014.1', '2014a');"
      echo "CREATE TABLE $s.bench (id INT AUTO_INCREMENT PRIMARY KEY, script INT, n INT, txt VARCHAR(40));"
    done
  } | sql
}
schemas() { sql -N -e "SELECT CONCAT('OSF', Studio, Ditta) FROM ostrellib.librerie ORDER BY 1"; }

make_companies
mkdir -p "$work/httpwork"
(cd "$work/w/www" && exec python3 -u -m http.server --bind 127.0.0.1 0 >"$work/httpwork/log" 2>&1) &
http_pid=$!
for _ in $(seq 1 100); do
  hport=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/httpwork/log" | head -n1)
  [ -n "$hport" ] && break; sleep 0.1
done
start=$(date +%s.%N)
rc=0
"$qlupdate" --console --yes --install-path "$work/w/Ostrel" --server "http://127.0.0.1:$hport" \
  --temp-root "$work/w/tmp" --mysql-port "$port" </dev/null >"$work/qlupdate.out" 2>&1 || rc=$?
ours=$(echo "$(date +%s.%N) - $start" | bc)
rows=$(sql -N -e "SELECT COUNT(*) FROM $(schemas | tail -n1).bench")
if [ "$rc" != 0 ] || [ "$rows" != $((scripts * statements)) ]; then
  echo "qlupdate failed (exit $rc, $rows rows):"; tail -n 20 "$work/qlupdate.out"; exit 1
fi

make_companies
# Each company's statements, names substituted, written before the clock starts: only the
# client's work is timed.
mkdir -p "$work/client"
for s in $(schemas); do
  for i in $(seq 1 $scripts); do sed "s/&DatabaseName/$s/g" "$pkg/Update/$((2014 + i))a.dbql"; done \
    >"$work/client/$s.sql"
done
start=$(date +%s.%N)
for s in $(schemas); do sql <"$work/client/$s.sql"; done
theirs=$(echo "$(date +%s.%N) - $start" | bc)
rows=$(sql -N -e "SELECT COUNT(*) FROM $(schemas | tail -n1).bench")
[ "$rows" = $((scripts * statements)) ] || { echo "mariadb client run incomplete ($rows rows)"; exit 1; }

total=$((companies * scripts * statements))
printf '%d companies x %d scripts x %d statements = %d statements\n' "$companies" $scripts $statements $total
printf 'qlupdate (whole run): %.2f s\nmariadb client:        %.2f s\nratio:                 %.2fx\n' \
  "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
