#!/usr/bin/env bash
# The virtual screen of the Win32 window's tests: one Xvfb per ctest run (fixture "xvfb").
#   xvfb.sh start INFO   starts Xvfb on a free display and writes display= and pid= to INFO
#   xvfb.sh stop INFO    stops it
#   xvfb.sh run INFO PROGRAM ARGS...   runs the program with DISPLAY from INFO (when present)
set -euo pipefail
cmd=${1:?start|stop|run}
info=${2:?INFO}
case $cmd in
start)
  command -v Xvfb >/dev/null || { echo "xvfb.sh: Xvfb is missing (package xvfb)" >&2; exit 1; }
  rm -f "$info"
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  pid=$!
  read -r -t 30 number <"$fifo" || { kill "$pid" 2>/dev/null; rm -f "$fifo"; exit 1; }
  rm -f "$fifo"
  printf 'display=:%s\npid=%s\n' "$number" "$pid" >"$info"
  ;;
stop)
  [ -f "$info" ] || exit 0
  pid=$(sed -n 's/^pid=//p' "$info")
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -f "$info"
  ;;
run)
  shift 2
  if [ -f "$info" ]; then
    DISPLAY=$(sed -n 's/^display=//p' "$info")
    export DISPLAY
  fi
  exec "$@"
  ;;
*)
  echo "xvfb.sh: unknown command $cmd" >&2
  exit 64
  ;;
esac
