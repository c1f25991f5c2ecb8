#!/usr/bin/env bash
# Builds qlupdate and runs every test. On a fresh Debian 12 machine, run as root: it installs
# the Debian packages listed in deps/*.txt that are missing.
#   ./test.sh          optimised build with -Werror, all tests
#   ./test.sh --asan   the same under AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"

preset=ci
case "${1:-}" in
  --asan) preset=asan ;;
  "") ;;
  *) echo "usage: $0 [--asan]" >&2; exit 64 ;;
esac

. tools/install-deps.sh

install_missing
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --test-dir "build-${preset}" --output-on-failure -j2 --timeout 900
