#!/usr/bin/env bash
# Runs every built fuzz target once over its seed corpus (fuzz/corpus/NAME/) and the inputs kept
# for it (tests/regressions/NAME/), without fuzzing (-runs=0): a property that no longer holds,
# or a sanitizer's report, fails the run.   fuzz/replay.sh [BUILD_DIR]   (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
count=0
for exe in "$build"/fuzz/*_fuzz; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe" _fuzz)
  dirs=()
  for d in "fuzz/corpus/$name" "tests/regressions/$name"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  if [ ${#dirs[@]} -eq 0 ]; then
    echo "replay: no inputs for $name (add fuzz/corpus/$name/)" >&2
    exit 1
  fi
  log=$(mktemp)
  if ! "$exe" -runs=0 "${dirs[@]}" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "replay: $name FAILED" >&2
    exit 1
  fi
  inputs=$(find "${dirs[@]}" -type f | wc -l)
  echo "replay: $name ok ($inputs inputs)"
  rm -f "$log"
  count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "replay: no fuzz targets in $build/fuzz" >&2; exit 1; }
echo "replay: $count targets passed"
