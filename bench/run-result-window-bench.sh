#!/usr/bin/env bash
# Runs the result window offscreen (bench/ResultWindowBench.cpp) as an
# automatic run on a store of generated form mails (bench/GenerateFormMbox.cpp)
# with the example project, beside kestrify-cli with the same number of jobs
# on the same store, alternating, best of a few runs each: mails per second,
# the longest stall of the window's event loop while converting, peak
# resident memory; and checks that both wrote the same CSV. Both are timed
# over the same work, from opening the store to the CSV written: the command
# as a whole process (its start-up is a few milliseconds), the window from
# opening the store to its closing (Qt's start-up is left out: a user's
# program is already running).
#
#   bench/run-result-window-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (200000), KESTRIFY_BENCH_JOBS ("1 2"),
#   KESTRIFY_BENCH_RUNS (3), KESTRIFY_BENCH_DIR (a folder under $TMPDIR),
#   KESTRIFY_BENCH_BUILD (build-bench-gui, a release build with the GUI).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-200000}
jobs_list=${KESTRIFY_BENCH_JOBS:-1 2}
runs=${KESTRIFY_BENCH_RUNS:-3}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-window-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-bench-gui}

. "$root/bench/common.sh"
"$root/scripts/install-deps"
bench_need_time run-result-window-bench
bench_build "$build" ON kestrify-cli gen_form_mbox bench_result_window
cli=$build/bin/kestrify-cli

mkdir -p "$work"
mbox=$(bench_store "$build" "$mails" "$work")
project=$root/examples/inquiries.KFY

# "seconds mails/s peak-MiB" of one kestrify-cli run
cli_run() {
    /usr/bin/time -v -o "$work/cli-time.txt" "$cli" --quiet --no-backup --jobs "$1" \
        --location "$mbox" "$project" "$work/cli-$1.csv"
    awk -v n="$mails" '
        /Elapsed \(wall clock\)/ { k = split($NF, t, ":"); s = 0; for (i = 1; i <= k; i++) s = s * 60 + t[i] }
        /Maximum resident set size/ { kb = $NF }
        END { printf "%.2f %.0f %.1f\n", s, n / s, kb / 1024 }
    ' "$work/cli-time.txt"
}

less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

for jobs in $jobs_list; do
    best_cli=""
    best_window=""
    for ((run = 1; run <= runs; run++)); do
        line=$(cli_run "$jobs")
        if [ -z "$best_cli" ] || less "${line%% *}" "${best_cli%% *}"; then best_cli=$line; fi
        "$build/bench/bench_result_window" "$project" "$mbox" "$work/window-$jobs.csv" "$jobs" \
            >"$work/window-run.txt" 2>/dev/null
        total=$(sed -n 's/^total *\([0-9.]*\) s.*/\1/p' "$work/window-run.txt")
        if [ -z "$best_window" ] || less "$total" "$best_window"; then
            best_window=$total
            cp "$work/window-run.txt" "$work/window-best.txt"
        fi
        if ! cmp -s "$work/cli-$jobs.csv" "$work/window-$jobs.csv"; then
            echo "run-result-window-bench: the window wrote another CSV than kestrify-cli" >&2
            exit 1
        fi
    done
    echo "== $jobs job(s), $mails mails ($(du -m "$mbox" | cut -f1) MB mbox), best of $runs runs"
    read -r s rate mib <<<"$best_cli"
    echo "kestrify-cli       $s s, $rate mails/s (save included), peak RSS $mib MiB"
    echo "result window:"
    sed 's/^/  /' "$work/window-best.txt"
    echo "same CSV as kestrify-cli ($(wc -l <"$work/cli-$jobs.csv") lines)"
done
