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

install_missing() {
  local wanted missing=()
  wanted=$(sed -e 's/#.*//' deps/*.txt | xargs -n1 | sort -u)
  for p in $wanted; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "missing Debian packages (run as root to install): ${missing[*]}" >&2
      exit 1
    fi
    echo "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

install_missing
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --test-dir "build-${preset}" --output-on-failure -j2 --timeout 900
