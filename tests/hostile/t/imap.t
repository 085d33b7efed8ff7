# A hostile IMAP server (imap-server.py, one scenario per process on
# 127.0.0.1, gone after its lifetime): commands are never injected, a
# server's answers are bounded in memory and time, and what it does wrong is
# said as such (exit 2, old CSV kept). The slow cases (a server that never
# answers or trickles) run side by side against the documented 60 s.
. "$KESTRIFY_HOSTILE"

if ! need_tool "hostile IMAP server" python3 openssl; then
    return 0 2>/dev/null || exit 0
fi
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj /CN=localhost -addext subjectAltName=DNS:localhost >/dev/null 2>&1
form_mbox store.mbox 1
form_project p.KFY store.mbox
printf 'old,csv\r\n' >old.csv
server_pids=()
trap 'kill "${server_pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT

# imap_server NAME SCENARIO [--starttls]: starts a server; its port in $port.
imap_server() {
    local name=$1 scenario=$2 i
    shift 2
    python3 "$ROOT/tests/hostile/imap-server.py" --scenario "$scenario" --cert cert.pem \
        --key key.pem --port-file "$name.port" --log "$name.log" "$@" 2>"$name.server-err" &
    server_pids+=($!)
    for i in $(seq 200); do
        [ -s "$name.port" ] && break
        sleep 0.05
    done
    port=$(cat "$name.port" 2>/dev/null)
    touch "$name.log"
}

# imap_run NAME URL [ARGS...]: the command against URL, bounded by a
# watchdog; output in NAME.out/.err, status in NAME.rc, seconds in NAME.time,
# peak RSS (KB) in NAME.rss.
imap_run() {
    local name=$1 url=$2 start
    shift 2
    start=$(date +%s)
    printf 'old,csv\r\n' >"$name.csv"
    echo 0 >"$name.rss"
    env -u DBUS_SESSION_BUS_ADDRESS KESTRIFY_IMAP_PASSWORD='p"w\ x' timeout 150 \
        /usr/bin/time -q -f %M -o "$name.rss" \
        "$KESTRIFY_CLI" -q --mail-type 9 --location "$url" "$@" p.KFY "$name.csv" \
        >"$name.out" 2>"$name.err"
    echo $? >"$name.rc"
    echo $(($(date +%s) - start)) >"$name.time"
}

# imap_expect NAME RC TEXT: NAME ended with RC saying TEXT.
imap_expect() {
    rc=$(cat "$1.rc")
    cp "$1.err" stderr
    expect_rc "$1" "$2"
    [ -n "$3" ] && expect_err "$1" "$3"
}

# The slow ones first, in the background: each must end within the
# documented 60 s, naming the step, and never say LOGOUT to a server that
# timed out.
slow_cases=(
    # name            scenario          step named
    "silent-tls       silent-tls        TLS の開始"
    "silent-greeting  silent-greeting   サーバの挨拶"
    "trickle          trickle           サーバの挨拶"
    "silent-login     silent-login      LOGIN"
)
slow_jobs=()
for row in "${slow_cases[@]}"; do
    read -r name scenario step <<<"$row"
    imap_server "$name" "$scenario"
    imap_run "$name" "imaps://u@localhost:$port/INBOX" --ca-file cert.pem &
    slow_jobs+=($!)
done

# Refused before any connection: a line break or a zero byte in any part
# of the URL.
imap_server inject record
for url in "imaps://u%0D%0AX%20DELETE%20INBOX@localhost:$port/INBOX" \
    "imaps://u;AUTH=XOAUTH2%0A@localhost:$port/INBOX" \
    "imaps://u@localhost:$port/IN%0D%0ABOX%00"; do
    imap_run inject "$url" --ca-file cert.pem
    imap_expect inject 2 "改行 (CR, LF) と 0 のバイトは URL のどこにも使えません"
done
if grep -q connection inject.log; then
    not_ok "inject: the server was reached"
else
    ok "inject: the server was never reached"
fi

