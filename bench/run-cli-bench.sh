#!/usr/bin/env bash
# Times the whole kestrify-cli command on an mbox of Japanese web-form mails
# in mixed encodings (bench/GenerateFormMbox.cpp), converted with the example
# project examples/inquiries.KFY, once with --jobs 1 and once with --jobs 2.
# Reports mails per second (wall clock), CPU seconds and peak resident memory
# (from /usr/bin/time -v), best of a few runs, and checks both CSV files are
# equal. With KESTRIFY_BENCH_BASELINE naming another kestrify-cli (an older
# build), both programs run alternately on the same store, so a shared or
# busy machine treats them alike, and their CSV files are compared too.
#
#   bench/run-cli-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (100000), KESTRIFY_BENCH_RUNS (3),
#   KESTRIFY_BENCH_DIR (a folder under $TMPDIR), KESTRIFY_BENCH_BUILD
#   (build-release, the folder scripts/run uses), KESTRIFY_BENCH_BASELINE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-100000}
runs=${KESTRIFY_BENCH_RUNS:-3}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-cli-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-release}

. "$root/bench/common.sh"
"$root/scripts/install-deps"
bench_need_time run-cli-bench
bench_build "$build" OFF kestrify-cli gen_form_mbox
cli=$build/bin/kestrify-cli

mkdir -p "$work"
mbox=$(bench_store "$build" "$mails" "$work")
size_mb=$(awk -v b="$(stat -c %s "$mbox")" 'BEGIN { printf "%.1f", b / 1048576 }')

# seconds: "Elapsed (wall clock) time (h:mm:ss or m:ss): 1:02.34" -> 62.34
elapsed() {
    sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1" |
        awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s }'
}
field() { sed -n "s/.*$2: //p" "$1"; }

programs=("$cli")
names=(current)
if [ -n "${KESTRIFY_BENCH_BASELINE:-}" ]; then
    programs=("$KESTRIFY_BENCH_BASELINE" "$cli")
    names=(baseline current)
fi

echo "kestrify-cli on $mails mails ($size_mb MB mbox), best of $runs runs"
printf '%-9s %-5s %8s %10s %8s %8s %15s\n' "program" "jobs" "seconds" "mails/s" "user" "system" "peak RSS (MiB)"
for jobs in 1 2; do
    declare -A best=() user=() system=() peak=()
    for ((run = 1; run <= runs; run++)); do
        for p in "${!programs[@]}"; do
            status=0
            /usr/bin/time -v -o "$work/time.txt" "${programs[$p]}" --quiet --no-backup --jobs "$jobs" \
                --location "$mbox" "$root/examples/inquiries.KFY" "$work/out-${names[$p]}-$jobs.csv" ||
                status=$?
            if [ "$status" -ne 0 ]; then
                echo "run-cli-bench: ${programs[$p]} exited with $status" >&2
                exit 1
            fi
            seconds=$(elapsed "$work/time.txt")
            if [ -z "${best[$p]:-}" ] || awk -v a="$seconds" -v b="${best[$p]}" 'BEGIN { exit !(a < b) }'; then
                best[$p]=$seconds
                user[$p]=$(field "$work/time.txt" "User time (seconds)")
                system[$p]=$(field "$work/time.txt" "System time (seconds)")
                peak[$p]=$(field "$work/time.txt" "Maximum resident set size (kbytes)")
            fi
        done
    done
    for p in "${!programs[@]}"; do
        awk -v name="${names[$p]}" -v j="$jobs" -v s="${best[$p]}" -v n="$mails" -v u="${user[$p]}" \
            -v y="${system[$p]}" -v kb="${peak[$p]}" \
            'BEGIN { printf "%-9s %-5s %8.2f %10.0f %8.2f %8.2f %15.1f\n", name, j, s, n / s, u, y, kb / 1024 }'
    done
    unset best user system peak
done

# What the command is held against: grep counting the separator lines (the
# file read as fast as it can be read) and a plain Python script
# (bench/plain-script.py); KESTRIFY_BENCH_SCRIPT=0 leaves the script out.
# Figures: best wall time and its CPU time (user + system).
floor() {
    local label=$1 n=$2 best="" cpu=""
    shift 2
    for ((run = 1; run <= n; run++)); do
        # Not to /dev/null: grep stops at the first match when it sees it.
        /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "$@" >"$work/floor.out"
        read -r s u y <"$work/time.txt"
        if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$s
            cpu=$(awk -v u="$u" -v y="$y" 'BEGIN { printf "%.2f", u + y }')
        fi
    done
    printf '%-24s %8.2f s wall %8.2f s CPU\n' "$label" "$best" "$cpu"
}
floor "grep -c '^From '" "$runs" grep -c '^From ' "$mbox"
if [ "${KESTRIFY_BENCH_SCRIPT:-1}" != 0 ] && command -v python3 >/dev/null 2>&1; then
    floor "plain Python script" 1 python3 "$root/bench/plain-script.py" "$mbox" "$work/script.csv"
fi

for name in "${names[@]}"; do
    if ! cmp -s "$work/out-current-1.csv" "$work/out-$name-2.csv" ||
        ! cmp -s "$work/out-current-1.csv" "$work/out-$name-1.csv"; then
        echo "run-cli-bench: the $name program wrote another CSV than the current one with --jobs 1" >&2
        exit 1
    fi
done
echo "every run wrote the same $(wc -l <"$work/out-current-1.csv") lines"
