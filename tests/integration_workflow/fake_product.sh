#!/usr/bin/env bash
# A product service for the demo and the end-to-end tests: copies of an idle program saved
# under the service's image name in WORLD/bin, and a fake "net" in WORLD/tools that stops and
# starts them, logging each command to WORLD/net.log.
#   fake_product.sh WORLD start-service NAME    writes the tool, starts the service NAME
set -euo pipefail
world=${1:?WORLD}
mkdir -p "$world/bin" "$world/run" "$world/tools" "$world/images"
image_of() {
  case "$1" in
    OsReplicator) echo OsReplicatorSrv.exe ;; OsReceiver) echo OsReceiveSrv.exe ;;
    OsTerminator) echo OsTerminatorSrv.exe ;; OsDispatcher) echo OsDispatchSrv.exe ;;
    OsBalancer) echo OsBalancerSrv.exe ;; OsListening) echo OsListeningSrv.exe ;;
    *) return 1 ;;
  esac
}
cat > "$world/tools/net" <<'SH'
#!/bin/sh
dir=$(cd "$(dirname "$0")/.." && pwd -P)
printf '%s\n' "$*" >> "$dir/net.log"
name=$2
case "$1" in
stop)
  [ ! -x "$dir/on-net-stop" ] || "$dir/on-net-stop"
  [ -f "$dir/run/$name.pid" ] || exit 2
  pid=$(cat "$dir/run/$name.pid"); rm -f "$dir/run/$name.pid"
  kill -KILL "$pid" 2>/dev/null
  n=0
  while [ -r "/proc/$pid/stat" ] && ! grep -q ') [ZX] ' "/proc/$pid/stat" 2>/dev/null; do
    n=$((n + 1)); [ $n -lt 500 ] || exit 1; sleep 0.01
  done ;;
start)
  image=$(cat "$dir/images/$name") || exit 2
  setsid "$dir/bin/$image" 100000 </dev/null >/dev/null 2>&1 &
  echo $! > "$dir/run/$name.pid" ;;
*) exit 1 ;;
esac
SH
chmod +x "$world/tools/net"
case "${2:-}" in
  start-service)
    name=${3:?NAME}
    image=$(image_of "$name")
    echo "$image" > "$world/images/$name"
    cp "$(command -v sleep)" "$world/bin/$image"
    setsid "$world/bin/$image" 100000 </dev/null >/dev/null 2>&1 &
    echo $! > "$world/run/$name.pid"
    ;;
  *) echo "usage: $0 WORLD start-service NAME" >&2; exit 64 ;;
esac
