#!/usr/bin/env bash
# Picture and PDF benchmark, in one run, each figure next to the tool it is compared with, with
# wall time and peak memory (/usr/bin/time -v's maximum resident set size):
#   1. 20 camera-sized JPEGs (4000x3000) to JPEG at 1920, balanced: ours against ImageMagick
#      (convert -auto-orient -resize 1920x1920 -quality 82, one process per picture, as a batch
#      script would run it) and vips' own command line (vipsthumbnail).
#      Goals: at least 3x ImageMagick's throughput, within 1.2x of vipsthumbnail.
#   2. The same 20 JPEGs into one PDF, nothing scaled: ours against img2pdf, time and size.
#      Goal: no slower and no larger than img2pdf.
#   3. A 50-page PDF to PNG pages at balanced (2x = 144 dpi): ours against pdftoppm -r 144 -png.
#      Goal: within 1.2x.
#   4. Memory on large inputs: a 100-megapixel JPEG to JPEG at 1920 and to PNG at full size;
#      a 500-page PDF to text and to PNG pages (small).
# Fixtures are generated into build-bench/bench-pictures (ffmpeg for the photos, cairo for PDFs).
#
#   bench/pictures.sh [--quick]      (--quick skips part 4)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
work="$build/bench-pictures"
quick="${1:-}"

"$root/scripts/install-deps.sh" bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-pictures-convert bench-pictures-combine bench-pictures-pdf \
    bench-pictures-sample-pdf >/dev/null
bin="$build/bin"
# The real ImageMagick, whatever else is first on the PATH.
magick=/usr/bin/convert
[ -x /usr/bin/convert-im6.q16 ] && magick=/usr/bin/convert-im6.q16

mkdir -p "$work/photos" "$work/pdf"
if [ "$(ls "$work/photos" | wc -l)" -ne 20 ]; then
    echo "Generating 20 photos of 4000x3000 ..."
    rm -f "$work/photos/"*
    # Test pattern with grain: detail like a photo's, so JPEG sizes and decode times are realistic.
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=4000x3000:rate=1" \
        -vf "noise=alls=10:allf=t+u" -frames:v 20 -q:v 3 "$work/photos/photo-%02d.jpg"
fi
[ -s "$work/pdf/sample-50.pdf" ] || "$bin/bench-pictures-sample-pdf" 50 "$work/pdf/sample-50.pdf"
photos=("$work/photos/"photo-*.jpg)