# User names and passwords go as literals or quoted strings; a mail listed
# above 256 MB is never asked for and fails alone with its UID.
imap_server record record
imap_run record "imaps://%E5%88%A9%E7%94%A8%E8%80%85@localhost:$port/INBOX" --ca-file cert.pem
imap_expect record 1 "UID 2: メールが 256 MB より大きいため読みません"
if grep -qF "LOGIN {9}" record.log && grep -qF '"p\"w\\ x"' record.log; then
    ok "record: the user as a literal, the password quoted"
else
    not_ok "record: LOGIN was not sent as literal and quoted string"
    sed 's/^/#   log: /' record.log
fi
if grep -q "UID FETCH 1,3 " record.log && grep -q "person 3" record.csv &&
    ! grep -q "person 2" record.csv; then
    ok "record: UIDs 1 and 3 converted, 2 never fetched"
else
    not_ok "record: wrong mails fetched or converted"
    sed 's/^/#   log: /' record.log
fi

# A damaged modified UTF-7 name goes back as the server's bytes when the
# name as written is not there.
imap_server damaged damaged-folder
imap_run damaged "imaps://u@localhost:$port/a&AAA-b" --ca-file cert.pem
imap_expect damaged 0 ""
if grep -qE 'EXAMINE "?a&-AAA-b"?$' damaged.log && grep -qE 'EXAMINE "?a&AAA-b"?$' damaged.log; then
    ok "damaged: tried as written, then as the server's bytes"
else
    not_ok "damaged: EXAMINE not as expected"
    sed 's/^/#   log: /' damaged.log
fi

# Answers without end or beyond the limits: the connection ends, exit 2,
# the old CSV kept, within a bounded memory (peak RSS below 700 MB).
bounded_cases=(
    # scenario         what it does
    "untagged-login    endless untagged lines after LOGIN"
    "untagged-examine  endless EXISTS lines after EXAMINE"
    "untagged-fetch    endless FETCH answers during UID FETCH"
    "long-line         a line without end"
    "huge-literal      a literal of 99999999999 bytes"
    "uid64             a UID beyond 32 bits"
)
for row in "${bounded_cases[@]}"; do
    read -r scenario what <<<"$row"
    imap_server "$scenario" "$scenario"
    imap_run "$scenario" "imaps://u@localhost:$port/INBOX" --ca-file cert.pem
    imap_expect "$scenario" 2 "サーバの応答が異常です"
    same_file "$scenario" "$scenario.csv" old.csv
    kb=$(tail -1 "$scenario.rss")
    if [ -n "${KESTRIFY_SANITIZED:-}" ] || [ "$kb" -lt 700000 ]; then
        ok "$scenario: peak RSS $kb KB"
    else
        not_ok "$scenario ($what): peak RSS $kb KB"
    fi
done

# Plain text after the STARTTLS answer is the server breaking the protocol.
imap_server inject-tls starttls-inject --starttls
imap_run inject-tls "imap://u@localhost:$port/INBOX" --ca-file cert.pem
imap_expect inject-tls 2 "STARTTLS の後に暗号化していないデータを送りました"

# A CA file must be a regular file of sane size.
mkfifo ca.fifo
head -c 5000000 /dev/zero >ca.big
imap_server ca record
for row in "/dev/zero 普通のファイルではありません" "ca.fifo 普通のファイルではありません" \
    "ca.big 大きすぎます" "/ 普通のファイルではありません"; do
    read -r file why <<<"$row"
    imap_run ca "imaps://u@localhost:$port/INBOX" --ca-file "$file"
    imap_expect ca 2 "$why"
done

wait "${slow_jobs[@]}"
for row in "${slow_cases[@]}"; do
    read -r name scenario step <<<"$row"
    imap_expect "$name" 2 "60 秒間応答がありません ($step)"
    seconds=$(cat "$name.time")
    if [ "$seconds" -le 70 ]; then
        ok "$name: ended after $seconds s"
    else
        not_ok "$name: ended after $seconds s, not within the documented 60 s"
    fi
done
if grep -q LOGOUT silent-login.log; then
    not_ok "silent-login: LOGOUT sent on a connection that timed out"
else
    ok "silent-login: no LOGOUT after the timeout"
fi
