#!/usr/bin/env bash
# Speed figures of the Release build, side by side on one warm machine, with the processor
# features the run had (avx2, sse4_1) and CORVANE_VECTOR, passed through when set:
#  - instructions per input byte of a whole run over one generated 44 MB measurement file
#    (15000 series, 614,928 lines), counted with valgrind --tool=callgrind, and of the command
#    lines `corvane --csv big.csv --svg big.svg big.rwl` and `corvane --check big.rwl`;
#  - the summary's instructions on the spread-years file (15000 series over 10,000 years: the
#    whole program, counted in the summary only) and on catalogues 2, 4 and 8 times as large
#    over 2, 4 and 8 times the years (the summary benchmark, one iteration: the program gives no
#    summary beyond 15000 series), each against 15000; and the same catalogues with the
#    tournament answering every end year, the cost that the bounded search's budget guarantees;
#  - that run against `cat FILE > /dev/null`, and the 399-file run of end_to_end.sh against
#    `cat` of its files: medians of RUNS runs each, taken in turn, wall and CPU (user + system);
#  - the peak resident memory of both runs and of the command line with --csv --svg
#    (/usr/bin/time -v);
#  - the readers' benchmark BM_Read* in lines per second (medians of 5 repetitions).
# Targets: at most 3.0 instructions per byte (4.0 with the fallback alone), --check at most 4.5;
# at most 3 times cat CPU (3.5 with SSE4.1 alone) for one file and 2.5 times cat for 399 files;
# the summary at most 10 million instructions on the spread-years file, growing at most
# linearly; at least 15 and 12 million lines per second; at most 8 MiB.
#   bench/speed.sh [BUILD_DIR] [RUNS]
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
mkdir "$work/one" "$work/many"
"$build/bench/corvane_generate" large "$work/one/big.rwl"
"$build/bench/corvane_generate" run "$work/many"
printf 'F\nbig.rwl\n1\n' >"$work/one/answers"
printf 'T\nrun.lst\n1\n' >"$work/many/answers"
big_bytes=$(wc -c <"$work/one/big.rwl")
big_lines=$(wc -l <"$work/one/big.rwl")
many_bytes=$(cat "$work"/many/g*.rwl | wc -c)

# The answers are read from a file rather than a pipe: the same input without a second process.
# Each function runs one process in the current directory.
run_corvane() { "$exe" <answers >/dev/null; }
cat_one() { cat big.rwl >/dev/null; }
cat_many() { cat g*.rwl >/dev/null; }

"$build/bench/corvane_generate" spread "$work/one/spread.rwl"

echo "== processor: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
features=
for f in avx2 sse4_1; do
  grep -m1 '^flags' /proc/cpuinfo | grep -qw "$f" && features="$features $f"
done
echo "features:${features:- none of avx2, sse4_1}; CORVANE_VECTOR=${CORVANE_VECTOR-(not set)}"

echo "== instructions (valgrind --tool=callgrind), one file of $big_bytes bytes, $big_lines lines"
if command -v valgrind >/dev/null; then
  count() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
      awk '/Collected :/ { print $NF }'
  }
  per_byte() {
    awk -v i="$2" -v b="$big_bytes" -v w="$1" -v t="$3" 'BEGIN {
      printf "%-14s %11d = %.2f per input byte%s\n", w ":", i, i / b,
        t == "" ? "" : " (target at most " t ")" }'
  }
  cd "$work/one"
  per_byte "dialogue run" "$(count "$exe" <answers)" "3.0; 4.0 with the fallback alone"
  per_byte "--csv --svg" "$(count "$exe" --csv big.csv --svg big.svg big.rwl)" ""
  per_byte "--check" "$(count "$exe" --check big.rwl)" "4.5"
  rm -f big.csv big.svg

  echo "== the summary's instructions (target at most 10 million on x1, growing at most linearly)"
  x1=$(count --toggle-collect='corvane::Commint*' "$exe" -q spread.rwl)
  echo "spread-years file, x1, whole program: $x1"
  # Each factor of a benchmark FILTER, counted in the functions TOGGLE, against factor 1.
  factors() {
    local label=$1 filter=$2 toggle=$3 limit=$4 one= i factor
    for factor in 1 2 4 8; do
      i=$(count --toggle-collect="$toggle" "$build/bench/corvane_bench" \
        --benchmark_filter="$filter/$factor/" --benchmark_min_time=0)
      one=${one:-$i}
      awk -v l="$label" -v f="$factor" -v i="$i" -v one="$one" -v lim="$limit" 'BEGIN {
        printf "%s x%d: %11d  ratio to x1 %5.2f%s\n", l, f, i, i / one,
          lim ? sprintf(" (at most %d)", f) : "" }'
    done
  }
  factors benchmark BM_CommintSpreadYears 'corvane::Commint*' 1
  echo "== the same with the tournament answering every end year (the search's guarantee)"
  factors tournament BM_CommintSpreadYearsTournament 'corvane::optimum_interval*' 0
  cd "$here"
