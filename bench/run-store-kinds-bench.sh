#!/usr/bin/env bash
# The Maildir (6) and Thunderbird folder (8) readers against the mbox reader
# (2) on the same form mails: listing or indexing plus every mail record
# built on JOBS threads, with a warm page cache (each store is read once
# before it is timed), and the peak resident memory of each run.
#
#   bench/run-store-kinds-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (1000000: a million-file Maildir and a
#   Thunderbird folder of about 1.5 GB), KESTRIFY_BENCH_JOBS (2),
#   KESTRIFY_BENCH_DIR (a folder under $TMPDIR), KESTRIFY_BENCH_BUILD
#   (build-release), KESTRIFY_BENCH_ROUNDS (3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-1000000}
jobs=${KESTRIFY_BENCH_JOBS:-2}
rounds=${KESTRIFY_BENCH_ROUNDS:-3}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-store-kinds-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-release}

. "$root/bench/common.sh"
bench_build "$build" OFF gen_form_mbox bench_store_kinds
bench=$build/bench/bench_store_kinds

mbox=$(bench_store "$build" "$mails" "$work")
stores=$work/kinds-$mails
if [ ! -f "$stores/done" ]; then
    echo "Writing the Maildir and the Thunderbird folder to $stores" >&2
    rm -rf "$stores"
    "$bench" make "$mbox" "$stores"
    touch "$stores/done"
fi

# On a shared machine the wall time varies with what else runs: each store
# is read ROUNDS times, the stores taking turns, and the run with the least
# CPU time (user + system, all threads) is shown.
best() {
    sort -g -k7,7 | head -n 1
}
declare -A runs
for round in $(seq "$rounds"); do
    for kind in "mbox 2 $mbox" "maildir 6 $stores/Maildir" "thunderbird 8 $stores/thunderbird"; do
        read -r name type path <<<"$kind"
        [ "$round" = 1 ] && "$bench" read "$type" "$path" "$jobs" >/dev/null  # warms the page cache
        runs[$name]+="$("$bench" read "$type" "$path" "$jobs")"$'\n'
    done
done
printf '%-12s %9s %8s %10s %8s %7s %6s %s\n' store mails seconds mails/s RSS-MB failed listed cpu-s
for name in mbox maildir thunderbird; do
    read -r count seconds rate rss failed listed cpu < <(printf '%s' "${runs[$name]}" | best)
    printf '%-12s %9s %8s %10s %8s %7s %6s %s\n' "$name" "$count" "$seconds" "$rate" "$rss" "$failed" \
        "$listed" "$cpu"
done
