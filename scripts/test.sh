#!/usr/bin/env bash
# Installs what the tests need, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and
# runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-test"
"$root/scripts/install-deps.sh" build runtime test
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQC_SANITIZE=ON -DQC_BUILD_TESTS=ON
cmake --build "$build" --parallel "$(nproc)"
# The single-instance and file-manager tests talk over a private session bus.
runner=()
if command -v dbus-run-session >/dev/null; then
    runner=(dbus-run-session --)
fi
cd "$build"
"${runner[@]}" ctest --output-on-failure --parallel "$(nproc)" --timeout 600
