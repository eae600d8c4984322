#!/usr/bin/env bash
# What a check, and a run that writes the CSV with its statistics, cost against a plain run
# over the same file, Release build: the generated 44 MB measurement file (15000 series of 300
# to 500 values, a 3-line header, closed by 999).
#  - instructions of `corvane --check big.rwl`, of `corvane --csv big.csv big.rwl` and of the
#    run `corvane big.rwl`, counted with valgrind --tool=callgrind (the figure that a busy
#    machine cannot blur), and their ratios;
#  - wall and CPU time (user + system) of the check and the run: medians of RUNS samples each,
#    taken in turn.
# Targets: a check costs at most 1.5 times a run. A run with --csv costs the run, the statistics
# themselves (which the faster reading of the lines does not change) and at most 0.5
# instructions a byte for the CSV: bench/speed.sh prints the figures.
#   bench/check_cost.sh [BUILD_DIR] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$here/build-bench}")
runs=${2:-11}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_BENCH=ON \
  -DCORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
exe="$build/corvane"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/bench/corvane_generate" large big.rwl
bytes=$(wc -c <big.rwl)

run_corvane() { "$exe" big.rwl >/dev/null; }
check_corvane() { "$exe" --check big.rwl >/dev/null; }
check_corvane
[ "$("$exe" --check big.rwl | tail -1)" = "1 files, 15000 series: 0 errors, 0 warnings, 0 notes" ] ||
  { echo "the check of big.rwl does not check clean" >&2; exit 1; }

echo "== instructions (valgrind --tool=callgrind), one file of $bytes bytes"
if command -v valgrind >/dev/null; then
  count() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
      awk '/Collected :/ { print $NF }'
  }
  run_i=$(count "$exe" big.rwl)
  check_i=$(count "$exe" --check big.rwl)
  csv_i=$(count "$exe" --csv big.csv big.rwl)
  awk -v r="$run_i" -v c="$check_i" -v s="$csv_i" -v b="$bytes" 'BEGIN {
    printf "run:   %d = %.2f per input byte\n", r, r / b
    printf "check: %d = %.2f per input byte\n", c, c / b
    printf "ratio: %.2f (target at most 1.5)\n", c / r
    printf "csv:   %d = %.2f per input byte\n", s, s / b
    printf "ratio: %.3f\n", s / r }'
else
  echo "valgrind not found: no instruction count"
fi

# Times BATCH calls of a function in a row: wall, user + system microseconds per call.
batch=3
TIMEFORMAT='%3R %3U %3S'
timed() {
  { time for _ in $(seq "$batch"); do "$1"; done; } 2>&1 |
    awk -v n="$batch" '{ printf "%.0f %.0f\n", $1 * 1e6 / n, ($2 + $3) * 1e6 / n }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run_corvane
cw=() cc=() rw=() rc=()
for _ in $(seq "$runs"); do
  read -r w c < <(timed check_corvane); cw+=("$w"); cc+=("$c")
  read -r w c < <(timed run_corvane); rw+=("$w"); rc+=("$c")
done
mcw=$(printf '%s\n' "${cw[@]}" | median); mcc=$(printf '%s\n' "${cc[@]}" | median)
mrw=$(printf '%s\n' "${rw[@]}" | median); mrc=$(printf '%s\n' "${rc[@]}" | median)
echo "== time: medians of $runs samples of $batch runs each, in turn"
awk -v cw="$mcw" -v cc="$mcc" -v rw="$mrw" -v rc="$mrc" 'BEGIN {
  printf "check: wall %7.1f ms  cpu %7.1f ms\n", cw / 1000, cc / 1000
  printf "run:   wall %7.1f ms  cpu %7.1f ms\n", rw / 1000, rc / 1000
  printf "ratio: wall %7.2f     cpu %7.2f     (target at most 1.5)\n", cw / rw, (rc > 0 ? cc / rc : 0) }'
