# A folder of plain text files: every file is one mail body, nothing is
# decoded and no header exists.

mkdir texts
sj <<'TXT' | crlf >texts/01.txt
Subject: 本文の一行目
氏名：田中
電話：03-1111-2222
TXT
sj <<'TXT' >texts/02.txt
氏名：木村 拓
TXT
echo "no keys here" >texts/readme

param "Subject:" "件名" header
param "氏名：" "氏名"
param "電話：" "電話"
project text.KFY 5 texts
kcli text.KFY out.csv
expect_rc "text folder" 0
same_bytes "text folder: CSV" out.csv "$EXPECTED/text.csv"
