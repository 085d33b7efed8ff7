# Runs that convert only new mail (--only-new, ONLYNEW=1), for every store
# kind: each mail reaches the CSV once, whatever happens to the store
# between runs, and a run killed at any point neither doubles nor loses a
# row once the next run is done. The record lives under XDG_STATE_HOME,
# which run-e2e.sh points into the test's folder.

# mail N: one mail with the ID line "ID:mN" in its body (mbox-like stores
# get their separator from the caller).
mail() {
    printf 'Message-ID: <m%s@example.jp>\nSubject: mail %s\n\nID:m%s\n' "$1" "$1" "$1"
}
# store_add KIND FIRST LAST: mails FIRST..LAST added to the store of KIND.
store_add() {
    local kind=$1 n
    for ((n = $2; n <= $3; n++)); do
        case $kind in
            0) mail "$n" >"store/$(printf %04d "$n").eml" ;;
            5) printf 'ID:m%s\nbody %s\n' "$n" "$n" >"store/$(printf %04d "$n").txt" ;;
            2) { echo "From a@example.jp Mon Jun  3 09:00:00 2024"; mail "$n"; echo; } >>store ;;
            3) { echo "=== Shuriken mail ==="; mail "$n"; echo; } | crlf >>store ;;
            4) { echo "From ???@??? Mon Jun 03 09:00:00 2024"; mail "$n"; echo; } | crlf >>store ;;
            6) mail "$n" >"store/new/$((1700000000 + n)).M1P1.host" ;;
            7) mail "$n" >"store/$n" ;;
            8) { echo "From - Mon Jun 03 09:00:00 2024"; echo "X-Mozilla-Status: 0001"; mail "$n"; echo; } >>store ;;
        esac
    done
}
# The IDs in the CSV, one a line, in file order.
ids() { grep -ao 'm[0-9]*' out.csv 2>/dev/null; }
# expect_ids NAME "m1 m2 …" [twice]: the CSV holds exactly these rows (each
# once unless "twice" allows repeats).
expect_ids() {
    local got want
    got=$(ids | sort | tr '\n' ' ')
    want=$(printf '%s\n' $2 | sort | tr '\n' ' ')
    if [ "$got" = "$want" ] && { [ -n "${3:-}" ] || [ "$(ids | sort | uniq -d)" = "" ]; }; then
        ok "$1"
    else
        not_ok "$1: CSV holds [$got], expected [$want]"
    fi
}
seq_ids() { local n; for ((n = $1; n <= $2; n++)); do printf 'm%s ' "$n"; done; }

kind_name=(eml dbx mbox shuriken eudora text maildir mh thunderbird)
for kind in 0 2 3 4 5 6 7 8; do
    name=${kind_name[$kind]}
    rm -rf store out.csv
    case $kind in 0 | 5 | 7) mkdir store ;; 6) mkdir -p store/cur store/new store/tmp ;; esac
    store_add "$kind" 1 3
    param "ID:" "ID"
    project p.KFY "$kind" store out.csv 0 0

    kcli --only-new p.KFY
    expect_rc "$name: first run" 0
    expect_ids "$name: first run converts all" "m1 m2 m3"
    if head -1 out.csv | grep -q '^"*ID'; then ok "$name: title row"; else not_ok "$name: title row"; fi
    kcli --only-new p.KFY
    expect_ids "$name: second run adds nothing" "m1 m2 m3"
    expect_err "$name: says what it skipped" "変換済みのメール 3 通を飛ばしました"

    store_add "$kind" 4 6
    kcli --only-new p.KFY
    expect_ids "$name: three added, three rows" "$(seq_ids 1 6)"

    if [ "$kind" = 0 ] || [ "$kind" = 5 ]; then
        # Renamed files (a flag change in a Maildir) are the same mails.
        for f in store/*; do mv "$f" "${f%.*}-flagged.${f##*.}"; done
        kcli --only-new p.KFY
        expect_ids "$name: renamed files are nothing new" "$(seq_ids 1 6)"
    elif [ "$kind" = 6 ]; then
        # Read: moved from new/ to cur/ with the seen flag.
        for f in store/new/*; do mv "$f" "store/cur/${f##*/}:2,S"; done
        kcli --only-new p.KFY
        expect_ids "$name: mails read since are nothing new" "$(seq_ids 1 6)"
    elif [ "$kind" = 7 ]; then
        rm store/1
        store_add "$kind" 7 7
        kcli --only-new p.KFY
        expect_ids "$name: one deleted and one added, only that one" "$(seq_ids 1 7)"
    else
        # Compacted: mail 1 removed, the others kept byte for byte.
        cp store old
        rm store
        store_add "$kind" 2 6
        cmp -s store <(tail -c "$(stat -c %s store)" old) || not_ok "$name: compaction setup"
        store_add "$kind" 7 7
        kcli --only-new p.KFY
        expect_ids "$name: compacted and one added, only that one" "$(seq_ids 1 7)"
    fi

    rm out.csv
    kcli --only-new p.KFY
    expect_rc "$name: CSV deleted" 0
    count=$(ids | wc -l)
    [ "$count" -ge 6 ] && [ -z "$(ids | sort | uniq -d)" ] && ok "$name: CSV deleted, all rows again" ||
        not_ok "$name: CSV deleted: $count rows"
