#!/usr/bin/env bash
# Fuzzes the parsers of outside input (libFuzzer, ASan + UBSan) for a short
# while each: report descriptors, sysfs identity text, board scripts, key
# base files, the LCD text and command lines, LCD picture files, and the main
# window's input handler with the board model answering.
#
#   tools/fuzz.sh [seconds-per-target]    (default 20)
#
# First runs every committed corpus file once (a regression run), then fuzzes
# each target on a copy of its corpus, so the committed corpus never grows
# here. Exits non-zero on any crash, sanitizer finding or broken invariant,
# after printing the input that reproduces it (kept in <build>/fuzz-crashes).
# LUMIDRA_FUZZ_BUILD_DIR chooses the build folder (default: the fuzz
# preset's, build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-20}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "usage: $0 [seconds-per-target]" >&2
  exit 2
fi

# clang and its runtime libraries (libFuzzer, the sanitizers) besides the
# project's own build dependencies.
tools/install-deps.sh clang libclang-rt-14-dev

build=${LUMIDRA_FUZZ_BUILD_DIR:-$root/build-fuzz}
log=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$work" "$log"' EXIT

if ! { cmake --preset fuzz -B "$build" && cmake --build "$build" --target lumidra_fuzzers -- -j2; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "fuzz: the build failed" >&2
  exit 1
fi

targets=(report_descriptor hid_identity board_script keybase_file lcd_text lcd_command picture_file input_handler)
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

failed=0

# Shows what went wrong and the input that reproduces it.
report_failure() {
  local target=$1 output=$2 artifacts=$3
  echo "fuzz: $target FAILED" >&2
  grep -E 'invariant broken|ERROR: |SUMMARY: |runtime error' "$output" | head -n 20 >&2 || true
  sed -n '/^    #[0-9]/p' "$output" | head -n 25 >&2 || true
  # A fuzzing run writes the input to the artifacts; a regression run names
  # the corpus file it was running.
  local inputs=("$artifacts"/*)
  local running
  running=$(sed -n 's/^Running: //p' "$output" | tail -n 1)
  [ -n "$running" ] && inputs+=("$running")
  local found=0
  for input in "${inputs[@]}"; do
    [ -f "$input" ] || continue
    found=1
    local kept="$build/fuzz-crashes/${target%% *}-$(basename "$input")"
    mkdir -p "$build/fuzz-crashes"
    cp "$input" "$kept"
    echo "fuzz: reproducer ($(stat -c %s "$input") bytes), kept as $kept:" >&2
    od -An -tx1 -v "$input" | head -n 16 >&2 || true
    echo "fuzz: reproduce with: $build/tests/fuzz/fuzz_${target%% *} $kept" >&2
  done
  if [ "$found" -eq 0 ]; then tail -n 40 "$output" >&2; fi
}

for target in "${targets[@]}"; do
  binary="$build/tests/fuzz/fuzz_$target"
  corpus="$root/tests/fuzz/corpus/$target"
  if [ ! -x "$binary" ]; then
    echo "fuzz: $binary was not built" >&2
    failed=1
    continue
  fi
  artifacts="$work/$target-artifacts"
  mkdir -p "$artifacts" "$work/$target-corpus"

  # Regression: every committed input once.
  if ! "$binary" -artifact_prefix="$artifacts/" "$corpus"/* >"$work/$target-regression.log" 2>&1; then
    report_failure "$target (corpus regression)" "$work/$target-regression.log" "$artifacts"
    failed=1
    continue
  fi

  # Fuzzing on a copy of the corpus.
  cp "$corpus"/* "$work/$target-corpus/"
  if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$work/$target-corpus" >"$work/$target.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
    cov=$(grep -o 'cov: [0-9]*' "$work/$target.log" | tail -n 1)
    echo "fuzz: $target ok (${runs:-?} inputs in ${seconds} s, $cov)"
  else
    report_failure "$target" "$work/$target.log" "$artifacts"
    failed=1
  fi
done

exit "$failed"
