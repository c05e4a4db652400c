#!/usr/bin/env bash
# Configures and builds into a build folder.
#   scripts/build.sh [BUILD_DIR] [extra cmake arguments...]   (default: build, Release)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
shift || true
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$build" --parallel "$(nproc)"
