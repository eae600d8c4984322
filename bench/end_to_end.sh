#!/usr/bin/env bash
# Whole-run benchmark: the Release executable, answers piped, over a list of 399 generated
# measurement files (15000 series, about 33 MB), against `cat` of the same files, side by side.
# Prints the medians of 5 warm runs of each, their ratio, and the run's peak resident memory.
#   bench/end_to_end.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_BENCH=ON \
  -DCORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
exe="$build/corvane"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/corvane_generate" run "$work"
cd "$work"
bytes=$(cat g*.rwl | wc -c)

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
run_cat() { cat g*.rwl > /dev/null; }
run_corvane() { printf 'T\nrun.lst\n1\n' | "$exe" > /dev/null; }

run_cat; run_corvane  # warm the page cache and the executable
cat_times=() corvane_times=()
for _ in 1 2 3 4 5; do
  t0=$(now); run_cat; t1=$(now); run_corvane; t2=$(now)
  cat_times+=($(( (t1 - t0) / 1000 ))) corvane_times+=($(( (t2 - t1) / 1000 )))
done
cat_us=$(printf '%s\n' "${cat_times[@]}" | median)
corvane_us=$(printf '%s\n' "${corvane_times[@]}" | median)
rss_kb=$(printf 'T\nrun.lst\n1\n' | /usr/bin/time -v "$exe" 2>&1 >/dev/null |
  awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')

echo "input: 399 files, 15000 series, $bytes bytes"
echo "cat median of 5:     ${cat_us} us"
echo "corvane median of 5: ${corvane_us} us"
awk -v a="$corvane_us" -v b="$cat_us" 'BEGIN { printf "ratio corvane/cat:   %.2f (target at most 2.5)\n", a / b }'
awk -v k="$rss_kb" 'BEGIN { printf "peak resident memory: %d KiB = %.2f MiB (target at most 8 MiB)\n", k, k / 1024 }'