done

# The project key, --all over it, --forget, and standard output.
rm -rf store out.csv && mkdir store && store_add 0 1 2
param "ID:" "ID"
project p.KFY 0 store out.csv 0 0
printf '[CSV]\r\nONLYNEW=1\r\n' >>p.KFY
kcli p.KFY
kcli p.KFY
expect_ids "ONLYNEW=1 in the project" "m1 m2"
kcli --all --save-type 1 p.KFY
expect_ids "--all converts every mail" "m1 m2 m1 m2" twice
kcli --all p.KFY
kcli p.KFY
expect_ids "an overwrite without the option starts the record again" "m1 m2 m1 m2" twice
kcli --forget p.KFY
expect_rc "--forget" 0
expect_err "--forget says so" "変換済みメールの記録を消しました"
kcli p.KFY
expect_ids "after --forget every mail again" "m1 m2 m1 m2 m1 m2" twice
kcli p.KFY -
expect_rc "standard output needs --all" 2
rm out.csv
kcli p.KFY --save-type 1 --backup
expect_ids "an append to a missing file writes all mails" "m1 m2"
[ "$(head -c 4 out.csv)" = '"ID"' ] || head -1 out.csv | grep -q ID && ok "…title row first" ||
    not_ok "…title row first"

# Killed at random points: before, during and after the save and between
# save and commit. After one clean run every mail is in the CSV once.
for kind in 2 0; do
    name=${kind_name[$kind]}
    rm -rf store out.csv && { [ "$kind" = 2 ] || mkdir store; }
    store_add "$kind" 1 2000
    param "ID:" "ID"
    project p.KFY "$kind" store out.csv 0 0
    last=2000
    # Kill points are spread over the time one run takes on this machine.
    start=$(date +%s%N)
    kcli -q --only-new p.KFY
    span=$((($(date +%s%N) - start) / 1000000 + 20))
    for round in 1 2 3 4 5 6; do
        store_add "$kind" $((last + 1)) $((last + 300))
        last=$((last + 300))
        "$KESTRIFY_CLI" -q -j1 --only-new p.KFY 2>/dev/null &
        pid=$!
        sleep "$(printf '%d.%03d' $((RANDOM % span / 1000)) $((RANDOM % span % 1000)))"
        # SIGKILL and SIGTERM alternate.
        kill "-$([ $((round % 2)) = 1 ] && echo KILL || echo TERM)" "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        echo "# $name round $round: killed after $(ids | wc -l) rows were in the CSV"
        if [ -n "$(ids | sort | uniq -d)" ]; then
            not_ok "$name: killed run $round doubled a row"
        fi
    done
    kcli -q --only-new p.KFY
    expect_ids "$name: killed runs, then one run: every mail once" "$(seq_ids 1 $last)"
done

# DBX has no fast path: every mail is told by its identity.
if have_shared "DBX only new" corpus/dbx/oe6-inbox.dbx; then
    cp "$SHARED/corpus/dbx/oe6-inbox.dbx" inbox.dbx
    rm -f out.csv
    param "Subject:" "件名" header
    project dbx.KFY 1 inbox.dbx out.csv 0 0
    kcli --only-new dbx.KFY
    rows=$(wc -l <out.csv)
    kcli --only-new dbx.KFY
    [ "$(wc -l <out.csv)" = "$rows" ] && ok "dbx: second run adds nothing" ||
        not_ok "dbx: second run added $(($(wc -l <out.csv) - rows)) lines"
    rm out.csv
    kcli --only-new dbx.KFY
    [ "$(wc -l <out.csv)" = "$rows" ] && ok "dbx: CSV deleted, all rows again" ||
        not_ok "dbx: CSV deleted: $(wc -l <out.csv) lines, expected $rows"
fi
