#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build folder and runs each for a bounded
# time on a small seed corpus made here. A crash, hang or sanitizer report fails the script.
#
#   scripts/fuzz.sh [SECONDS]      (default 60 per target)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-60}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DQC_FUZZ=ON -DQC_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target qc_fuzzers --parallel 2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Every fuzz-<name> that the build made runs on a copy of its seeds in fuzz/seeds/<name>/.
status=0
for fuzzer in "$build"/bin/fuzz-*; do
    target="${fuzzer##*/fuzz-}"
    mkdir -p "$work/$target"
    if [ -d "$root/fuzz/seeds/$target" ]; then
        cp "$root/fuzz/seeds/$target"/* "$work/$target/"
    fi
    echo "fuzz: $target for ${seconds}s"
    if ! (cd "$work" && "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -max_len=65536 -print_final_stats=1 "$work/$target" 2>"$work/$target.log"); then
        tail -n 60 "$work/$target.log" >&2
        status=1
    else
        grep -E "stat::number_of_executed_units|Done" "$work/$target.log" | tail -n 2 || true
    fi
done
exit "$status"
