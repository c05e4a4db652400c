#!/usr/bin/env bash
# Adding a folder of 1,000 small files of mixed kinds (pictures, sounds, videos, documents and
# files we don't convert) to the converter window, in one run: the longest stall of the main
# event loop and the time until every row shows its size line, beside the goals (no stall over
# 50 ms, every row complete within 2 s).
#
#   bench/add-folder.sh
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
work="$build/bench-add-folder"

"$root/scripts/install-deps.sh" bench runtime
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-add-folder qc_ffmpeg_links >/dev/null

rm -rf "$work"
mkdir -p "$work/seed" "$work/folder/sub"
ffmpeg -v error -f lavfi -i "testsrc2=size=64x48:duration=0.2" -frames:v 1 "$work/seed/p.png"
ffmpeg -v error -f lavfi -i "sine=duration=0.5" "$work/seed/s.wav"
ffmpeg -v error -f lavfi -i "testsrc2=size=64x48:duration=0.5" -f lavfi -i "sine=duration=0.5" \
    -c:v libx264 -c:a aac -shortest "$work/seed/v.mp4"
for i in $(seq 1 400); do cp "$work/seed/p.png" "$work/folder/picture $i.png"; done
for i in $(seq 1 150); do cp "$work/seed/s.wav" "$work/folder/sub/sound $i.wav"; done
for i in $(seq 1 50); do cp "$work/seed/v.mp4" "$work/folder/sub/clip $i.mp4"; done
for i in $(seq 1 300); do echo "note $i" > "$work/folder/note $i.txt"; done
for i in $(seq 1 100); do printf 'x\001\002' > "$work/folder/other $i.xyz"; done

out="$("$build/bin/bench-add-folder" "$work/folder")"
value() { echo "$out" | awk -v k="$1" '$1 == k { print $2 }'; }
printf '%-36s %10s %10s\n' "1,000 files (900 convertible)" "ours" "goal"
printf '%-36s %10s %10s\n' "rows listed" "$(value items)" "900"
printf '%-36s %8s ms %7s ms\n' "longest main-loop stall" "$(value longest_stall_ms)" "50"
printf '%-36s %8s ms %7s ms\n' "all rows listed" "$(value listed_ms)" "-"
printf '%-36s %8s ms %7s ms\n' "every row complete (probes back)" "$(value complete_ms)" "2000"
