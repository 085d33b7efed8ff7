# What a rewrite keeps of the old file (mode, group, attributes), what a
# backup gets, appends that follow the file's encoding and survive an
# overwrite, and the smaller cases: a new file appended to, a UTF-16
# project, a path deeper than the system allows.
. "$KESTRIFY_HOSTILE"

form_mbox store.mbox 3
form_project p.KFY store.mbox
{
    echo "From j@example.jp Mon Jun  3 09:00:00 2024"
    echo "Subject: $(ew UTF-8 "日本語の件名")"
    echo
    echo "Name: x"
    echo
} >jp.mbox
form_project jp.KFY jp.mbox

# A private CSV has a private backup.
echo "private" >private.csv
chmod 600 private.csv
kcli -q --backup p.KFY private.csv
expect_rc "private CSV with backup" 0
check "private CSV: the backup is mode 600" test "$(stat -c %a private.bak)" = 600
check "private CSV: still mode 600" test "$(stat -c %a private.csv)" = 600

# Group and extended attributes stay with a rewrite.
if need_root "group kept" ; then
    echo "old" >group.csv
    chgrp 65534 group.csv && chmod 640 group.csv
    kcli -q p.KFY group.csv
    expect_rc "group kept" 0
    check "group kept: group 65534" test "$(stat -c %g group.csv)" = 65534
    check "group kept: mode 640" test "$(stat -c %a group.csv)" = 640
fi
if need_tool "attribute kept" setfattr getfattr; then
    echo "old" >attr.csv
    if setfattr -n user.kestrify -v kept attr.csv 2>/dev/null; then
        kcli -q p.KFY attr.csv
        expect_rc "attribute kept" 0
        check "attribute kept: user.kestrify" test "$(getfattr --only-values -n user.kestrify attr.csv 2>/dev/null)" = kept
        check "attribute kept: new rows" grep -q "inquiry 3" attr.csv
    else
        skip "attribute kept: the file system takes no user attributes"
    fi
fi

# Rows appended to a UTF-8 file with a byte-order mark and a first line
# longer than 64 KiB are UTF-8.
{
    printf '\xEF\xBB\xBF'
    head -c 70000 < <(yes a | tr -d '\n')
    printf '\r\n'
} >u.csv
kcli -q --save-type 1 jp.KFY u.csv
expect_rc "append to long-lined UTF-8" 0
check "append to long-lined UTF-8: rows in UTF-8" grep -q "日本語の件名" u.csv

# Appending to a file that is not there writes the title line first.
kcli -q --save-type 1 p.KFY new.csv
expect_rc "append to a missing file" 0
check "append to a missing file: title line" test "$(head -1 new.csv | tr -d '\r')" = "Subject,Name"

# An overwrite waits for an append under way (the lock on the file).
if need_tool "overwrite waits for the lock" flock; then
    echo "old" >locked.csv
    flock locked.csv sleep 2 &
    sleep 0.3
    start=$(date +%s%N)
    kcli -q p.KFY locked.csv
    took=$((($(date +%s%N) - start) / 1000000))
    wait
    expect_rc "overwrite waits for the lock" 0
    check "overwrite waits for the lock: ${took} ms" test "$took" -ge 1200
    # An append that waited while the name was renamed over appends to the
    # new file, not to the old one that is gone.
    echo "old" >moved.csv
    flock moved.csv sleep 2 &
    sleep 0.3
    "$KESTRIFY_CLI" -q --save-type 1 p.KFY moved.csv 2>stderr &
    appender=$!
    sleep 0.7
    echo "new" >moved.tmp && mv moved.tmp moved.csv
    wait "$appender"
    rc=$?
    wait
    expect_rc "append after a rename" 0
    check "append after a rename: into the new file" test "$(head -1 moved.csv)" = new
    check "append after a rename: rows there" grep -q "inquiry 3" moved.csv
fi

# A project saved as UTF-16 is named as such.
printf '[EML]\r\n' | iconv -f UTF-8 -t UTF-16 >u16.KFY
kcli u16.KFY out.csv
expect_rc "UTF-16 project" 2
expect_err "UTF-16 project" "UTF-16"

# An output deeper than the system's path limit: a clear failure.
deep=$(printf 'd%.0s' $(seq 200))
path=.
for i in $(seq 25); do path=$path/$deep; done
if mkdir -p "$path" 2>/dev/null; then
    kcli -q p.KFY "$path/out.csv"
    expect_rc "path deeper than PATH_MAX" 3
    expect_err "path deeper than PATH_MAX" "File name too long"
else
    skip "path deeper than PATH_MAX: mkdir refused"
fi
