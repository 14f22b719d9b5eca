#!/usr/bin/env bash
# Builds everything with the address and undefined-behaviour sanitizers and
# runs every test there. Any sanitizer report fails the run: the build stops
# at the first one, and the log is searched for reports as well.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKESTRAVA_SANITIZE=ON -DKESTRAVA_BENCHMARKS=OFF >/dev/null
cmake --build build-asan --parallel "$(nproc)"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --timeout 900 2>&1 | tee "$log"
if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$log"; then
  echo "sanitizer report found"
  exit 1
fi
