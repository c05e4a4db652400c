#!/bin/sh
# Estimate accuracy of the converter's size estimates: for generated clips of different content
# (a still picture, moving test patterns, noise, a fractal zoom; 720p and 1080p; 60–180 s) it runs
# `quorvane-convert --estimate` and then the real conversion for mp4, mp4-hevc, webm and gif at
# balanced quality, and prints estimate, actual size and error per case, with the median and the
# worst absolute error. Beside it stands the naive guess "the output is as big as the source".
#
#   bench/estimate.sh [build-folder]          the full set (slow: about an hour on two cores)
#   QC_BENCH_QUICK=1 bench/estimate.sh ...    60-second clips, 720p plus one 1080p clip
#   QC_BENCH_TARGETS="mp4 webm" ...           other targets
#   QC_BENCH_SECONDS=30 ...                   every clip this long instead
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-estimate}
if [ ! -x "$build/bin/quorvane-convert" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j2 --target quorvane-convert qc_ffmpeg_links >/dev/null
fi
convert=$build/bin/quorvane-convert
targets=${QC_BENCH_TARGETS:-mp4 mp4-hevc webm gif}

work=$(mktemp -d "${TMPDIR:-/tmp}/qc-bench-estimate-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
# Our own settings, logs and caches: the bench never touches the user's.
export XDG_CONFIG_HOME="$work/xdg/config" XDG_STATE_HOME="$work/xdg/state" XDG_CACHE_HOME="$work/xdg/cache"

# name content width height seconds
if [ "${QC_BENCH_QUICK:-0}" = 1 ]; then
    clips="still-720 still 1280 720 60
moving-720 moving 1280 720 60
noise-720 noise 1280 720 60
fractal-720 fractal 1280 720 60
moving-1080 moving 1920 1080 60"
else
    clips="still-720 still 1280 720 60
still-1080 still 1920 1080 180
moving-720 moving 1280 720 120
moving-1080 moving 1920 1080 60
noise-720 noise 1280 720 60
noise-1080 noise 1920 1080 120
fractal-720 fractal 1280 720 180
fractal-1080 fractal 1920 1080 90"
fi

make_clip() { # name content width height seconds
    case $2 in
    still) source="smptehdbars=size=${3}x${4}:rate=30" ;;
    moving) source="testsrc2=size=${3}x${4}:rate=30" ;;
    noise) source="color=c=gray:size=${3}x${4}:rate=30,noise=alls=40:allf=t+u" ;;
    fractal) source="mandelbrot=size=640x360:rate=30,scale=${3}:${4}" ;;
    esac
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$source" -f lavfi -i "sine=frequency=330:sample_rate=48000" \
        -t "$5" -c:v libx264 -preset ultrafast -crf 16 -pix_fmt yuv420p -c:a aac -b:a 192k "$work/$1.mp4" </dev/null
}

json_field() { # field  (reads one JSON line on stdin)
    python3 -c 'import json,sys; v=json.loads(sys.stdin.readline()).get(sys.argv[1]); print("" if v is None else v)' "$1"
}

results=$work/results.txt
: >"$results"
printf '%-12s %-9s %6s %12s %12s %8s %10s %9s %9s\n' clip target secs estimate actual error naive est-time conv-time
echo "$clips" | while read -r name content width height seconds; do
    seconds=${QC_BENCH_SECONDS:-$seconds}
    make_clip "$name" "$content" "$width" "$height" "$seconds"
    source_size=$(stat -c %s "$work/$name.mp4")
    for target in $targets; do
        out="$work/out-$name-$target"
        mkdir -p "$out"
        t0=$(date +%s.%N)
        estimate=$("$convert" --estimate --json --quality balanced --to "$target" "$work/$name.mp4" 2>/dev/null </dev/null |
            json_field estimate)
        t1=$(date +%s.%N)
        actual=$("$convert" --json --quality balanced --to "$target" --folder "$out" "$work/$name.mp4" 2>/dev/null </dev/null |
            json_field size)
        t2=$(date +%s.%N)
        rm -rf "$out"
        if [ -z "$estimate" ] || [ -z "$actual" ]; then
            printf '%-12s %-9s %6s %12s %12s %8s\n' "$name" "$target" "$seconds" "${estimate:--}" "${actual:--}" "n/a"
            continue
        fi
        line=$(python3 - "$estimate" "$actual" "$source_size" "$t0" "$t1" "$t2" <<'PY'
import sys
e, a, s = (int(x) for x in sys.argv[1:4])
t0, t1, t2 = (float(x) for x in sys.argv[4:7])
print(f"{(e - a) / a * 100:+.1f} {(s - a) / a * 100:+.0f} {t1 - t0:.1f} {t2 - t1:.1f}")
PY
)
        set -- $line
        printf '%-12s %-9s %6s %12s %12s %7s%% %9s%% %8ss %8ss\n' "$name" "$target" "$seconds" "$estimate" "$actual" \
            "$1" "$2" "$3" "$4"
        echo "$target $1 $2" >>"$results"
    done
    rm -f "$work/$name.mp4"
done

python3 - "$results" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1]) if line.strip()]
if not rows:
    sys.exit("no results")
def summary(label, values):
    values = [abs(v) for v in values]
    print(f"{label:<22} median |error| {statistics.median(values):6.1f}%   worst {max(values):6.1f}%   ({len(values)} cases)")
print()
summary("estimator, all", [float(r[1]) for r in rows])
summary("naive (source size)", [float(r[2]) for r in rows])
for target in sorted({r[0] for r in rows}):
    summary("estimator, " + target, [float(r[1]) for r in rows if r[0] == target])
PY
