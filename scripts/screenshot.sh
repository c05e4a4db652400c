#!/usr/bin/env bash
# Takes docs/screenshot.png: starts the built application on a virtual display (Xvfb) with a
# few freshly generated files (a video, a song, two pictures, a text document), waits for their
# sizes to be worked out, and captures the window.
#
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT]     (defaults: build, docs/screenshot.png)
#
# Needs xvfb, xauth, imagemagick (import) and ffmpeg: scripts/install-deps.sh test runtime.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
output="${2:-$root/docs/screenshot.png}"
app="$build/bin/quorvane-converter"
[ -x "$app" ] || { echo "screenshot: build the application first ($app is missing)" >&2; exit 1; }
for tool in Xvfb import ffmpeg; do
    command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/install-deps.sh test runtime)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/qc-screenshot-XXXXXX")"
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The files shown in the window, made on the spot.
files="$work/files"
mkdir -p "$files"
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
"${ff[@]}" -f lavfi -i "testsrc2=size=640x360:rate=25:duration=3" -f lavfi -i "sine=frequency=440:duration=3" \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "$files/Harbour at dusk.mp4"
"${ff[@]}" -f lavfi -i "sine=frequency=330:duration=4" -ac 2 -ar 44100 "$files/Interview take 2.wav"
"${ff[@]}" -f lavfi -i "mandelbrot=size=800x600" -frames:v 1 "$files/Poster draft.png"
"${ff[@]}" -f lavfi -i "testsrc=size=640x480" -frames:v 1 "$files/Test card.jpg"
printf 'Meeting notes\n\nAgenda, decisions and next steps.\n' > "$files/Meeting notes.txt"

# A private home for the run: no settings, logs or sockets of the real user are touched.
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_CACHE_HOME="$work/cache"
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# The screen is the window's own size, so the centred window fills it exactly.
display=":$((90 + RANDOM % 500))"
Xvfb "$display" -screen 0 800x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done

export QT_QPA_PLATFORM=xcb
runner=()
command -v dbus-run-session >/dev/null && runner=(dbus-run-session --)
"${runner[@]}" "$app" "$files/Harbour at dusk.mp4" "$files/Interview take 2.wav" "$files/Poster draft.png" \
    "$files/Test card.jpg" "$files/Meeting notes.txt" >"$work/app.log" 2>&1 &
app_pid=$!

# Probing and the size sample of the video take a few seconds.
sleep "${QC_SCREENSHOT_WAIT:-8}"
mkdir -p "$(dirname "$output")"
import -window root "$output"
echo "screenshot: wrote $output"
