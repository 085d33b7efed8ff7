# Honest statuses and reasons: a stop while the last mail is converted is a
# stop (128 + signal, the old CSV kept), never a failed save; an empty file
# name is a usage error; a SAVEFILENAME link to a system file is refused as
# a link; the desktop's automatic run on a platform that shows nothing never
# waits in a box.
. "$KESTRIFY_HOSTILE"

# One mail so large that a stop arrives while it is converted, with its
# whole body in a column.
{
    echo "From big@example.jp Mon Jun  3 09:00:00 2024"
    printf 'Subject: big\n\nName: big\n'
    yes "a line of the body of the one large mail in this store" | head -n 1500000
    echo
} >big.mbox
param "Subject:" "Subject" header
param "Name:" "Body" multi
project big.KFY 2 big.mbox
start=$(date +%s%N)
kcli -q -j1 big.KFY whole.csv
span=$((($(date +%s%N) - start) / 1000000))
echo "# one run of the large mail: $span ms"
for target in new.csv old.csv; do
    for percent in 20 45 70 90; do
        name="stop at $percent% into $target"
        rm -f new.csv
        printf 'old\r\n' >old.csv
        cp old.csv keep.csv
        "$KESTRIFY_CLI" -q -j1 big.KFY "$target" >stdout 2>stderr &
        pid=$!
        sleep "$(printf '%d.%03d' $((span * percent / 100000)) $((span * percent / 100 % 1000)))"
        kill -TERM "$pid" 2>/dev/null
        wait "$pid"
        rc=$?
        if [ "$rc" -eq 0 ]; then
            ok "$name: finished first"
        else
            expect_rc "$name" 143
            expect_err "$name: says it stopped" "中断しました"
            check "$name: no save failure told" test -z "$(grep -a '保存に失敗' stderr)"
            if [ "$target" = old.csv ]; then
                same_file "$name" old.csv keep.csv
            else
                check "$name: no CSV" test ! -e new.csv
            fi
        fi
        no_leftovers "$name"
    done
done

# Empty file names (an unset shell variable) are usage errors.
form_mbox store.mbox 2
form_project p.KFY store.mbox
for args in "p.KFY|" "|out.csv" "|"; do
    kcli "${args%|*}" "${args#*|}"
    expect_rc "empty name in '$args'" 2
done

# SAVEFILENAME that ends in .csv but links to a system file: refused as a
# link, the file untouched.
ln -s /etc/passwd linked.csv
form_project linked.KFY store.mbox linked.csv
cp /etc/passwd passwd.copy
kcli linked.KFY
expect_rc "SAVEFILENAME link to /etc/passwd" 2
expect_err "SAVEFILENAME link to /etc/passwd: says it is a link" "リンク先"
expect_err "SAVEFILENAME link to /etc/passwd: names the target" "/etc/passwd"
same_file "SAVEFILENAME link to /etc/passwd" /etc/passwd passwd.copy

# The automatic run with QT_QPA_PLATFORM=offscreen and no display: a failure
# goes to standard error with its status instead of a box nobody sees.
if need_gui "automatic run, offscreen"; then
    mkdir -p home
    form_project missing.KFY nothere.mbox
    HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/.config env -u DISPLAY -u WAYLAND_DISPLAY \
        -u KESTRIFY_TEST_ANSWER_BOXES QT_QPA_PLATFORM=offscreen \
        timeout 60 "$KESTRIFY_GUI" -a missing.KFY out.csv 0 0 >stdout 2>stderr
    rc=$?
    expect_rc "automatic run, offscreen" 2
    check "automatic run, offscreen: the message on standard error" test -s stderr
fi
