#!/usr/bin/env bash
# Runs the result window offscreen (bench/ResultWindowBench.cpp) as an
# automatic run on a store of generated form mails (bench/GenerateFormMbox.cpp)
# with the example project, beside kestrify-cli with the same number of jobs
# on the same store: mails per second, the longest stall of the window's
# event loop while converting, peak resident memory; and checks that both
# wrote the same CSV.
#
#   bench/run-result-window-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (200000), KESTRIFY_BENCH_JOBS ("1 2"),
#   KESTRIFY_BENCH_DIR (a folder under $TMPDIR), KESTRIFY_BENCH_BUILD
#   (build-bench-gui, a release build with the GUI).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-200000}
jobs_list=${KESTRIFY_BENCH_JOBS:-1 2}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-window-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-bench-gui}

"$root/scripts/install-deps"
if [ ! -x /usr/bin/time ]; then
    echo "run-result-window-bench: /usr/bin/time is missing (Debian package 'time')" >&2
    exit 2
fi

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DKESTRIFY_BUILD_GUI=ON -DKESTRIFY_BUILD_TESTS=OFF -DKESTRIFY_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target kestrify-cli gen_form_mbox bench_result_window >/dev/null
cli=$build/bin/kestrify-cli

mkdir -p "$work"
mbox=$work/forms-$mails.mbox
if [ ! -s "$mbox" ]; then
    echo "Writing $mails form mails to $mbox" >&2
    "$build/bench/gen_form_mbox" "$mails" "$mbox.part"
    mv "$mbox.part" "$mbox"
fi
project=$root/examples/inquiries.KFY

for jobs in $jobs_list; do
    echo "== $jobs job(s), $mails mails"
    /usr/bin/time -v -o "$work/cli-time.txt" "$cli" --quiet --no-backup --jobs "$jobs" \
        --location "$mbox" "$project" "$work/cli-$jobs.csv"
    awk -v n="$mails" '
        /Elapsed \(wall clock\)/ { split($NF, t, ":"); s = 0; for (i = 1; i in t; i++) s = s * 60 + t[i] }
        /Maximum resident set size/ { kb = $NF }
        END { printf "kestrify-cli       %.2f s, %.0f mails/s, peak RSS %.1f MiB\n", s, n / s, kb / 1024 }
    ' "$work/cli-time.txt"
    "$build/bench/bench_result_window" "$project" "$mbox" "$work/window-$jobs.csv" "$jobs"
    if cmp -s "$work/cli-$jobs.csv" "$work/window-$jobs.csv"; then
        echo "same CSV as kestrify-cli ($(wc -l <"$work/cli-$jobs.csv") lines)"
    else
        echo "run-result-window-bench: the window wrote another CSV than kestrify-cli" >&2
        exit 1
    fi
done
