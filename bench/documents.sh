#!/usr/bin/env bash
# Document benchmark, in one run: 20 small documents (docx, odt, rtf, html mixed) to PDF and to
# DOCX, ours (one warm office worker for the batch, as the converter queue uses it) against
# `soffice --headless --convert-to`, one process per file as a batch script would run it.
# Prints total wall time per side and the ratio. Goal: ours at least 10x faster in total.
# Fixtures are made by our own engine into build-bench/bench-documents.
#
#   bench/documents.sh
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
work="$build/bench-documents"

"$root/scripts/install-deps.sh" bench runtime
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-documents quorvane-document-worker >/dev/null
bin="$build/bin"

rm -rf "$work"
mkdir -p "$work/in" "$work/ours" "$work/soffice"
"$bin/bench-documents" make "$work/in" 20
inputs=("$work/in/"document-*)
[ "${#inputs[@]}" -eq 20 ] || { echo "fixtures missing" >&2; exit 1; }

# soffice gets a profile of its own, made before timing so both sides start from a built profile.
profile="file://$work/soffice-profile"
soffice -env:UserInstallation="$profile" --headless --convert-to pdf --outdir "$work/soffice/warm" \
    "${inputs[0]}" >/dev/null 2>&1

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

run_ours() {
    local target="$1"
    local start end
    start=$(now)
    "$bin/bench-documents" "$target" "$work/ours/$target" "${inputs[@]}"
    end=$(now)
    elapsed "$start" "$end"
}

run_soffice() {
    local format="$1"
    local start end file
    start=$(now)
    for file in "${inputs[@]}"; do
        local infilter=()
        # soffice opens web pages as Writer/Web documents, which have no DOCX export.
        [[ "$file" == *.html ]] && infilter=(--infilter="HTML (StarWriter)")
        soffice -env:UserInstallation="$profile" --headless "${infilter[@]}" --convert-to "$format" \
            --outdir "$work/soffice/${format%%:*}" "$file" >/dev/null 2>&1
    done
    end=$(now)
    elapsed "$start" "$end"
}

count() { find "$1" -type f -size +0 | wc -l; }

echo "20 documents (5 each of docx, odt, rtf, html), one after another:"
printf '  %-8s %12s %16s %8s\n' "target" "ours (s)" "soffice (s)" "ratio"
total_ours=0
total_soffice=0
for pair in "doc-pdf:pdf" "docx:docx:MS Word 2007 XML"; do
    target="${pair%%:*}"
    format="${pair#*:}"
    ours=$(run_ours "$target")
    theirs=$(run_soffice "$format")
    [ "$(count "$work/ours/$target")" -eq 20 ] || { echo "ours: missing outputs for $target" >&2; exit 1; }
    [ "$(count "$work/soffice/${format%%:*}")" -eq 20 ] || echo "  (soffice wrote $(count "$work/soffice/${format%%:*}") of 20 for $target)"
    printf '  %-8s %12s %16s %7sx\n' "$target" "$ours" "$theirs" "$(awk -v a="$theirs" -v b="$ours" 'BEGIN { printf "%.1f", a / b }')"
    total_ours=$(awk -v a="$total_ours" -v b="$ours" 'BEGIN { print a + b }')
    total_soffice=$(awk -v a="$total_soffice" -v b="$theirs" 'BEGIN { print a + b }')
done
printf '  %-8s %12.2f %16.2f %7sx   (goal: 10x)\n' "total" "$total_ours" "$total_soffice" \
    "$(awk -v a="$total_soffice" -v b="$total_ours" 'BEGIN { printf "%.1f", a / b }')"
