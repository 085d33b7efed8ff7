#!/usr/bin/env bash
# Times runs that convert only new mail against a full conversion, on an
# mbox of generated form mails (bench/GenerateFormMbox.cpp) converted with
# examples/inquiries.KFY:
#   full      every mail converted (--all), the reference
#   record    the first --only-new run: every mail converted and recorded
#   none      --only-new with nothing new (the file unchanged)
#   new       --only-new after KESTRIFY_BENCH_NEW mails were appended
#   compact   --only-new after the first mail was removed (no fast path:
#             every mail told by its identity, nothing new)
# and checks that the CSV holds every mail once. The targets: "none" under 5%
# of "full"; "new" under 5% of "full" plus the time of the new mails alone.
#
#   bench/run-only-new-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (1000000), KESTRIFY_BENCH_NEW (1000),
#   KESTRIFY_BENCH_JOBS (1), KESTRIFY_BENCH_DIR (a folder under $TMPDIR),
#   KESTRIFY_BENCH_BUILD (build-release). The record goes to a state folder
#   inside KESTRIFY_BENCH_DIR, never the real home.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-1000000}
new=${KESTRIFY_BENCH_NEW:-1000}
jobs=${KESTRIFY_BENCH_JOBS:-1}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-only-new-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-release}

. "$root/bench/common.sh"
"$root/scripts/install-deps"
bench_build "$build" OFF kestrify-cli gen_form_mbox
cli=$build/bin/kestrify-cli

mkdir -p "$work"
all=$(bench_store "$build" $((mails + new)) "$work")
# The first MAILS mails, cut where mail MAILS + 1 starts.
old=$work/old-$mails.mbox
if [ ! -s "$old" ]; then
    cut=$(grep -a -b '^From ' "$all" | sed -n "$((mails + 1))p" | cut -d: -f1)
    head -c "$cut" "$all" >"$old"
fi
store=$work/store.mbox
export XDG_STATE_HOME=$work/state
rm -rf "$XDG_STATE_HOME" "$work"/out-*.csv

bench_need_time run-only-new-bench
# run NAME OPTION OUTPUT: times one run of the command on the store (wall
# clock, and CPU seconds, which a busy shared machine disturbs less).
declare -A took=() cpu=()
run() {
    local name=$1
    /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "$cli" --quiet --no-backup --jobs "$jobs" \
        --location "$store" "$2" "$root/examples/inquiries.KFY" "$3"
    read -r wall user system <"$work/time.txt"
    took[$name]=$wall
    cpu[$name]=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
}

cp "$old" "$store"
run full --all "$work/out-full.csv"
run record --only-new "$work/out-new.csv"
run none --only-new "$work/out-new.csv"
tail -c +"$(($(stat -c %s "$old") + 1))" "$all" >>"$store"
run new --only-new "$work/out-new.csv"
second=$(grep -a -b -m2 '^From ' "$all" | sed -n 2p | cut -d: -f1)
tail -c +"$((second + 1))" "$all" >"$store"
run compact --only-new "$work/out-new.csv"

echo "kestrify-cli --jobs $jobs on $mails mails ($(du -m "$old" | cut -f1) MB mbox), then $new appended"
printf '%-8s %9s %9s %9s %9s\n' run seconds "of full" "CPU s" "of full"
for name in full record none new compact; do
    awk -v n="$name" -v s="${took[$name]}" -v f="${took[full]}" -v c="${cpu[$name]}" \
        -v g="${cpu[full]}" \
        'BEGIN { printf "%-8s %9.2f %8.1f%% %9.2f %8.1f%%\n", n, s, 100 * s / f, c, 100 * c / g }'
done
awk -v s="${took[new]}" -v f="${took[full]}" -v m="$mails" -v k="$new" \
    'BEGIN { b = 0.05 * f + f * k / m; printf "new: target under %.2f s (5%% of full + %d mails)\n", b, k }'
# Every mail once: the only-new runs together wrote what one run over all
# mails writes.
lines_new=$(wc -l <"$work/out-new.csv")
cp "$all" "$store"
run check --all "$work/out-check.csv"
if cmp -s "$work/out-new.csv" "$work/out-check.csv"; then
    echo "CSV: the only-new runs wrote the same file as one run over all mails ($lines_new lines)"
else
    echo "run-only-new-bench: the only-new CSV differs from a full run's" >&2
    exit 1
fi
