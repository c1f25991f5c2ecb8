#!/usr/bin/env bash
# qltool.exe reads a ZIP entry name without the UTF-8 flag in the system's OEM code page
# (GetOEMCP): the same six bytes of a DOS-made name are Cyrillic on a Russian Windows (866) and
# Latin on the Italian one the tests run on (850, the POSIX build's fixed page).
#   system_code_pages.sh BUILD_DIR    exit 0 when every check passed
set -euo pipefail
build=${1:?BUILD_DIR}
# The prefix ctest runs the build's programs in (cmake/wine-run), unless one is named.
export QL_WINEPREFIX=${QL_WINEPREFIX:-$build/wine-prefix}
here=$(cd "$(dirname "$0")" && pwd)
run=$(cd "$here/../.." && pwd)/cmake/wine-run
work=$(mktemp -d "${TMPDIR:-/tmp}/ql-codepages.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Python writes a name it cannot spell in ASCII as UTF-8 (with the flag): an ASCII stand-in of
# the same length is written, then its bytes are replaced in both headers.
python3 - "$work/dos.zip" <<'PY'
import sys, zipfile
info = zipfile.ZipInfo("XXXXXX.txt")
info.create_system = 0  # MS-DOS
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr(info, "privet")
data = open(sys.argv[1], "rb").read()
assert data.count(b"XXXXXX") == 2
open(sys.argv[1], "wb").write(data.replace(b"XXXXXX", bytes([0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2])))
PY

failures=0
for case in "ru_RU.UTF-8 Привет.txt" "it_IT.UTF-8 ÅÓ¿óÑÔ.txt"; do
  read -r locale name <<<"$case"
  mkdir "$work/$locale"
  (cd "$work" && QL_WINE_LOCALE=$locale "$run" "$build/tools/qltool/qltool.exe" unzip dos.zip "$locale" \
    >"$work/$locale.out" 2>&1) || { echo "FAILED: qltool.exe unzip under $locale"; cat "$work/$locale.out"; failures=$((failures + 1)); continue; }
  got=$(ls "$work/$locale")
  if [ "$got" != "$name" ] || [ "$(cat "$work/$locale/$name")" != privet ]; then
    printf 'FAILED: under %s\n  expected: %s\n  actual:   %s\n' "$locale" "$name" "$got"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "all checks passed"
exit "$failures"
