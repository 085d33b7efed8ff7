# A Unix mbox in EUC-JP and UTF-7 with an empty mail between two "From "
# lines: a mail address from the body, a one-line join up to a regular
# end string, wrapping at a width. Then a bigger mbox converted on one and
# on several threads.

{
    echo "From a@example.jp Mon Jun  3 09:00:00 2024"
    echo "From: a@example.jp"
    echo "Subject: $(ew EUC-JP "ご意見")"
    echo "Content-Type: text/plain; charset=EUC-JP"
    echo
    iconv -f UTF-8 -t EUC-JP <<'BODY'
氏名：  伊藤 誠  
連絡先：伊藤 <makoto.ito@example.jp>
住所：東京都千代田区丸の内1-2-3
ご意見：
とても
使いやすいです。
----
以上
BODY
    echo
    echo "From b@example.jp Mon Jun  3 10:00:00 2024"
    echo "From: b@example.jp"
    echo "Subject: UTF-7 mail"
    echo "Content-Type: text/plain; charset=UTF-7"
    echo
    iconv -f UTF-8 -t UTF-7 <<'BODY'
氏名：中村 愛
ご意見：
日本語のメール
---
BODY
    echo
    echo "From c@example.jp Mon Jun  3 11:00:00 2024"
    echo "From c@example.jp Mon Jun  3 11:00:00 2024"
    echo "Subject: last"
    echo
    echo ">From the escaped line"
    sj <<<"氏名：x"
    echo
} >box.mbox

param "Subject:" "件名" header
param "氏名：" "氏名"
param "連絡先：" "メール" addr
# The address stands above the opinion in the body, so it is searched first.
param "住所：" "住所" wrap=10 order=4
param "ご意見：" "ご意見" multi next oneline end='^-{3,}' endre order=3
project box.KFY 2 box.mbox
kcli box.KFY box.csv
expect_rc "mbox" 0
same_bytes "mbox: CSV" box.csv "$EXPECTED/mbox.csv"

# 200 mails in four encodings: every thread count gives the same bytes.
for ((i = 1; i <= 200; i++)); do
    case $((i % 4)) in
        0) cs=ISO-2022-JP ;;
        1) cs=UTF-8 ;;
        2) cs=EUC-JP ;;
        3) cs=Shift_JIS ;;
    esac
    printf 'From form@example.jp Mon Jun  3 09:00:00 2024\n'
    printf 'From: %s <user%d@example.jp>\n' "$(ew "$cs" "利用者$i")" "$i"
    printf 'Subject: %s\n' "$(ew "$cs" "お問い合わせ $i")"
    printf 'Date: Mon, 3 Jun 2024 %02d:%02d:00 +0900\n' $((i % 24)) $((i % 60))
    printf 'Content-Type: text/plain; charset=%s\n\n' "$cs"
    printf '番号：%d\n内容：\n%d 行目\nよろしく\n■\n\n' "$i" "$i" | iconv -f UTF-8 -t "$cs"
done >many.mbox
param "Subject:" "件名" header
param "From:" "名前" header name
param "Date:" "日時" header
param "番号：" "番号"
param "内容：" "内容" multi next end="■"
project many.KFY 2 many.mbox
kcli --jobs 1 many.KFY one.csv
expect_rc "--jobs 1" 0
kcli --jobs 4 many.KFY four.csv
expect_rc "--jobs 4" 0
same_bytes "--jobs 4 writes what --jobs 1 writes" four.csv one.csv
kcli many.KFY default.csv
same_bytes "the default thread count writes what --jobs 1 writes" default.csv one.csv
if [ "$(wc -l <one.csv)" -eq $((1 + 200 * 2)) ] &&
    [ "$(sed -n 200p one.csv | iconv -f CP932 -t UTF-8)" = '"お問い合わせ 100",利用者100,"2024/6/3 04:40:00",100,"100 行目' ]; then
    ok "200 mails, in mail order"
else
    not_ok "200 mails, in mail order"
    sed -n 200p one.csv | iconv -f CP932 -t UTF-8 | sed 's/^/#   /'
fi
