#!/usr/bin/env bash
# Video conversion benchmark, in one run:
#   1. our FFmpeg::Job (probe + argument builder + job, as the converter runs it) against plain
#      ffmpeg with the identical argument list: the job's overhead, expected ratio about 1.00;
#   2. our default MP4 (H.264, balanced) against HandBrakeCLI's "Fast 1080p30" preset: time,
#      output size and SSIM against the source (ffmpeg's ssim filter).
# The clip is generated: 1920x1080, 30 fps, 30 seconds of lavfi testsrc2 with a tone.
#
#   [RUNS=3] bench/ffmpeg.sh [SECONDS]      (default 30 s; job and plain ffmpeg alternate RUNS times)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
work="$build/bench-ffmpeg"
seconds="${1:-30}"
runs="${RUNS:-3}"

"$root/scripts/install-deps.sh" bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-ffmpeg-job qc_ffmpeg_links >/dev/null

driver="$build/bin/bench-ffmpeg-job"
ffmpeg="$build/share/quorvane-converter/ffmpeg/ffmpeg"
mkdir -p "$work"
rm -f "$work"/out-*

clip="$work/clip-1080p-${seconds}s.mp4"
if [ ! -s "$clip" ]; then
    echo "Generating $clip ..."
    "$ffmpeg" -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=$seconds" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
        -c:v libx264 -preset ultrafast -crf 10 -pix_fmt yuv420p -c:a aac -b:a 192k "$clip"
fi

# Runs a command and appends "wall cpu" (seconds; cpu = user + system of it and its children) to
# the file named first. CPU time hardly moves with the machine's other work; wall time does.
timed() {
    local into="$1"
    shift
    /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "$@"
    awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/time.txt" >>"$into"
}

# 1. Job against plain ffmpeg with the same arguments.
mapfile -t arguments < <("$driver" --print-arguments --target mp4 --quality balanced "$clip" "$work/out-plain.mp4")

# Alternating runs, best of each: the machine's other work only ever adds time.
: >"$work/job.times"
: >"$work/plain.times"
for run in $(seq "$runs"); do
    timed "$work/job.times" "$driver" --target mp4 --quality balanced "$clip" "$work/out-job.mp4" >"$work/job.log"
    timed "$work/plain.times" "$ffmpeg" "${arguments[@]}" >/dev/null
done
best() { cut -d' ' -f"$2" "$1" | sort -g | head -1; }
all() { cut -d' ' -f1 "$1" | paste -sd' '; }
job_time=$(best "$work/job.times" 1)
job_cpu=$(best "$work/job.times" 2)
plain_time=$(best "$work/plain.times" 1)
plain_cpu=$(best "$work/plain.times" 2)

# 2. HandBrakeCLI on the same clip.
: >"$work/handbrake.times"
timed "$work/handbrake.times" HandBrakeCLI --preset "Fast 1080p30" -i "$clip" -o "$work/out-handbrake.mp4" \
    >"$work/handbrake.log" 2>&1
handbrake_time=$(best "$work/handbrake.times" 1)
handbrake_cpu=$(best "$work/handbrake.times" 2)

ssim() {
    "$ffmpeg" -hide_banner -nostats -i "$1" -i "$clip" -lavfi "[0:v][1:v]ssim" -f null - 2>&1 |
        sed -n 's/.*SSIM .* All:\([0-9.]*\).*/\1/p' | tail -1
}
size_mb() { awk -v n="$(stat -c%s "$1")" 'BEGIN { printf "%.2f", n / 1048576 }'; }

printf '\nClip: %s (1920x1080, 30 fps, %s s, %s MB)\n\n' "$(basename "$clip")" "$seconds" "$(size_mb "$clip")"
printf '%-38s %10s %10s   %s\n' "MP4 (H.264), balanced" "best wall" "best CPU" "all wall times"
printf '%-38s %9.2fs %9.2fs   %s\n' "FFmpeg::Job (QuorvaneConverter)" "$job_time" "$job_cpu" "$(all "$work/job.times")"
printf '%-38s %9.2fs %9.2fs   %s\n' "plain ffmpeg, identical arguments" "$plain_time" "$plain_cpu" \
    "$(all "$work/plain.times")"
printf '%-38s %10.2f %10.2f\n\n' "ratio job / plain" \
    "$(awk -v a="$job_time" -v b="$plain_time" 'BEGIN { printf "%.3f", a / b }')" \
    "$(awk -v a="$job_cpu" -v b="$plain_cpu" 'BEGIN { printf "%.3f", a / b }')"

printf '%-38s %10s %10s %10s %9s\n' "Against HandBrakeCLI" "wall" "CPU" "size MB" "SSIM"
printf '%-38s %9.2fs %9.2fs %10s %9s\n' "QuorvaneConverter MP4 balanced (job)" "$job_time" "$job_cpu" \
    "$(size_mb "$work/out-job.mp4")" "$(ssim "$work/out-job.mp4")"
printf '%-38s %9.2fs %9.2fs %10s %9s\n' "HandBrakeCLI \"Fast 1080p30\"" "$handbrake_time" "$handbrake_cpu" \
    "$(size_mb "$work/out-handbrake.mp4")" "$(ssim "$work/out-handbrake.mp4")"
printf '\nLoad average during the run: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
