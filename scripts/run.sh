#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds a release build and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "$(nproc)"
exec build/kestrava
