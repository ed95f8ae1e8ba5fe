#!/usr/bin/env bash
# The robustness part of the suite (docs/robustness.md):
#  1. the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer
#     in build-asan/, any report fatal;
#  2. every fuzz target of tests/fuzz built with clang in build-fuzz/ and run
#     for FUZZ_SECONDS (default 15) each from its checked-in seeds.
# ./test.sh runs this when CI is set, or when given --robustness.
# Exits non-zero when a test fails, a sanitizer reports or a property breaks.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${FUZZ_SECONDS:-15}
jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
display=(xvfb-run -a -s "-screen 0 1024x768x24")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizer.supp:print_suppressions=0

echo "== Sanitizer suite (build-asan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVELLA_SANITIZE=ON "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$jobs"
"${display[@]}" ctest --test-dir build-asan --output-on-failure --timeout 900 -j2

if ! command -v clang++ >/dev/null; then
  echo "== Fuzz targets skipped: clang++ is not installed (scripts/install-deps.sh installs it)"
  exit 0
fi
echo "== Fuzz targets (build-fuzz, ${seconds} s each)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVELLA_FUZZ=ON \
  "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_all
failed=()
for seeds in tests/fuzz/corpus/*/; do
  target=$(basename "$seeds")
  program=build-fuzz/tests/fuzz/$target
  # New inputs go to a working corpus; the checked-in seeds stay as they are.
  work=build-fuzz/corpus/$target
  reproducers=build-fuzz/reproducers
  mkdir -p "$work" "$reproducers"
  run=("$program" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$reproducers/$target-"
       "$work" "$seeds")
  [ "$target" = fuzz_dashboard_apply ] && run=("${display[@]}" "${run[@]}")
  log=build-fuzz/$target.log
  if "${run[@]}" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${runs:-?} runs in ${seconds} s ($(( ${runs:-0} / seconds )) per second)"
  else
    echo "$target: FAILED (reproducer in $reproducers/, log in $log)"
    tail -n 30 "$log"
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzz targets that failed: ${failed[*]}" >&2
  exit 1
fi
