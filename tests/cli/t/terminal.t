# What a person at a terminal sees: a progress bar on standard error only
# when it is a terminal, UTF-8 when the CSV goes to a terminal, a stop signal stops
# without saving.

for ((i = 1; i <= 30; i++)); do
    printf 'From x Mon Jun  3 09:00:00 2024\nSubject: %s\n\n番号：%d\n\n' "$i" "$i" | sj
done >box.mbox
param "Subject:" "件名" header
param "番号：" "番号"
project box.KFY 2 box.mbox

# Runs the command on a pseudo-terminal (script(1)); the session's output
# lands in ./tty.
on_tty() {
    local cmd
    cmd=$(printf '%q ' "$KESTRIFY_CLI" "$@")
    script -qec "$cmd" /dev/null >tty 2>&1 </dev/null
}

if ! script -qec true /dev/null </dev/null >/dev/null 2>&1; then
    skip "terminal: no pseudo-terminal through script(1)"
else
    on_tty box.KFY out.csv
    if grep -q '30/30' tty && grep -q $'\e\[K' tty; then
        ok "progress bar on a terminal"
    else
        not_ok "progress bar on a terminal"
        cat -v tty | sed 's/^/#   /'
    fi
    on_tty --quiet box.KFY out.csv
    if [ ! -s tty ]; then
        ok "--quiet: no progress bar"
    else
        not_ok "--quiet: no progress bar"
        cat -v tty | sed 's/^/#   /'
    fi
    on_tty box.KFY -
    if grep -q "件名,番号" tty; then
        ok "the CSV on a terminal is UTF-8"
    else
        not_ok "the CSV on a terminal is UTF-8"
        cat -v tty | sed 's/^/#   /'
    fi
fi

kcli box.KFY out.csv
expect_only_summary "no progress bar when standard error is a file"
printf '件名,番号\r\n' | sj >title.csv
if head -n 1 stdout | cmp -s - title.csv 2>/dev/null || [ ! -s stdout ]; then
    ok "piped output keeps Shift_JIS"
else
    not_ok "piped output keeps Shift_JIS"
fi
kcli box.KFY -
if head -n 1 stdout | cmp -s - title.csv; then
    ok "piped CSV keeps its Shift_JIS bytes"
else
    not_ok "piped CSV keeps its Shift_JIS bytes"
fi

# Every mail here makes the regular-expression engine work for a while, so
# the signal arrives in the middle of the conversion.
mkdir slow
for ((i = 1; i <= 40; i++)); do
    printf 'Subject: %d\n\n%s!\n' "$i" "$(printf 'a%.0s' {1..100})" >"slow/$i.eml"
done
param "Subject:" "件名" header
param '^(a|aa)+\d' "x" regex
project slow.KFY 0 slow
"$KESTRIFY_CLI" --jobs 1 slow.KFY slow.csv >stdout 2>stderr &
pid=$!
sleep 1
kill -TERM "$pid" # a background job ignores SIGINT, as it should
wait "$pid"
rc=$?
expect_rc "Ctrl-C" 143 # 128 + SIGTERM
expect_err "Ctrl-C" "中断しました。"
if [ -z "$(ls -A | grep '^\.\?slow\.csv')" ]; then
    ok "Ctrl-C: nothing written"
else
    not_ok "Ctrl-C: something was written"
    ls -A | sed 's/^/#   /'
fi
