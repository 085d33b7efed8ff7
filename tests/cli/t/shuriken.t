# A Shuriken file (CR LF): its first line is the separator, every equal line
# starts a mail, and the line before the next separator is not part of a mail.

{
    echo "=== Shuriken mail ==="
    echo "From: a@example.jp"
    echo "Subject: $(ew ISO-2022-JP "件名その1")"
    echo "Content-Type: text/plain; charset=ISO-2022-JP"
    echo
    iconv -f UTF-8 -t ISO-2022-JP <<<"商品コード：X-1"
    echo
    echo "=== Shuriken mail ==="
    echo 'From: "B" <b@example.jp>'
    echo "Subject: second"
    echo "Content-Type: text/plain; charset=Shift_JIS"
    echo
    sj <<<"商品コード：Y-2"
    echo
} | crlf >mail.box

param "Subject:" "件名" header
param "From:" "アドレス" header addr
param "商品コード：" "商品コード"
project shuriken.KFY 3 mail.box
kcli shuriken.KFY out.csv
expect_rc "Shuriken" 0
same_bytes "Shuriken: CSV" out.csv "$EXPECTED/shuriken.csv"
