# Stores under attack: entries of a folder store that are no mail files of
# it (a link to the user's secret, a FIFO, a device, a folder, a loop) are
# skipped, counted in the summary and never read; a one-file store cut
# short during the run fails as a whole (exit 2, the old CSV kept, one
# message) instead of a failed row for every mail that is left.
. "$KESTRIFY_HOSTILE"

echo "Name: SECRET-TEXT" >secret.txt
mail() { printf 'From: a@example.jp\nSubject: %s\n\nName: n\n' "$1"; }

# kind MAILTYPE, the folder the mails lie in, and the names of two mails.
kinds=(
    "Maildir 6 cur 1700000000.M1P1.h:2,S 1700000001.M1P1.h:2,S"
    "MH 7 . 1 2"
    "EML 0 . a.eml b.eml"
)
# What takes the place of the second mail, and how many are counted.
hostile=("link-out" "fifo" "loop" "device")
for k in "${kinds[@]}"; do
    set -- $k
    name=$1 type=$2 sub=$3 first=$4 second=$5
    for what in "${hostile[@]}"; do
        store=$name-$what
        mkdir -p "$store/$sub"
        [ "$name" = Maildir ] && mkdir -p "$store/new" "$store/tmp"
        mail "real" >"$store/$sub/$first"
        case $what in
            link-out) ln -s "$PWD/secret.txt" "$store/$sub/$second" ;;
            fifo) mkfifo "$store/$sub/$second" ;;
            loop) ln -s "$second" "$store/$sub/$second" ;;
            device)
                need_root "$store" || continue
                mknod "$store/$sub/$second" c 1 5 || { skip "$store: mknod refused"; continue; }
                ;;
        esac
        param "Subject:" "Subject" header
        param "Name:" "Name" trim
        project "$store.KFY" "$type" "$store"
        kcli "$store.KFY" "$store.csv"
        expect_rc "$store" 0
        check "$store: one row, the real mail" test "$(grep -c real "$store.csv")" = 1
        check "$store: the secret is not read" test "$(grep -c SECRET "$store.csv")" = 0
        expect_err "$store" "メールとして読めないエントリ 1 件を飛ばしました"
    done
done

# A Maildir whose cur/ holds a folder named like a mail says so too; a link
# that stays inside the store is read.
mkdir -p md/cur md/new md/tmp md/keep
mail "inside" >md/keep/m
mail "real" >md/cur/1700000000.M1P1.h:2,S
ln -s ../keep/m md/cur/1700000001.M1P1.h:2,S
mkdir md/cur/1700000002.M1P1.h:2,S
param "Subject:" "Subject" header
project md.KFY 6 md
kcli md.KFY md.csv
expect_rc "Maildir with a folder and a link inside" 0
check "Maildir with a link inside: both mails" test "$(grep -c -E 'real|inside' md.csv)" = 2
expect_err "Maildir with a folder in cur/" "メールとして読めないエントリ 1 件を飛ばしました"

# An mbox cut short by another program while it is read. The run is held
# still while the file is cut, so the cut lands inside the run.
form_mbox big.mbox 150000 2
form_project big.KFY big.mbox
printf 'old,csv\r\n' >cut.csv
cp cut.csv keep.csv
"$KESTRIFY_CLI" --jobs 2 big.KFY cut.csv >stdout 2>stderr &
run=$!
sleep 0.1
kill -STOP "$run" 2>/dev/null
# A run that ended already is left as a zombie until it is waited for.
state=$(awk '{ print $3 }' "/proc/$run/stat" 2>/dev/null)
if [ -n "$state" ] && [ "$state" != Z ]; then
    truncate -s 5000 big.mbox
    kill -CONT "$run"
    wait "$run"
    rc=$?
    expect_rc "mbox cut short during the run" 2
    expect_err "mbox cut short during the run" "短くなりました"
    check "mbox cut short: one message, not one per mail" test "$(grep -c . stderr)" -le 2
    same_file "mbox cut short" cut.csv keep.csv
    no_leftovers "mbox cut short"
else
    wait "$run"
    skip "mbox cut short: the run ended before the cut"
fi
