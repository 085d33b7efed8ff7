#!/usr/bin/env bash
# Memory of kestrify-cli on a large store with a column that takes each
# mail's whole body (the largest CSV a project can ask for): peak resident
# memory, and peak anonymous memory, which is what the command holds beyond
# the pages of the mapped store (sampled from /proc/PID/smaps_rollup every
# 20 ms). The rows go to disk as they are made, so the anonymous peak should
# not grow with the number of mails.
#
#   bench/run-memory-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (650000, about 1 GB), KESTRIFY_BENCH_DIR
#   (a folder under $TMPDIR), KESTRIFY_BENCH_BUILD (build-release).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-650000}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-memory-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-release}

. "$root/bench/common.sh"
"$root/scripts/install-deps"
bench_build "$build" OFF kestrify-cli gen_form_mbox
cli=$build/bin/kestrify-cli

mkdir -p "$work"
mbox=$(bench_store "$build" "$mails" "$work")
size_mb=$(awk -v b="$(stat -c %s "$mbox")" 'BEGIN { printf "%.0f", b / 1048576 }')

# Two columns: the subject, and every body line from the first on (the key
# "^" as a regular expression matches each line; multi-line, no end string).
project=$work/whole-body.KFY
cat >"$project" <<'KFY'
[EML]
MAILTYPE=2
PARAM=2
PARAM_KEY0=Subject:
FIELD_NAME0=Subject
PARAM_ROW_TYPE0=1
PARAM_POS_TYPE0=1
PARAM_ORDER0=0
FIELD_ORDER0=0
START_LINE0=1
PARAM_KEY1=^
FIELD_NAME1=Body
PARAM_ROW_TYPE1=0
PARAM_POS_TYPE1=0
PARAM_ORDER1=1
FIELD_ORDER1=1
PARAM_REGEXT1=1
START_LINE1=1
[SYSTEM]
VERSION=4
KFY

# Peak of a smaps_rollup field (kB) of process $1 while it runs.
watch_peak() {
    local pid=$1 rss=0 anon=0 r a
    while [ -r "/proc/$pid/smaps_rollup" ]; do
        r=$(awk '/^Rss:/ { print $2 }' "/proc/$pid/smaps_rollup" 2>/dev/null || true)
        a=$(awk '/^Anonymous:/ { print $2 }' "/proc/$pid/smaps_rollup" 2>/dev/null || true)
        [ -n "$r" ] && [ "$r" -gt "$rss" ] && rss=$r
        [ -n "$a" ] && [ "$a" -gt "$anon" ] && anon=$a
        sleep 0.02
    done
    echo "$rss $anon"
}

echo "kestrify-cli on $mails mails ($size_mb MB mbox), subject and whole body"
printf '%-5s %8s %12s %16s %20s\n' "jobs" "seconds" "CSV (MB)" "peak RSS (MiB)" "peak anonymous (MiB)"
for jobs in 1 2; do
    start=$(date +%s.%N)
    "$cli" --quiet --no-backup --jobs "$jobs" --location "$mbox" "$project" "$work/out.csv" &
    pid=$!
    read -r rss anon < <(watch_peak "$pid")
    wait "$pid"
    end=$(date +%s.%N)
    csv_mb=$(awk -v b="$(stat -c %s "$work/out.csv")" 'BEGIN { printf "%.0f", b / 1048576 }')
    awk -v j="$jobs" -v s="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" -v c="$csv_mb" \
        -v r="$rss" -v a="$anon" 'BEGIN { printf "%-5s %8.2f %12s %16.1f %20.1f\n", j, s, c, r / 1024, a / 1024 }'
done
