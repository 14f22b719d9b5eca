#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds a release build of the program
# (not the tests or the benchmark) and starts it; arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "$(nproc)" --target kestrava
exec build/kestrava "$@"
