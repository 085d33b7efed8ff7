# An output that is the caller's own descriptor (/dev/stdout, /dev/fd/N,
# /proc/self/fd/N, also through a link) is written where it stands: never
# renamed over, truncated or backed up. A stop is seen while a full pipe or
# FIFO blocks the writing.
. "$KESTRIFY_HOSTILE"

form_mbox store.mbox 3
form_project p.KFY store.mbox

printf 'old line 1\r\nold line 2\r\n' >log.csv
cp log.csv before.csv
"$KESTRIFY_CLI" -q p.KFY /proc/self/fd/1 >>log.csv 2>stderr
rc=$?
expect_rc "/proc/self/fd/1 appended by the shell" 0
check "/proc/self/fd/1: the old lines stay first" cmp -s before.csv <(head -c "$(stat -c %s before.csv)" log.csv)
check "/proc/self/fd/1: the rows follow" grep -q "inquiry 3" log.csv

{
    echo HEAD
    "$KESTRIFY_CLI" -q p.KFY /dev/stdout
    echo FOOT
} >log2.csv 2>stderr
check "/dev/stdout inside a group: HEAD kept" test "$(head -1 log2.csv)" = HEAD
check "/dev/stdout inside a group: FOOT kept" test "$(tail -1 log2.csv)" = FOOT
check "/dev/stdout inside a group: rows between" grep -q "inquiry 2" log2.csv

ln -s /proc/self/fd/1 out-link.csv
echo "keep me" >log3.csv
"$KESTRIFY_CLI" -q --backup p.KFY out-link.csv >>log3.csv 2>stderr
rc=$?
expect_rc "link to /proc/self/fd/1 with --backup" 0
check "link to /proc/self/fd/1: no backup made" test ! -e out-link.bak
check "link to /proc/self/fd/1: still a link" test -L out-link.csv
check "link to /proc/self/fd/1: old line kept" test "$(head -1 log3.csv)" = "keep me"

exec 7>>log4.csv
echo "first" >&7
kcli -q p.KFY /dev/fd/7
expect_rc "/dev/fd/7" 0
exec 7>&-
check "/dev/fd/7: written after what the descriptor held" test "$(head -1 log4.csv)" = first

# A full pipe on standard output: its reader never reads, SIGTERM must end
# the run at once.
form_mbox whole.mbox 20000 6
form_project whole.KFY whole.mbox
mkfifo pipe
exec 9<>pipe
"$KESTRIFY_CLI" -q whole.KFY - 2>stderr >pipe &
writer=$!
sleep 1.5
kill -TERM "$writer"
check "full pipe: SIGTERM ends the run within 3 s" ends_within 3 "$writer"
kill -KILL "$writer" 2>/dev/null
wait "$writer" 2>/dev/null
rc=$?
expect_rc "full pipe: status of SIGTERM" 143
exec 9>&-

mkfifo fifo.csv
exec 8<>fifo.csv  # a reader that never reads
"$KESTRIFY_CLI" -q whole.KFY fifo.csv 2>stderr &
writer=$!
sleep 1.5
kill -TERM "$writer"
check "stalled FIFO: SIGTERM ends the run within 3 s" ends_within 3 "$writer"
kill -KILL "$writer" 2>/dev/null
wait "$writer" 2>/dev/null
rc=$?
expect_rc "stalled FIFO: status of SIGTERM" 143
exec 8>&-
