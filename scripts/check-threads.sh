#!/usr/bin/env bash
# Builds everything with the thread sanitizer and runs every test there, then
# runs again and again what works on threads of its own: the menus' counts,
# tidying and loading in the window, and sorting, sifting and extracting on
# the command line. A race between two accesses made by the project's own
# code fails the run. Those made inside Qt and the font libraries, which are
# built without the sanitizer, are left out: it cannot see how they hand
# data between their threads.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRAVA_SANITIZE_THREADS=ON \
  -DKESTRAVA_BENCHMARKS=OFF >/dev/null
cmake --build build-tsan --parallel "$(nproc)"
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
export TSAN_OPTIONS="halt_on_error=0 exitcode=0 die_after_fork=0 history_size=7 log_path=$logs/race"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-tsan --output-on-failure --timeout 900

for round in 1 2 3 4 5; do
  build-tsan/tests/tst_form1 menuOpenedAgainAndAgainWhileCounting longTidyingShowsProgressAndCanBeStopped \
    copyingTheOutputInBatches tidyingTheInput >/dev/null
  build-tsan/tests/tst_loadsave openingFilesLoadsThemAsLoadFileDoes >/dev/null
done
python3 -c '
for i in range(300000):
    print(f"Someone {i % 7} <someone.{i % 90000}@example.com>, x{i}@y.org" if i % 3 else f" plain.{i % 50000}@example.com ")
' >"$logs/list.txt"
for options in "--trim --skip-empty --unique --sort" "--extract --unique" "--extract --sort" "--exclude=$logs/list.txt"; do
  # shellcheck disable=SC2086
  build-tsan/kestrava --join $options "$logs/list.txt" >/dev/null
done
build-tsan/kestrava --check "$logs/list.txt" >/dev/null 2>&1 || true
shopt -s nullglob
python3 scripts/tsan-own-races.py "$logs"/race.*
