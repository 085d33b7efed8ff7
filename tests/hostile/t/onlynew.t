# Only-new runs against what happens to their CSV and their record between
# runs: a CSV cut inside a quoted row or saved anew by another program, a
# damaged record database, a record folder that is a link to a shared
# folder, no home to keep the record in. A run never appends into a broken
# file nor adds a row twice without saying so.
. "$KESTRIFY_HOSTILE"

# A mail per number whose name row holds a quoted line break, so a cut can
# fall inside a quoted field.
add_mails() {
    local n
    for ((n = $1; n <= $2; n++)); do
        printf 'From a@example.jp Mon Jun  3 09:00:00 2024\nMessage-ID: <m%s@example.jp>\nSubject: mail %s\n\nName: m%s\n  second line\n\n' \
            "$n" "$n" "$n" >>store.mbox
    done
}
param "Subject:" "Subject" header
param "Name:" "Name" multi
project p.KFY 2 store.mbox out.csv 0 0
rows() { grep -ac '^"*mail ' out.csv; }

# fresh N: a store of N mails and a CSV written by one only-new run.
fresh() {
    rm -rf store.mbox out.csv "$XDG_STATE_HOME"
    add_mails 1 "$1"
    kcli -q --only-new p.KFY
}

# Changes to the CSV after a run, then one new mail. "refused": exit 2 with
# the CSV named and --forget offered, the CSV as it was; "appended": only
# the new mail is added.
cut_in_quote() { head -c -9 out.csv >cut && cat cut >out.csv; }
sed_same() { sed -i 's/x/x/' out.csv; }
sed_row_gone() { sed -i '/mail 3$/d;/mail 3"/d' out.csv; }
sed_title() { sed -i '1s/Subject/Title/' out.csv; }
editor_adds_row() { cp out.csv new && printf 'mine,row\r\n' >>new && mv new out.csv; }
for c in "cut_in_quote refused" "sed_same appended" "sed_row_gone refused" "sed_title refused" \
    "editor_adds_row appended"; do
    set -- $c
    fresh 5
    "$1"
    cp out.csv before.csv
    add_mails 6 6
    kcli --only-new p.KFY
    if [ "$2" = refused ]; then
        expect_rc "$1" 2
        expect_err "$1: names the CSV" "out.csv:"
        expect_err "$1: offers --forget" "--forget"
        same_file "$1" out.csv before.csv
        kcli --only-new p.KFY
        expect_rc "$1: refused again" 2
        kcli --forget p.KFY
        expect_rc "$1: --forget" 0
        kcli -q --only-new p.KFY
        expect_rc "$1: after --forget" 0
    else
        expect_rc "$1" 0
        expect_err "$1: skips the old mails" "変換済みのメール 5 通を飛ばしました"
        check "$1: one row added" test "$(rows)" -eq "$(($(grep -ac '^"*mail ' before.csv) + 1))"
    fi
done

# A damaged record database: named, moved aside, the run refused; then
# --forget and the next run work.
for damage in garbage pages; do
    fresh 3
    db=$XDG_STATE_HOME/kestrify/only-new.sqlite3
    if [ "$damage" = garbage ]; then
        head -c 8192 /dev/urandom >"$db"
    else
        size=$(stat -c %s "$db")
        dd if=/dev/urandom of="$db" bs=4096 seek=1 count=$((size / 4096)) conv=notrunc 2>/dev/null
    fi
    cp out.csv before.csv
    kcli --only-new p.KFY
    expect_rc "damaged record ($damage)" 2
    expect_err "damaged record ($damage): names it" "$db"
    expect_err "damaged record ($damage): moved aside" "only-new.sqlite3.corrupt-"
    same_file "damaged record ($damage)" out.csv before.csv
    check "damaged record ($damage): the file is aside" \
        test -n "$(find "$XDG_STATE_HOME/kestrify" -name 'only-new.sqlite3.corrupt-*')"
    head -c 8192 /dev/urandom >"$db"
    kcli --forget p.KFY
    expect_rc "damaged record ($damage): --forget" 0
    rm out.csv
    kcli -q --only-new p.KFY
    expect_rc "damaged record ($damage): a new record" 0
    check "damaged record ($damage): every mail" test "$(rows)" -eq 3
done

# The record's folder is a link to a folder everyone may write: refused,
# and that folder keeps its mode.
fresh 1
rm -rf "$XDG_STATE_HOME" shared
mkdir -p "$XDG_STATE_HOME" shared
chmod 1777 shared
ln -s "$PWD/shared" "$XDG_STATE_HOME/kestrify"
kcli --only-new p.KFY
expect_rc "shared record folder" 2
expect_err "shared record folder: names it" "$XDG_STATE_HOME/kestrify"
check "shared record folder: still mode 1777" test "$(stat -c %a shared)" = 1777
check "shared record folder: no record in it" test ! -e shared/only-new.sqlite3
rm "$XDG_STATE_HOME/kestrify"

# No HOME, no XDG_STATE_HOME and no passwd entry: refused, nothing written in
# the folder the run started in. (With an entry the record goes to its home:
# the unit suite checks the path without writing a real home.)
if need_root "no home at all" && need_tool "no home at all" setpriv; then
    uid=54329
    while getent passwd "$uid" >/dev/null; do uid=$((uid + 1)); done
    mkdir -p nohome && cp p.KFY store.mbox nohome/ && chown -R "$uid:$uid" nohome
    (cd nohome && env -u HOME -u XDG_STATE_HOME setpriv --reuid "$uid" --regid "$uid" \
        --clear-groups "$KESTRIFY_CLI" --only-new p.KFY >../stdout 2>../stderr)
    rc=$?
    expect_rc "no home at all" 2
    expect_err "no home at all: says so" "HOME"
    check "no home at all: nothing in the start folder" test ! -e nohome/.local
    check "no home at all: no CSV" test ! -e nohome/out.csv
fi
