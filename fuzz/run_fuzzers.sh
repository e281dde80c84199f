#!/bin/sh
# Runs libFuzzer targets built with KARVEX_FUZZ, each for SECONDS, starting from the
# committed corpus and from seeds cut from real fonts, and prints what each one ran.
#
#   fuzz/run_fuzzers.sh BUILD SECONDS TARGET...
#
# New inputs go to BUILD/fuzz-work/corpus/TARGET, never into fuzz/corpus. A finding
# stops the run with the failing input in BUILD/fuzz-work/artifacts/TARGET/; add it to
# fuzz/corpus/TARGET/ under a name that says what went wrong, once it is fixed.
set -eu
cd "$(dirname "$0")/.."
build=$1
seconds=$2
shift 2
work=$build/fuzz-work
python3 fuzz/make_seeds.py "$work/seeds" >/dev/null
summary=""
status=0
for target in "$@"; do
  corpus=$work/corpus/$target
  artifacts=$work/artifacts/$target
  log=$work/$target.log
  mkdir -p "$corpus" "$artifacts"
  echo "fuzz: $target for ${seconds}s (log: $log)"
  dict=""
  [ -f "fuzz/$target.dict" ] && dict="-dict=fuzz/$target.dict"
  if ! "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 $dict \
      -rss_limit_mb=3072 -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$corpus" "fuzz/corpus/$target" "$work/seeds/$target" >"$log" 2>&1; then
    status=1
    echo "fuzz: $target FAILED; the input is in $artifacts/:" >&2
    grep -E "ERROR|check failed|runtime error|Test unit written" "$log" | head -20 >&2
  fi
  replayed=$(sed -n 's/.*seed corpus: files: \([0-9]*\).*/\1/p' "$log" | head -1)
  done_line=$(grep -E "^#[0-9]+[[:space:]]+DONE" "$log" | tail -1 || true)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(echo "$done_line" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$done_line" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  corp=$(echo "$done_line" | sed -n 's/.* corp: \([0-9]*\).*/\1/p')
  summary="$summary$(printf '%-6s %9s %12s %8s %6s %7s %7s' "$target" "${replayed:-?}" \
    "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}")
"
done
printf '%-6s %9s %12s %8s %6s %7s %7s\n' target replayed executions "exec/s" cov ft corpus
printf '%s' "$summary"
exit $status
