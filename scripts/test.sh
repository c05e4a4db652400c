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
# Leak reports are off: the system libraries we load (fontconfig, x265, the office) keep
# allocations for the life of the process. Every other AddressSanitizer and UBSan finding fails.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The parsers that read outside input are fuzzed for a bounded time first, so that ctest's
# summary is the last thing printed.
"$root/scripts/fuzz.sh" 60
cd "$build"
"${runner[@]}" ctest --output-on-failure --parallel "$(nproc)" --timeout 600
