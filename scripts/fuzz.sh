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

mkdir -p "$work/markdown" "$work/document-protocol"
printf '# Title\n\n- *emphasis* and **strong** and `code`\n' > "$work/markdown/1"
printf '[a link](https://example.org "title") <https://x.org> <me@x.org> \\* &amp; &#x41;\n' > "$work/markdown/2"
printf '***a** b* _c_ __d__ ![img](p.png) [a [b](c)](d) ``e ` f``\n' > "$work/markdown/3"
printf '14:2:ok,2:id,1:7,,' > "$work/document-protocol/1"
printf '40:7:convert,5:input,5:/a.md,6:format,3:pdf,,' > "$work/document-protocol/2"

status=0
for target in markdown document-protocol; do
    echo "fuzz: $target for ${seconds}s"
    if ! (cd "$work" && "$build/bin/fuzz-$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -max_len=65536 -print_final_stats=1 "$work/$target" 2>"$work/$target.log"); then
        tail -n 60 "$work/$target.log" >&2
        status=1
    else
        grep -E "stat::number_of_executed_units|Done" "$work/$target.log" | tail -n 2 || true
    fi
done
exit "$status"
