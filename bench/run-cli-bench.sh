#!/usr/bin/env bash
# Times the whole kestrify-cli command on an mbox of Japanese web-form mails
# in mixed encodings (bench/GenerateFormMbox.cpp), converted with the example
# project examples/inquiries.KFY, once with --jobs 1 and once with --jobs 2.
# Reports mails per second (wall clock) and peak resident memory (from
# /usr/bin/time -v), best of a few runs, and checks both CSV files are equal.
#
#   bench/run-cli-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (100000), KESTRIFY_BENCH_RUNS (3),
#   KESTRIFY_BENCH_DIR (a folder under $TMPDIR), KESTRIFY_BENCH_BUILD
#   (build-release, the folder scripts/run uses).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-100000}
runs=${KESTRIFY_BENCH_RUNS:-3}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-cli-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-release}

"$root/scripts/install-deps"
if [ ! -x /usr/bin/time ]; then
    echo "run-cli-bench: /usr/bin/time is missing (Debian package 'time')" >&2
    exit 2
fi

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DKESTRIFY_BUILD_GUI=OFF -DKESTRIFY_BUILD_TESTS=OFF -DKESTRIFY_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target kestrify-cli gen_form_mbox >/dev/null
cli=$build/bin/kestrify-cli

mkdir -p "$work"
mbox=$work/forms-$mails.mbox
if [ ! -s "$mbox" ]; then
    echo "Writing $mails form mails to $mbox" >&2
    "$build/bench/gen_form_mbox" "$mails" "$mbox.part"
    mv "$mbox.part" "$mbox"
fi
size_mb=$(awk -v b="$(stat -c %s "$mbox")" 'BEGIN { printf "%.1f", b / 1048576 }')

# seconds: "Elapsed (wall clock) time (h:mm:ss or m:ss): 1:02.34" -> 62.34
elapsed() {
    sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1" |
        awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s }'
}
peak_kb() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }

echo "kestrify-cli on $mails mails ($size_mb MB mbox), best of $runs runs"
printf '%-8s %10s %12s %16s\n' "jobs" "seconds" "mails/s" "peak RSS (MiB)"
for jobs in 1 2; do
    best=""
    best_kb=""
    for ((run = 1; run <= runs; run++)); do
        status=0
        /usr/bin/time -v -o "$work/time.txt" "$cli" --quiet --no-backup --jobs "$jobs" \
            --location "$mbox" "$root/examples/inquiries.KFY" "$work/out-$jobs.csv" || status=$?
        if [ "$status" -ne 0 ]; then
            echo "run-cli-bench: kestrify-cli exited with $status" >&2
            exit 1
        fi
        seconds=$(elapsed "$work/time.txt")
        if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$seconds
            best_kb=$(peak_kb "$work/time.txt")
        fi
    done
    awk -v j="$jobs" -v s="$best" -v n="$mails" -v kb="$best_kb" \
        'BEGIN { printf "%-8s %10.2f %12.0f %16.1f\n", j, s, n / s, kb / 1024 }'
done

if cmp -s "$work/out-1.csv" "$work/out-2.csv"; then
    echo "--jobs 2 wrote the same $(wc -l <"$work/out-1.csv") lines as --jobs 1"
else
    echo "run-cli-bench: --jobs 2 wrote another CSV than --jobs 1" >&2
    exit 1
fi
