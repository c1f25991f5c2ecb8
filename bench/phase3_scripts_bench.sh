#!/usr/bin/env bash
# Phase 3's script application side by side with the `mariadb` client: COMPANIES companies
# (default 200), 30 .dbql scripts of 20 statements each, every statement its own transaction
# with the server writing each commit to disk (innodb_flush_log_at_trx_commit=1, checked). For
# each N of JOBS (default "1 2 4") the whole `qlupdate --console --yes --jobs N` run is timed
# (download, extraction and copy of a small package are a few milliseconds of it), the
# companies made afresh before each; then the same statements, names substituted, are sent by
# one `mariadb` process per company, N processes at a time. Speed-ups are against N = 1.
#   bench/phase3_scripts_bench.sh QLUPDATE [COMPANIES] [JOBS]
set -euo pipefail
qlupdate=${1:?QLUPDATE}
companies=${2:-200}
jobs_list=${3:-1 2 4}
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
sql -e "SET GLOBAL innodb_flush_log_at_trx_commit = 1"
flush=$(sql -N -e "SELECT @@GLOBAL.innodb_flush_log_at_trx_commit")
[ "$flush" = 1 ] || { echo "innodb_flush_log_at_trx_commit is $flush, not 1"; exit 1; }

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

mkdir -p "$work/httpwork"
(cd "$work/w/www" && exec python3 -u -m http.server --bind 127.0.0.1 0 >"$work/httpwork/log" 2>&1) &
http_pid=$!
for _ in $(seq 1 100); do
  hport=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/httpwork/log" | head -n1)
  [ -n "$hport" ] && break; sleep 0.1
done
now() { date +%s.%N; }
check_rows() {  # every company got every row, or stop naming the run ($1)
  local bad
  bad=$(for s in $(schemas); do echo "SELECT '$s', COUNT(*) FROM $s.bench;"; done | sql -N |
        awk -v want=$((scripts * statements)) '$2 != want' | head -n3)
  [ -z "$bad" ] || { echo "$1: incomplete: $bad"; exit 1; }
}

declare -A ours theirs
for n in $jobs_list; do
  make_companies
  start=$(now)
  rc=0
  "$qlupdate" --console --yes --jobs "$n" --install-path "$work/w/Ostrel" \
    --server "http://127.0.0.1:$hport" --temp-root "$work/w/tmp" --mysql-port "$port" \
    </dev/null >"$work/qlupdate.out" 2>&1 || rc=$?
  ours[$n]=$(echo "$(now) - $start" | bc)
  if [ "$rc" != 0 ]; then
    echo "qlupdate --jobs $n failed (exit $rc):"; tail -n 20 "$work/qlupdate.out"; exit 1
  fi
  check_rows "qlupdate --jobs $n"
  # The next run installs the package again.
  rm -f "$work/w/Ostrel/"*.uplog "$work/w/Ostrel/"*.json
done

# Each company's statements, names substituted, written before the clock starts: only the
# client's work is timed.
mkdir -p "$work/client"
for s in $(schemas); do
  for i in $(seq 1 $scripts); do sed "s/&DatabaseName/$s/g" "$pkg/Update/$((2014 + i))a.dbql"; done \
    >"$work/client/$s.sql"
done
export password port
for n in $jobs_list; do
  make_companies
  start=$(now)
  schemas | xargs -P "$n" -I{} sh -c \
    'mariadb --no-defaults -uroot -p"$password" -h127.0.0.1 -P"$port" <"$0/{}.sql"' "$work/client"
  theirs[$n]=$(echo "$(now) - $start" | bc)
  check_rows "mariadb client x $n"
done

total=$((companies * scripts * statements))
printf '%d companies x %d scripts x %d statements = %d statements, %d cores, innodb_flush_log_at_trx_commit=%s\n' \
  "$companies" $scripts $statements $total "$(nproc)" "$flush"
first=${jobs_list%% *}
printf '%-4s %14s %9s %16s %9s %12s\n' N "qlupdate s" speed-up "mariadb x N s" speed-up "ours/theirs"
for n in $jobs_list; do
  printf '%-4s %14.2f %8.2fx %16.2f %8.2fx %11.2fx\n' "$n" "${ours[$n]}" \
    "$(echo "${ours[$first]} / ${ours[$n]}" | bc -l)" "${theirs[$n]}" \
    "$(echo "${theirs[$first]} / ${theirs[$n]}" | bc -l)" "$(echo "${ours[$n]} / ${theirs[$n]}" | bc -l)"
done
