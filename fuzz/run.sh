#!/usr/bin/env bash
# Builds the fuzz targets (clang 14, ASan + UBSan + libFuzzer) and runs each for a bounded time
# on a seed corpus gathered from examples/, tests/data/, ../shared/data/itrdb/ (when present)
# and fuzz/seeds/. Fails on any finding.   fuzz/run.sh [SECONDS_PER_TARGET] [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=$(realpath -m "${2:-$here/build-fuzz}")
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_FUZZ=ON -DCORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data_files=("$here"/examples/*.rwl "$here"/examples/*.crn "$here"/tests/data/itrdb/* "$here"/tests/data/crn/*)
if [ -d "$here/../shared/data/itrdb" ]; then data_files+=("$here"/../shared/data/itrdb/*); fi

# Copies files into a corpus under numbered names (the same file name may come twice).
seed() {
  local dest=$1 i=0
  shift
  for f in "$@"; do i=$((i + 1)); cp "$f" "$dest/$i-$(basename "$f")"; done
}

status=0
for target in fuzz_fields fuzz_trrw_mr fuzz_trrw_ir fuzz_datar fuzz_list_intake fuzz_driver fuzz_failures \
  fuzz_check; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  case $target in
    fuzz_fields) seed "$corpus" "$here"/fuzz/seeds/fields/* ;;
    fuzz_list_intake) seed "$corpus" "$here"/fuzz/seeds/list/* "$here"/examples/*.lst ;;
    fuzz_failures) seed "$corpus" "$here"/fuzz/seeds/failures/* ;;
    *) seed "$corpus" "${data_files[@]}" "$here"/fuzz/seeds/datar/* ;;
  esac
  echo "== $target: ${seconds}s"
  [ -x "$build/fuzz/$target" ] || { echo "   $target was not built"; exit 1; }
  log="$work/$target.log"
  if (cd "$work" && "$build/fuzz/$target" -max_total_time="$seconds" -max_len=65536 \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$work/$target-" \
        "$corpus" >"$log" 2>&1); then
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$log" | sed "s/^/   /"
  else
    status=1
    echo "   FINDING in $target:"
    tail -40 "$log"
    for a in "$work/$target"-*; do [ -e "$a" ] && { echo "   artifact $(basename "$a"):"; od -c "$a" | head -20; }; done
  fi
done
exit $status
