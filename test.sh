#!/usr/bin/env bash
# Builds qlupdate and runs its tests. On a fresh Debian 12 machine, run as root: it installs
# the Debian packages listed in deps/*.txt that are missing.
#   ./test.sh            every test, built with -Werror under AddressSanitizer and
#                        UndefinedBehaviorSanitizer (-O1, assertions on)
#   ./test.sh --release  every test in the optimised build the programs ship in (-Werror)
#   ./test.sh --noqt     built without Qt: every test but the window's
#   ./test.sh --tsan     the program's threads under ThreadSanitizer (resolver, --jobs workers)
#   ./test.sh --fuzz     the fuzz targets (clang), replayed over their seeds and kept inputs
#   ./test.sh --windows  the Windows build (mingw-w64) and its tests under wine
set -euo pipefail
cd "$(dirname "$0")"

preset=asan
case "${1:-}" in
  --asan) preset=asan ;;
  --release) preset=ci ;;
  --noqt) preset=noqt ;;
  --tsan) preset=tsan ;;
  --fuzz) preset=fuzz ;;
  --windows) preset=windows ;;
  "") ;;
  *) echo "usage: $0 [--release|--noqt|--tsan|--fuzz|--windows]" >&2; exit 64 ;;
esac

. tools/install-deps.sh

install_missing deps/*.txt
cmake --preset "$preset" >/dev/null
case "$preset" in
  fuzz)
    cmake --build --preset fuzz
    fuzz/replay.sh build-fuzz
    ;;
  tsan)
    # The threads of the program: the resolver thread of the MySQL connect (the database unit
    # tests, whose sessions talk to fake servers on 127.0.0.1 through it) and the workers of
    # --jobs (a whole update with companies side by side, against the sandbox; a report of
    # ThreadSanitizer changes qlupdate's exit status, which the test checks).
    cmake --build --preset tsan --target test_db qlupdate test_integration_workflow
    ctest --test-dir build-tsan --output-on-failure -j2 --timeout 900 \
      -R '^(TcpConnect|SessionFakeServer)[.]|^Operator[.]Jobs'
    ;;
  windows)
    # The programs and the tests only (no benchmarks, no fuzz replays), then every test under
    # wine: a fresh private prefix, its wineserver and wine's services started once before the
    # tests (cmake/wine-run --init) and kept until the end.
    cmake --build --preset windows
    QL_WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/qlupdate-wine.XXXXXX")
    export QL_WINEPREFIX QL_WINESERVER_LINGER=
    trap 'WINEPREFIX=$QL_WINEPREFIX wineserver -k 2>/dev/null || true; rm -rf "$QL_WINEPREFIX"' EXIT
    cmake/wine-run --init
    ctest --test-dir build-windows --output-on-failure -j2 --timeout 900
    ;;
  *)
    cmake --build --preset "$preset"
    ctest --test-dir "build-${preset}" --output-on-failure -j2 --timeout 900
    ;;
esac
