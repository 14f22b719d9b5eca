#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded number
# of inputs, starting from the seed corpora in fuzz/corpus. New inputs go to a
# scratch folder; a crash or a broken property fails the run and leaves the
# input in build-fuzz/.
#   scripts/fuzz.sh [runs per target]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
scripts/install-deps.sh
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTRAVA_FUZZ=ON -DBUILD_TESTING=OFF -DKESTRAVA_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target fuzzers --parallel "$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in decoding paths joining title report; do
  mkdir "$scratch/$target"
  start=$(date +%s.%N)
  build-fuzz/fuzz/fuzz_$target -runs="$runs" -max_len=4096 -artifact_prefix=build-fuzz/ \
    -print_final_stats=1 "$scratch/$target" "fuzz/corpus/$target" 2>"$scratch/$target.log" \
    || { cat "$scratch/$target.log"; echo "fuzz_$target failed"; exit 1; }
  seconds=$(echo "$(date +%s.%N) - $start" | bc)
  printf 'fuzz_%s: %s inputs in %.1f s (%.0f a second), corpus %s files\n' "$target" "$runs" "$seconds" \
    "$(echo "$runs / $seconds" | bc -l)" "$(ls "$scratch/$target" "fuzz/corpus/$target" | grep -vc ':$')"
done