else
  echo "valgrind not found: no instruction count"
fi

# Times BATCH calls of a function in a row: wall, user + system microseconds per call (bash's
# own clock; the CPU time comes from the children's resource usage).
batch=3
TIMEFORMAT='%3R %3U %3S'
timed() {
  { time for _ in $(seq "$batch"); do "$1"; done; } 2>&1 |
    awk -v n="$batch" '{ printf "%.0f %.0f\n", $1 * 1e6 / n, ($2 + $3) * 1e6 / n }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Runs A and B in turn, RUNS samples each after a warm-up; prints their medians and ratios.
side_by_side() {
  local name=$1 a=$2 b=$3 target=$4
  "$a" && "$b"
  local aw=() ac=() bw=() bc=() w c
  for _ in $(seq "$runs"); do
    read -r w c < <(timed "$a"); aw+=("$w"); ac+=("$c")
    read -r w c < <(timed "$b"); bw+=("$w"); bc+=("$c")
  done
  local maw mac mbw mbc
  maw=$(printf '%s\n' "${aw[@]}" | median); mac=$(printf '%s\n' "${ac[@]}" | median)
  mbw=$(printf '%s\n' "${bw[@]}" | median); mbc=$(printf '%s\n' "${bc[@]}" | median)
  echo "== $name: medians of $runs samples of $batch runs each, in turn"
  awk -v aw="$maw" -v ac="$mac" -v bw="$mbw" -v bc="$mbc" -v t="$target" 'BEGIN {
    printf "corvane: wall %7.1f ms  cpu %7.1f ms\n", aw / 1000, ac / 1000
    printf "cat:     wall %7.1f ms  cpu %7.1f ms\n", bw / 1000, bc / 1000
    printf "ratio:   wall %7.2f     cpu %7.2f     (target at most %s)\n", aw / bw, (bc > 0 ? ac / bc : 0), t }'
}

cd "$work/one"
side_by_side "one file, $big_bytes bytes" run_corvane cat_one "3 CPU; 3.5 with SSE4.1 alone"
cd "$work/many"
side_by_side "399 files, 15000 series, $many_bytes bytes" run_corvane cat_many 2.5

echo "== peak resident memory (/usr/bin/time -v; target at most 8 MiB)"
peak() {
  local dir=$1
  shift
  (cd "$dir" && /usr/bin/time -v "$exe" "$@" <answers 2>&1 >/dev/null) |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); printf "%.2f MiB\n", $2 / 1024 }'
}
echo "one file:    $(peak "$work/one")"
echo "--csv --svg: $(peak "$work/one" --csv big.csv --svg big.svg big.rwl)"
echo "399 files:   $(peak "$work/many")"

echo "== readers (BM_Read*, medians of 5 repetitions; targets 15 and 12 million lines/s)"
"$build/bench/corvane_bench" --benchmark_filter='BM_Read' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null |
  awk '/_median/ { rate = ""; for (i = 1; i <= NF; ++i) if ($i ~ /^lines\/s=/) rate = $i
         sub(/lines\/s=/, "", rate); sub(/\/real_time_median/, "", $1)
         printf "%s: %s lines/s of real time (real %s %s, CPU %s %s)\n", $1, rate, $2, $3, $4, $5 }'
