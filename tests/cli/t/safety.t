# Files that belong to the user are never destroyed: outputs that are inputs,
# devices and FIFOs as outputs, projects that are no files, unlistable mail
# folders, and stops while waiting to save.

mkdir mails
printf 'Subject: one\n\nBody: 1\n' >mails/a.eml
param "Subject:" "件名" header
project mails.KFY 0 mails
printf 'From a\nSubject: m\n\nx\n' >store.mbox
param "Subject:" "件名" header
project mbox.KFY 2 store.mbox

# no_leftovers NAME: no temporary or backup file was made here or in mails/.
no_leftovers() {
    if ls -A . mails | grep -Eq '^\.kfy-|\.bak$'; then
        not_ok "$1: left $(ls -A . mails | grep -E '^\.kfy-|\.bak$' | tr '\n' ' ')"
    else
        ok "$1: nothing left behind"
    fi
}

# --- an output that is an input is refused before any mail is read ---------
cp store.mbox store.before
for args in "mbox.KFY store.mbox" "mbox.KFY mbox.KFY" "mails.KFY mails/a.eml" \
    "--save-type 1 mbox.KFY store.mbox"; do
    # shellcheck disable=SC2086
    kcli $args
    expect_rc "output is an input: $args" 2
    expect_err "output is an input: $args" "出力先が"
done
cmp -s store.mbox store.before && ok "the store is untouched" || not_ok "the store changed"

# --- a project that is no project file ----------------------------------------
mkfifo fifo.KFY
timeout 10 "$KESTRIFY_CLI" fifo.KFY out.csv >stdout 2>stderr
rc=$?
expect_rc "FIFO as project" 2
expect_err "FIFO as project" "not a regular file"
truncate -s 17M huge.KFY
kcli huge.KFY out.csv
expect_rc "huge project" 2
expect_err "huge project" "larger than 16 MB"

# --- FIFOs and devices as output: written straight through ------------------
mkfifo out.fifo
cat out.fifo >fifo.csv &
reader=$!
kcli --backup mails.KFY out.fifo
wait "$reader"
expect_rc "FIFO as output" 0
[ -p out.fifo ] && grep -q "^one" fifo.csv && ok "FIFO as output: rows went through" ||
    not_ok "FIFO as output: $(ls -l out.fifo) $(cat fifo.csv)"
no_leftovers "FIFO as output"

"$KESTRIFY_CLI" --backup mails.KFY /proc/self/fd/1 2>stderr | cat >piped.csv
grep -q "^one" piped.csv && ok "standard output by its /proc name: rows went through" ||
    not_ok "standard output by its /proc name: $(cat stderr)"
no_leftovers "standard output by its /proc name"

if [ "$(id -u)" -eq 0 ]; then
    mknod null c 1 3
    mknod full c 1 7
    kcli --backup mails.KFY null
    expect_rc "device as output" 0
    [ -c null ] && ok "device as output: still a device" || not_ok "device as output: replaced"
    kcli mails.KFY full
    expect_rc "full device" 3
    expect_err "full device" "(No space left on device)"
    no_leftovers "devices as output"
    rm -f null full
else
    skip "device nodes as output: not root"
fi

mkdir folder.csv
kcli --backup mails.KFY folder.csv
expect_rc "folder as output" 3
expect_err "folder as output" "保存先がフォルダです。"
if grep -q "バックアップ" stderr; then not_ok "folder as output: asked about a backup"; else ok "folder as output: no backup question"; fi

# --- a stop while waiting for a FIFO's reader ----------------------------------
mkfifo lonely.fifo
"$KESTRIFY_CLI" mails.KFY lonely.fifo >stdout 2>stderr &
pid=$!
sleep 1
kill -TERM "$pid"
wait "$pid"
rc=$?
expect_rc "SIGTERM while waiting for a reader" 143
expect_err "SIGTERM while waiting for a reader" "interrupted, nothing saved"
no_leftovers "SIGTERM while waiting"

# --- a mail folder the user may not list ---------------------------------------
if [ "$(id -u)" -eq 0 ]; then
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
    chmod 777 .
else
    as_user() { "$@"; }
fi
printf 'old,csv\r\n' >old.csv
chmod 666 old.csv
chmod 000 mails
as_user "$KESTRIFY_CLI" mails.KFY old.csv >stdout 2>stderr
rc=$?
chmod 755 mails
expect_rc "unlistable folder" 2
expect_err "unlistable folder" "フォルダを読めません。"
[ "$(cat old.csv)" = "$(printf 'old,csv\r\n')" ] && ok "unlistable folder: old CSV kept" ||
    not_ok "unlistable folder: old CSV replaced"

# --- memory that runs out is said as such ----------------------------------------
truncate -s 300M mails/huge.eml
(
    ulimit -v 150000
    "$KESTRIFY_CLI" -q mails.KFY mem.csv >stdout 2>stderr
)
rc=$?
if grep -q "Sanitizer" stderr; then
    skip "out of memory: sanitizers need more address space"
else
    # The whole run ends: a row left empty would be taken for a mail's values.
    expect_rc "out of memory in one mail" 4
    expect_err "out of memory in one mail" "メモリが不足しています。 (out of memory)"
    [ ! -e mem.csv ] && ok "out of memory in one mail: no CSV" || not_ok "out of memory: a CSV was written"
fi
rm -f mails/huge.eml
