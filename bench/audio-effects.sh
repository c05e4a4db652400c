#!/usr/bin/env bash
# Audio effects benchmark, in one run: the player's equaliser and boost (our element running
# PlayerAudioTap) against GStreamer's own equalizer-10bands and volume elements on the same
# buffers: ten bands on, gain 1.5, 48 kHz stereo. Prints CPU seconds, samples per second on one
# core (all chains run on one streaming thread) and the multiple of real time.
# Goals: at least 1.5× GStreamer's elements and at least 500× real time.
#
#   bench/audio-effects.sh [SECONDS]      (default 60 s of audio)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"

"$root/scripts/install-deps.sh" build bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-audio-effects >/dev/null
"$build/bin/bench-audio-effects" "${1:-60}"
printf '\nLoad average during the run: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
