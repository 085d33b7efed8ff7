# HTML-only notification mails: with HTMLTEXT=1 the key-line parameters find
# the values in table rows and <br> lines; a project without the key reads
# the markup as before.

mkdir mails
cp "$ROOT"/tests/data/mail/html/*.eml mails/
values_of() { iconv -f CP932 -t UTF-8 "$1" | tr -d '\r' | sort; }

for on in 1 0; do
    param "ご注文番号" "注文"
    param "受付番号：" "受付"
    param "予約番号" "予約"
    param "会員番号" "会員"
    param "お名前" "名前"
    project "html$on.KFY" 0 mails
    if [ "$on" = 1 ]; then
        sed -i 's/^\(DIRECTORY=mails\)\r$/\1\r\nHTMLTEXT=1\r/' "html$on.KFY"
    fi
    kcli "html$on.KFY" "out$on.csv"
    expect_rc "HTMLTEXT=$on" 0
done

# Rows in any order (the folder's order is the file system's).
expect_values() {
    if [ "$(values_of "$2")" = "$(sort <<<"$3")" ]; then
        ok "$1"
    else
        not_ok "$1: values differ"
        values_of "$2" | sed 's/^/#   /'
    fi
}
expect_values "HTMLTEXT=1: values from the rows and lines" out1.csv '注文,受付,予約,会員,名前
,,,M-00912,
,,RSV-55120,,
,FORM-20240409-0042,,,"：佐藤 花子"
SO-2024-000871,,,,"山田 太郎"'
# Without the key only a key at the start of a markup line is found, markup
# and all, as before.
expect_values "HTMLTEXT absent: the markup as before" out0.csv '注文,受付,予約,会員,名前
,,,,
,,,,
,,,,
,FORM-20240409-0042<br>,,,"：佐藤 花子<br>"'
