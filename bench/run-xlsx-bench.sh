#!/usr/bin/env bash
# The same run written as CSV and as an Excel workbook: kestrify-cli converts
# an mbox of generated Japanese web-form mails (bench/GenerateFormMbox.cpp)
# with the example project examples/inquiries.KFY to out.csv and to
# out.xlsx. Reports wall-clock seconds, CPU seconds and peak resident memory
# (/usr/bin/time -v, best of a few runs) and the size of each file.
#
#   bench/run-xlsx-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (200000), KESTRIFY_BENCH_RUNS (3),
#   KESTRIFY_BENCH_JOBS (2), KESTRIFY_BENCH_DIR (a folder under $TMPDIR),
#   KESTRIFY_BENCH_BUILD (build-release, the folder scripts/run uses).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-200000}
runs=${KESTRIFY_BENCH_RUNS:-3}
jobs=${KESTRIFY_BENCH_JOBS:-2}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-xlsx-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-release}

. "$root/bench/common.sh"
"$root/scripts/install-deps"
bench_need_time run-xlsx-bench
bench_build "$build" OFF kestrify-cli gen_form_mbox
cli=$build/bin/kestrify-cli

mkdir -p "$work"
mbox=$(bench_store "$build" "$mails" "$work")

elapsed() {
    sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1" |
        awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s }'
}
field() { sed -n "s/.*$2: //p" "$1"; }

echo "kestrify-cli on $mails mails, --jobs $jobs, best of $runs runs"
printf '%-6s %8s %8s %8s %15s %12s\n' "output" "seconds" "user" "system" "peak RSS (MiB)" "size (MiB)"
for format in csv xlsx; do
    best="" user="" system="" peak=""
    for ((run = 1; run <= runs; run++)); do
        rm -f "$work/out.$format"
        /usr/bin/time -v -o "$work/time.txt" "$cli" --quiet --no-backup --jobs "$jobs" \
            --location "$mbox" "$root/examples/inquiries.KFY" "$work/out.$format"
        seconds=$(elapsed "$work/time.txt")
        if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$seconds
            user=$(field "$work/time.txt" "User time (seconds)")
            system=$(field "$work/time.txt" "System time (seconds)")
            peak=$(field "$work/time.txt" "Maximum resident set size (kbytes)")
        fi
    done
    awk -v f="$format" -v s="$best" -v u="$user" -v y="$system" -v kb="$peak" \
        -v b="$(stat -c %s "$work/out.$format")" \
        'BEGIN { printf "%-6s %8.2f %8.2f %8.2f %15.1f %12.1f\n", f, s, u, y, kb / 1024, b / 1048576 }'
done
