# A folder of .eml files in three encodings: header and body parameters, a
# multi-line value with an end string, a regular-expression key, a column
# order apart from the search order; then the ways of saving.

mkdir -p mails/sub.eml
{
    cat <<HDR
From: $(ew ISO-2022-JP "山田 太郎") <taro@example.jp>
To: shop@example.co.jp
Subject: $(ew ISO-2022-JP "ご注文 A-1001")
Date: Mon, 3 Jun 2024 09:15:30 +0900
MIME-Version: 1.0
Content-Type: text/plain; charset=ISO-2022-JP

HDR
    iconv -f UTF-8 -t ISO-2022-JP <<'BODY'
ご注文ありがとうございます。
注文番号: A-1001
お名前:　山田 太郎　
商品:
りんご 3個
みかん 5個
--
合計: 1,200円
BODY
} >mails/a.eml

{
    cat <<HDR
From: "Hanako Sato" <hanako@example.com>
Subject: $(ew UTF-8 "ご注文 B-2002")
Date: Tue, 04 Jun 2024 00:00:00 +0000
MIME-Version: 1.0
Content-Type: text/plain; charset=UTF-8
Content-Transfer-Encoding: base64

HDR
    base64 <<'BODY'
注文番号: B-2002
お名前: 佐藤 花子
商品:
"特選" メロン, 1玉
--
合計：5,000円
BODY
} >mails/B.EML

{
    cat <<'HDR'
From: shop-form@example.co.jp (Order Form)
Subject: Order C-3003
Date: 5 Jun 2024 20:00:00 -0500
Content-Type: text/plain; charset=Shift_JIS
Content-Transfer-Encoding: 8bit

HDR
    sj <<'BODY'
お名前:　　鈴木 一郎　
商品:
本 1冊
BODY
} >mails/c.eml
echo "not a mail" >mails/note.txt

order_params() {
    param "Subject:" "件名" header order=5
    param "From:" "差出人" header name order=6
    param "Date:" "日時" header order=0
    param "注文番号:" "注文番号" order=1
    param "お名前:" "お名前" trim order=2
    param "商品:" "商品" multi next end=-- order=3
    param "^合計[:：] *" "合計" regex order=4
}

order_params
project orders.KFY 0 mails
kcli orders.KFY out.csv
expect_rc "eml folder" 0
expect_only_summary "eml folder"
same_bytes "eml folder: CSV" out.csv "$EXPECTED/eml.csv"

kcli orders.KFY
expect_rc "no OUTPUT, no SAVEFILENAME" 0
same_bytes "no OUTPUT, no SAVEFILENAME: standard output" stdout "$EXPECTED/eml.csv"

kcli --jobs 3 orders.KFY -
same_bytes "'-' writes to standard output" stdout "$EXPECTED/eml.csv"

# Appending: no title line; the old file goes to .bak first.
kcli --save-type 1 orders.KFY out.csv
expect_rc "append" 0
{ cat "$EXPECTED/eml.csv"; tail -n +2 "$EXPECTED/eml.csv"; } >appended.csv
same_bytes "append: rows without the title line" out.csv appended.csv
same_bytes "append: backup of the old file" out.bak "$EXPECTED/eml.csv"

kcli --no-backup orders.KFY out.csv
same_bytes "overwrite" out.csv "$EXPECTED/eml.csv"
same_bytes "--no-backup keeps the old backup" out.bak "$EXPECTED/eml.csv"

kcli --save-type 1 --no-backup orders.KFY new.csv
same_bytes "append to a missing file: the title line first" new.csv "$EXPECTED/eml.csv"

# UTF-8, with and without a byte-order mark.
kcli --encoding utf-8 orders.KFY utf8.csv
iconv -f CP932 -t UTF-8 "$EXPECTED/eml.csv" >expected-utf8.csv
same_bytes "UTF-8" utf8.csv expected-utf8.csv
kcli --encoding utf-8 --bom orders.KFY bom.csv
{ printf '\357\273\277'; cat expected-utf8.csv; } >expected-bom.csv
same_bytes "UTF-8 with BOM" bom.csv expected-bom.csv

# SAVEFILENAME and DIRECTORY of a project count from its own folder.
mkdir -p projects/elsewhere
order_params
project projects/orders.KFY 0 ../mails result.csv 0 0
(cd projects/elsewhere && "$KESTRIFY_CLI" ../orders.KFY) >stdout 2>stderr
rc=$?
expect_rc "paths from the project's folder" 0
same_bytes "paths from the project's folder: SAVEFILENAME" projects/result.csv "$EXPECTED/eml.csv"

# The command line's store wins over the project's.
order_params
project other.KFY 2 nowhere.mbox
kcli --mail-type 0 --location mails other.KFY over.csv
expect_rc "--mail-type and --location" 0
same_bytes "--mail-type and --location" over.csv "$EXPECTED/eml.csv"
