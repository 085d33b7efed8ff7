# Resource limits and full disks: a run that cannot write says so (exit 3)
# and leaves the old CSV and no temporary file; threads that cannot be made
# mean fewer threads; memory that runs out ends the run with exit 4 and
# nothing written.
. "$KESTRIFY_HOSTILE"

form_mbox store.mbox 20000 2 120
form_project p.KFY store.mbox
kcli -q p.KFY full.csv
expect_rc "reference run" 0

# A file-size limit: no SIGXFSZ death, the write error reported.
for kind in renamed inplace; do
    printf 'old,csv\r\n' >"$kind.csv"
    [ "$kind" = inplace ] && ln "$kind.csv" "$kind-link.csv"
    cp "$kind.csv" keep.csv
    if need_tool "file-size limit, $kind" prlimit; then
        prlimit --fsize=1000000 "$KESTRIFY_CLI" -q p.KFY "$kind.csv" >stdout 2>stderr
        rc=$?
        expect_rc "file-size limit, $kind" 3
        expect_err "file-size limit, $kind" "File too large"
        same_file "file-size limit, $kind" "$kind.csv" keep.csv
        no_leftovers "file-size limit, $kind"
    fi
done

# A full file system (a private 2 MB tmpfs): a hard-linked CSV, rewritten in
# place, keeps its old text when the new one does not fit.
if need_root "full tmpfs" && need_tool "full tmpfs" mount umount; then
    mkdir small
    if mount -t tmpfs -o size=2m kestrify-hostile small 2>/dev/null; then
        head -c 1500000 full.csv >small/out.csv
        ln small/out.csv small/link.csv
        cp small/out.csv keep.csv
        kcli -q p.KFY small/out.csv
        expect_rc "full tmpfs, in place" 3
        expect_err "full tmpfs, in place" "No space left on device"
        same_file "full tmpfs, in place" small/out.csv keep.csv
        rm small/link.csv
        kcli -q p.KFY small/out.csv
        expect_rc "full tmpfs, renamed" 3
        same_file "full tmpfs, renamed" small/out.csv keep.csv
        no_leftovers "full tmpfs, renamed" small
        umount small
    else
        skip "full tmpfs: mount refused"
    fi
fi

# No thread to be had beyond a few: the run uses what it gets.
if need_root "process limit" && need_tool "process limit" prlimit runuser; then
    mkdir shared && cp store.mbox p.KFY shared/ && chmod 777 shared && chmod o+x .
fi
# The run is another user's: a clone in a private folder is out of its reach.
if [ -d shared ] && ! runuser -u nobody -- test -x "$KESTRIFY_CLI"; then
    skip "process limit: the program is out of reach of user nobody"
elif [ -d shared ]; then
    runuser -u nobody -- prlimit --nproc=30 "$KESTRIFY_CLI" -q -j 64 shared/p.KFY shared/out.csv \
        >stdout 2>stderr
    rc=$?
    expect_rc "process limit, 64 jobs" 0
    same_bytes "process limit: the CSV of a plain run" shared/out.csv full.csv
fi
if need_plain "address-space limit" && need_tool "address-space limit" prlimit; then
    # Just above what loading the program takes: little room for thread
    # stacks (8 MB each) or rows.
    limit=20000000
    while [ "$limit" -lt 400000000 ] && ! prlimit --as="$limit" "$KESTRIFY_CLI" --version >/dev/null 2>&1; do
        limit=$((limit + 5000000))
    done
    prlimit --as=$((limit + 10000000)) "$KESTRIFY_CLI" -q -j 2 p.KFY as.csv >stdout 2>stderr
    rc=$?
    if [ "$rc" -eq 0 ] || [ "$rc" -eq 4 ]; then
        ok "address-space limit, 2 jobs: exit $rc, no abort"
    else
        not_ok "address-space limit, 2 jobs: exit $rc"
    fi
    no_leftovers "address-space limit"
fi

# One mail too large for the memory left: the whole run ends with exit 4.
if need_plain "memory for one mail" && need_tool "memory for one mail" prlimit; then
    {
        printf 'From big@example.jp Mon Jun  3 09:00:00 2024\nSubject: small\n\nName: a\n\n'
        printf 'From big@example.jp Mon Jun  3 09:00:00 2024\nSubject: big\n\nName: '
        yes xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx | tr -d '\n' | head -c 60000000
        printf '\n\n'
    } >goom.mbox
    form_project goom.KFY goom.mbox
    echo "old" >goom.csv
    prlimit --as=150000000 "$KESTRIFY_CLI" -q -j 1 goom.KFY goom.csv >stdout 2>stderr
    rc=$?
    expect_rc "memory for one mail" 4
    check "memory for one mail: the old CSV stays" test "$(cat goom.csv)" = old
    no_leftovers "memory for one mail"
fi

# Temporary files go to $TMPDIR: a missing one is a write failure.
TMPDIR=$PWD/no-such-folder kcli -q p.KFY -
expect_rc "TMPDIR missing" 3
mkdir tmp
TMPDIR=$PWD/tmp kcli -q p.KFY - 
expect_rc "TMPDIR present" 0