# measure NAME COMMAND...: runs it once, records seconds and peak MB in $seconds and $peak.
measure() {
    local name="$1"
    shift
    sync
    /usr/bin/time -f "%e %M" -o "$work/time-$name.txt" "$@" >"$work/log-$name.txt" 2>&1 || {
        echo "$name failed:" >&2
        cat "$work/log-$name.txt" >&2
        exit 1
    }
    read -r seconds kb <"$work/time-$name.txt"
    peak=$(awk -v k="$kb" 'BEGIN { printf "%.0f", k / 1024 }')
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
size_mb() { awk -v n="$(stat -c%s "$1")" 'BEGIN { printf "%.2f", n / 1048576 }'; }
dir_mb() { awk -v n="$(du -sb "$1" | cut -f1)" 'BEGIN { printf "%.2f", n / 1048576 }'; }
row() { printf '  %-34s %8s s %8s MB peak %s\n' "$1" "$2" "$3" "${4:-}"; }

# Warm the page cache so every tool reads from memory.
cat "${photos[@]}" "$work/pdf/sample-50.pdf" >/dev/null

echo
echo "1. 20 JPEGs 4000x3000 -> JPEG 1920, balanced (Q 82)"
rm -rf "$work/out-ours" "$work/out-magick" "$work/out-vips"
mkdir -p "$work/out-magick" "$work/out-vips"
measure ours "$bin/bench-pictures-convert" jpeg 1920 balanced "$work/out-ours" "${photos[@]}"
ours_time=$seconds ours_peak=$peak
measure magick bash -c 'm="$1"; o="$2"; shift 2; for f in "$@"; do "$m" "$f" -auto-orient -resize 1920x1920 -quality 82 "$o/$(basename "$f")"; done' \
    _ "$magick" "$work/out-magick" "${photos[@]}"
magick_time=$seconds magick_peak=$peak
measure vips vipsthumbnail -s 1920x1920 -o "$work/out-vips/%s.jpg[Q=82]" "${photos[@]}"
vips_time=$seconds vips_peak=$peak
row "ours (convertImage)" "$ours_time" "$ours_peak" "$(dir_mb "$work/out-ours") MB out"
row "ImageMagick convert" "$magick_time" "$magick_peak" "$(dir_mb "$work/out-magick") MB out"
row "vipsthumbnail" "$vips_time" "$vips_peak" "$(dir_mb "$work/out-vips") MB out"
echo "  throughput vs ImageMagick: $(ratio "$magick_time" "$ours_time")x (goal >= 3)"
echo "  time vs vipsthumbnail:     $(ratio "$ours_time" "$vips_time")x (goal <= 1.2)"

echo
echo "2. 20 JPEGs 4000x3000 -> one PDF, nothing scaled"
measure combine "$bin/bench-pictures-combine" "$work/ours.pdf" "${photos[@]}"
combine_time=$seconds combine_peak=$peak
rm -f "$work/img2pdf.pdf"
measure img2pdf img2pdf "${photos[@]}" -o "$work/img2pdf.pdf"
img2pdf_time=$seconds img2pdf_peak=$peak
row "ours (picturesToPDF)" "$combine_time" "$combine_peak" "$(size_mb "$work/ours.pdf") MB pdf"
row "img2pdf" "$img2pdf_time" "$img2pdf_peak" "$(size_mb "$work/img2pdf.pdf") MB pdf"
echo "  time vs img2pdf: $(ratio "$combine_time" "$img2pdf_time")x, size vs img2pdf: $(ratio "$(stat -c%s "$work/ours.pdf")" "$(stat -c%s "$work/img2pdf.pdf")")x (goal <= 1 each)"

echo
echo "3. 50-page PDF -> PNG pages, balanced (2x, 144 dpi)"
rm -rf "$work/pages-poppler"
mkdir -p "$work/pages-poppler"
measure pages "$bin/bench-pictures-pdf" pdf-png balanced "$work/pdf/sample-50.pdf" "$work/pages-ours"
pages_time=$seconds pages_peak=$peak
measure pdftoppm pdftoppm -r 144 -png "$work/pdf/sample-50.pdf" "$work/pages-poppler/page"
pdftoppm_time=$seconds pdftoppm_peak=$peak
row "ours (convertPDF pdf-png)" "$pages_time" "$pages_peak" "$(dir_mb "$work/pages-ours") MB out"
row "pdftoppm -r 144 -png" "$pdftoppm_time" "$pdftoppm_peak" "$(dir_mb "$work/pages-poppler") MB out"
echo "  time vs pdftoppm: $(ratio "$pages_time" "$pdftoppm_time")x (goal <= 1.2)"

if [ "$quick" = "--quick" ]; then
    exit 0
fi

echo
echo "4. Memory on large inputs"
if [ ! -s "$work/photos-large/huge.jpg" ]; then
    mkdir -p "$work/photos-large"
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=10000x10000:rate=1" \
        -vf "noise=alls=10:allf=t+u" -frames:v 1 -q:v 3 "$work/photos-large/huge.jpg"
fi
[ -s "$work/pdf/sample-500.pdf" ] || "$bin/bench-pictures-sample-pdf" 500 "$work/pdf/sample-500.pdf"
measure huge-jpeg "$bin/bench-pictures-convert" jpeg 1920 balanced "$work/out-huge" "$work/photos-large/huge.jpg"
row "100 MP JPEG -> JPEG 1920" "$seconds" "$peak"
measure huge-png "$bin/bench-pictures-convert" png 0 balanced "$work/out-huge" "$work/photos-large/huge.jpg"
row "100 MP JPEG -> PNG full size" "$seconds" "$peak"
measure huge-pdf "$bin/bench-pictures-combine" --max-size 4000 "$work/huge.pdf" "$work/photos-large/huge.jpg"
row "100 MP JPEG -> PDF at 4000" "$seconds" "$peak"
measure long-txt "$bin/bench-pictures-pdf" pdf-txt balanced "$work/pdf/sample-500.pdf" "$work/sample-500.txt"
row "500-page PDF -> text" "$seconds" "$peak"
measure long-png "$bin/bench-pictures-pdf" pdf-png small "$work/pdf/sample-500.pdf" "$work/pages-500"
row "500-page PDF -> PNG pages (small)" "$seconds" "$peak"
