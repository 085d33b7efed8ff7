# The desktop program's automatic run against hostile names, signals and
# memory limits (offscreen, temporary folder only). Run by run-e2e.sh with
# KESTRIFY_GUI set.

kgui() {
    HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/.config XDG_DATA_HOME=$PWD/home/.local/share \
        QT_QPA_PLATFORM=offscreen KESTRIFY_TEST_ANSWER_BOXES=1 \
        timeout 60 "$KESTRIFY_GUI" "$@" >stdout 2>stderr </dev/null
    rc=$?
}
mkdir -p home
leftovers() { find . -maxdepth 1 -name '.kfy-*' | wc -l; }

param "From:" "From" header
param "Subject:" "Subject" header
{
    for i in 1 2 3; do
        printf 'From a@example.jp Mon Jun  3 09:00:00 2024\nFrom: a%s@example.jp\nSubject: s%s\n\nbody\n\n' "$i" "$i"
    done
} >small.mbox
project small.KFY 2 small.mbox

# CSV names that look like options of the toolkit are file names.
for name in -style -reverse -widgetcount; do
    rm -f -- "$name" 0
    kgui -a small.KFY "$name" 0 1
    expect_rc "CSV named $name" 0
    if [ -s "./$name" ] && [ ! -e 0 ]; then ok "CSV named $name: written under its name"; else not_ok "CSV named $name: not written as ./$name"; fi
done
rm -f -- -style
kgui -a -- small.KFY -style 0 0
expect_rc "-a -- with a CSV named -style" 0
if [ -s ./-style ]; then ok "-a --: written under its name"; else not_ok "-a --: ./-style missing"; fi

# A stop signal during the run: status 128 + signal, the old CSV as it was,
# no temporary file left. The store is large enough to still be converting.
awk 'BEGIN { for (i = 0; i < 300000; i++)
    printf "From a@example.jp Mon Jun  3 09:00:00 2024\nFrom: a%d@example.jp\nSubject: s%d\n\nbody %d\n\n", i, i, i }' >big.mbox
param "From:" "From" header
param "Subject:" "Subject" header
project big.KFY 2 big.mbox
for sig in INT TERM HUP; do
    printf 'old,csv\r\n' >big.csv
    # Job control: a background job of a script would start with SIGINT ignored.
    set -m
    HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/.config QT_QPA_PLATFORM=offscreen \
        KESTRIFY_TEST_ANSWER_BOXES=1 "$KESTRIFY_GUI" -a big.KFY big.csv 0 0 >stdout 2>stderr </dev/null &
    pid=$!
    set +m
    # Once the rows go to the early file, the stop has one to remove.
    for _ in $(seq 1 200); do
        [ "$(leftovers)" -gt 0 ] && break
        sleep 0.05
    done
    kill -s "$sig" "$pid"
    wait "$pid"
    rc=$?
    expect_rc "SIG$sig during a run" "$((128 + $(kill -l "$sig")))"
    if [ "$(cat big.csv)" = "$(printf 'old,csv\r\n')" ]; then ok "SIG$sig: old CSV kept"; else not_ok "SIG$sig: old CSV changed"; fi
    if [ "$(leftovers)" -eq 0 ]; then ok "SIG$sig: no temporary file"; else not_ok "SIG$sig: temporary files left"; ls -a | sed 's/^/#   /'; fi
done

# Under a memory limit the run ends with a status, never a crash: 0 when it
# fitted, 4 with the memory message when it did not.
if command -v prlimit >/dev/null; then
    {
        printf 'From a@example.jp Mon Jun  3 09:00:00 2024\nFrom: big@example.jp\nSubject: big\n\n'
        yes 'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' | head -c 60000000
        printf '\n'
    } >goom.mbox
    param "From:" "From" header
    param "" "Body" multi
    project goom.KFY 2 goom.mbox
    for limit in 400M 700M 1000M; do
        printf 'old\r\n' >g.csv
        HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/.config QT_QPA_PLATFORM=offscreen \
            KESTRIFY_TEST_ANSWER_BOXES=1 timeout 120 prlimit --as=$((${limit%M} * 1000000)) \
            "$KESTRIFY_GUI" -a goom.KFY g.csv 0 0 >stdout 2>stderr </dev/null
        rc=$?
        case $rc in
            0) ok "memory limit $limit: fitted" ;;
            4)
                expect_err "memory limit $limit" "メモリが不足しています。"
                if [ "$(cat g.csv)" = "$(printf 'old\r\n')" ]; then ok "memory limit $limit: old CSV kept"; else not_ok "memory limit $limit: old CSV changed"; fi
                ;;
            1)
                # Memory that runs out inside one mail's conversion is still
                # reported as that mail failing; no crash either way.
                if grep -q "メモリが不足しています" stderr; then
                    skip "memory limit $limit: out of memory inside a mail counts as a failed mail"
                else
                    not_ok "memory limit $limit: status 1"
                fi
                ;;
            *) not_ok "memory limit $limit: status $rc"; sed 's/^/#   stderr: /' stderr | head -5 ;;
        esac
        if [ "$(leftovers)" -eq 0 ]; then ok "memory limit $limit: no temporary file"; else not_ok "memory limit $limit: temporary files left"; fi
    done
    # No thread to be had: each would need a stack larger than the address
    # space left. Work meant for a thread runs on the window's, the run ends
    # with the memory message and status 4; never a crash or a hang (Qt's
    # painting waits for parts that a thread it cannot make would paint).
    printf 'old\r\n' >t.csv
    HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/.config QT_QPA_PLATFORM=offscreen \
        KESTRIFY_TEST_ANSWER_BOXES=1 timeout 60 prlimit --stack=1900000000 --as=2000000000 \
        "$KESTRIFY_GUI" -a small.KFY t.csv 0 0 >stdout 2>stderr </dev/null
    rc=$?
    expect_rc "no thread to be had" 4
    expect_err "no thread to be had" "メモリが不足しています。"
    if [ "$(cat t.csv)" = "$(printf 'old\r\n')" ]; then ok "no thread to be had: old CSV kept"; else not_ok "no thread to be had: old CSV changed"; fi
    if [ "$(leftovers)" -eq 0 ]; then ok "no thread to be had: no temporary file"; else not_ok "no thread to be had: temporary files left"; fi
else
    skip "memory limits: prlimit is missing"
fi
