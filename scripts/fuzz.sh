#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded number
# of inputs, starting from the seed corpora in fuzz/corpus. New inputs go to a
# scratch folder; a crash, a leak or a broken property fails the run and
# leaves the input in build-fuzz/: keep it in fuzz/corpus/TARGET/ as a
# regression case once it is mended.
#   scripts/fuzz.sh [runs per target]            each target from its own fixed
#                                                seed: the same code, the same verdict
#   scripts/fuzz.sh --random [runs per target]   a new seed each run, for a longer
#                                                search before closing parsing work
set -euo pipefail
cd "$(dirname "$0")/.."
random=false
if [ "${1:-}" = --random ]; then
  random=true
  shift
fi
runs=${1:-1000000}
scripts/install-deps.sh --tests
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTRAVA_FUZZ=ON -DBUILD_TESTING=OFF -DKESTRAVA_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target fuzzers --parallel "$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Addresses laid out alike each run, hashes seeded alike: the same seed then
# takes the same paths through the same code.
fixed=(env QT_HASH_SEED=0 setarch "$(uname -m)" --addr-no-randomize)
"${fixed[@]}" true 2>/dev/null || fixed=(env QT_HASH_SEED=0)
# The text areas' geometry lays text out with Qt for every input: fewer runs.
declare -A share=([history]=5 [geometry]=200 [contacts]=2)
for target in decoding paths joining streaming title report addresses contacts history geometry; do
  mkdir "$scratch/$target"
  start=$(date +%s.%N)
  targetRuns=$((runs / ${share[$target]:-1}))
  if $random; then
    seed=$(( $(od -An -N4 -tu4 /dev/urandom) % 2147483646 + 1 ))
  else
    seed=$(printf %s "$target" | cksum | cut -d' ' -f1)
  fi
  QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=fuzz/lsan-suppressions.txt "${fixed[@]}" build-fuzz/fuzz/fuzz_$target \
    -seed="$seed" -runs="$targetRuns" -max_len=4096 -artifact_prefix=build-fuzz/ \
    -print_final_stats=1 "$scratch/$target" "fuzz/corpus/$target" 2>"$scratch/$target.log" \
    || { cat "$scratch/$target.log"; echo "fuzz_$target failed (-seed=$seed)"; exit 1; }
  seconds=$(echo "$(date +%s.%N) - $start" | bc)
  printf 'fuzz_%s: %s inputs from seed %s in %.1f s (%.0f a second), corpus %s files\n' "$target" "$targetRuns" "$seed" \
    "$seconds" "$(echo "$targetRuns / $seconds" | bc -l)" "$(ls "$scratch/$target" "fuzz/corpus/$target" | grep -vc ':$')"
done
