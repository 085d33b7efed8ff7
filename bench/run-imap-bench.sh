#!/usr/bin/env bash
# Times kestrify-cli on form mails read from a private Dovecot over TLS
# (store kind 9) against the same mails as a local Maildir (kind 6): mails per
# second (wall clock) and peak resident memory, best of a few runs, and checks
# both CSV files are equal. The server runs on 127.0.0.1 with its own
# configuration in a temporary folder (bench/ImapBenchServer.cpp).
#
#   bench/run-imap-bench.sh
# Environment: KESTRIFY_BENCH_MAILS (20000), KESTRIFY_BENCH_RUNS (3),
#   KESTRIFY_BENCH_DIR (a folder under $TMPDIR), KESTRIFY_BENCH_BUILD
#   (build-release).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mails=${KESTRIFY_BENCH_MAILS:-20000}
runs=${KESTRIFY_BENCH_RUNS:-3}
work=${KESTRIFY_BENCH_DIR:-${TMPDIR:-/tmp}/kestrify-imap-bench}
build=${KESTRIFY_BENCH_BUILD:-$root/build-release}

. "$root/bench/common.sh"
"$root/scripts/install-deps"
bench_need_time run-imap-bench
bench_build "$build" OFF kestrify-cli gen_form_mbox imap_bench_server
cli=$build/bin/kestrify-cli

mkdir -p "$work"
mbox=$(bench_store "$build" "$mails" "$work")
rm -rf "$work/maildir"

coproc server { "$build/bench/imap_bench_server" "$mbox" "$work/maildir"; }
read -r port ca password <&"${server[0]}"
trap 'exec {server[1]}>&-; wait' EXIT
url="imaps://alice@localhost:$port/INBOX"

elapsed() {
    sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1" |
        awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s }'
}
field() { sed -n "s/.*$2: //p" "$1"; }

echo "kestrify-cli on $mails form mails, best of $runs runs"
printf '%-22s %8s %10s %15s\n' "store" "seconds" "mails/s" "peak RSS (MiB)"
declare -A rate=()
for kind in maildir imap; do
    best="" peak=""
    for ((run = 1; run <= runs; run++)); do
        if [ "$kind" = maildir ]; then
            args=(--mail-type 6 --location "$work/maildir")
        else
            args=(--mail-type 9 --location "$url" --ca-file "$ca")
        fi
        KESTRIFY_IMAP_PASSWORD=$password /usr/bin/time -v -o "$work/time.txt" "$cli" --quiet \
            --no-backup "${args[@]}" "$root/examples/inquiries.KFY" "$work/out-$kind.csv"
        seconds=$(elapsed "$work/time.txt")
        if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$seconds
            peak=$(field "$work/time.txt" "Maximum resident set size (kbytes)")
        fi
    done
    rate[$kind]=$(awk -v s="$best" -v n="$mails" 'BEGIN { printf "%.0f", n / s }')
    name="local Maildir"
    [ "$kind" = imap ] && name="IMAP over TLS"
    awk -v name="$name" -v s="$best" -v r="${rate[$kind]}" -v kb="$peak" \
        'BEGIN { printf "%-22s %8.2f %10s %15.1f\n", name, s, r, kb / 1024 }'
done
awk -v a="${rate[imap]}" -v b="${rate[maildir]}" \
    'BEGIN { printf "IMAP reads at %.0f%% of the local rate\n", 100 * a / b }'
if ! cmp -s "$work/out-maildir.csv" "$work/out-imap.csv"; then
    echo "run-imap-bench: the server gave another CSV than the local Maildir" >&2
    exit 1
fi
echo "both wrote the same $(wc -l <"$work/out-imap.csv") lines"
