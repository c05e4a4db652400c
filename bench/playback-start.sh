#!/usr/bin/env bash
# Time to a playable stream: PlaybackTranscoder from start() to its answer (probe, cache folder,
# ffmpeg until three 4-second segments are listed), printed beside plain ffmpeg writing the same
# three segments (12 s of media) with the identical stream settings, for
#   a 1080p30 H.264/AAC MKV (rewrap; goal: answered within 1 s) and
#   a 720p30 VP9/Opus WebM (re-encode; goal: within 0.3 s of plain ffmpeg's three segments).
#
#   [RUNS=3] bench/playback-start.sh
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
work="$build/bench-playback"
runs="${RUNS:-3}"

"$root/scripts/install-deps.sh" bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-playback-start qc_ffmpeg_links >/dev/null
ffmpeg="$build/share/quorvane-converter/ffmpeg/ffmpeg"
mkdir -p "$work"

mkv="$work/clip-1080p.mkv"
webm="$work/clip-720p.webm"
if [ ! -s "$mkv" ]; then
    "$ffmpeg" -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=60" \
        -f lavfi -i "sine=frequency=440:duration=60" -c:v libx264 -preset ultrafast -g 60 -pix_fmt yuv420p \
        -c:a aac "$mkv"
fi
if [ ! -s "$webm" ]; then
    "$ffmpeg" -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=30" \
        -f lavfi -i "sine=frequency=440:duration=30" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 2M \
        -g 60 -c:a libopus "$webm"
fi

now_ms() { date +%s%3N; }
# Plain ffmpeg writing three segments: the same arguments as ours, cut at 12 s of media.
plain() { # file video-args...
    local file="$1"
    shift
    local out="$work/plain"
    rm -rf "$out"
    mkdir -p "$out"
    local start end
    start=$(now_ms)
    "$ffmpeg" -hide_banner -nostdin -y -loglevel error -i "$file" -t 12 -map 0:v:0 "$@" -map 0:a:0 \
        $AUDIO -sn -dn -f hls -hls_time 4 -hls_playlist_type event -hls_segment_type fmp4 \
        -hls_fmp4_init_filename init.mp4 -hls_segment_filename "$out/seg%05d.m4s" \
        -hls_flags independent_segments+temp_file "$out/index.m3u8"
    end=$(now_ms)
    echo $((end - start))
}

echo "Conditions: $(nproc) cores shared with other work; best of $runs runs each."
for kind in rewrap convert; do
    if [ $kind = rewrap ]; then
        file=$mkv
        AUDIO="-c:a copy"
        video=(-c:v copy)
    else
        file=$webm
        AUDIO="-c:a aac -b:a 192k -ac 2"
        video=(-c:v libx264 -preset veryfast -crf 21 -vf format=yuv420p -g 120)
    fi
    best_ours=999999
    best_plain=999999
    for _ in $(seq "$runs"); do
        ours=$("$build/bin/bench-playback-start" "$file" | awk '{print $2}')
        p=$(plain "$file" "${video[@]}")
        [ "$ours" -lt "$best_ours" ] && best_ours=$ours
        [ "$p" -lt "$best_plain" ] && best_plain=$p
    done
    if [ $kind = rewrap ]; then
        printf "%-32s ours %6d ms   plain ffmpeg 3 segments %6d ms   goal: ours <= 1000 ms\n" \
            "1080p H.264/AAC MKV (rewrap)" "$best_ours" "$best_plain"
    else
        printf "%-32s ours %6d ms   plain ffmpeg 3 segments %6d ms   goal: ours <= plain + 300 ms (%+d ms)\n" \
            "720p VP9/Opus WebM (re-encode)" "$best_ours" "$best_plain" $((best_ours - best_plain))
    fi
done
