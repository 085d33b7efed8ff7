# Projects written by hand and the mistakes of a first run: UTF-8 projects
# (the format guide's own example), missing field orders, broken regular
# expressions, numbers out of range, SAVEFILENAME that is no CSV, stores of
# the wrong type, a store given as the project, and the closing summary.

# The web-form mail of the format guide, in an mbox, as UTF-8.
{
    echo "From form@example.jp Thu Jun  5 10:05:09 2003"
    echo "From: form@example.jp"
    echo "Subject: inquiry"
    echo "Date: Thu, 5 Jun 2003 10:05:09 +0900"
    echo "Content-Type: text/plain; charset=UTF-8"
    echo "Content-Transfer-Encoding: 8bit"
    echo
    sed -n '/^■お名前/,/^■ここまで/p' "$ROOT/docs/project-format.md"
    echo
} >inquiries.mbox

# --- the guide's example, saved by an editor as UTF-8 ------------------------
sed -n '/^```ini$/,/^```$/p' "$ROOT/docs/project-format.md" | sed '1d;$d' >guide.KFY
# Rows end in CR LF; the line break inside the quoted value is LF alone.
sed -n '/^受信日時,お名前/,/^```$/p' "$ROOT/docs/project-format.md" | sed '$d' |
    sed '1s/$/\r/;3s/$/\r/' | sj >guide.csv
kcli guide.KFY
expect_rc "the format guide's example as UTF-8" 0
same_bytes "the format guide's example gives the CSV it shows" inquiries.csv guide.csv
if [ "$(grep -c "UTF-8 のファイルとして読み込みました" stderr)" -eq 1 ]; then
    ok "reading as UTF-8 is said once"
else
    not_ok "reading as UTF-8 is said once"
fi

# --- a byte-order mark, no FIELD_ORDER, a broken regular expression ----------
{
    printf '\xEF\xBB\xBF[EML]\nMAILTYPE=2\nDIRECTORY=inquiries.mbox\nPARAM=4\n'
    printf 'PARAM_KEY0=Subject:\nFIELD_NAME0=件名\nPARAM_POS_TYPE0=1\n'
    printf 'PARAM_KEY1=■お名前：\nFIELD_NAME1=お名前\nTRIM1=1\n'
    printf 'PARAM_KEY2=■電話番号：\nFIELD_NAME2=電話\n'
    printf 'PARAM_KEY3=(■メール\nFIELD_NAME3=壊れた式\nPARAM_REGEXT3=1\n'
    printf '[SYSTEM]\nVERSION=4\n'
} >bom.KFY
printf '件名,お名前,電話,壊れた式\r\ninquiry,"山田 太郎",03-1234-5678,\r\n' | sj >bom.csv
kcli bom.KFY bom-out.csv
expect_rc "byte-order mark, no field orders" 0
same_bytes "without FIELD_ORDER every column keeps its own value" bom-out.csv bom.csv
expect_err "a broken regular expression is named" "PARAM_KEY3 (壊れた式) の正規表現を使えません"
[ "$(grep -c 正規表現を使えません stderr)" -eq 1 ] && ok "named once" || not_ok "named once"

# --- numbers out of range and SAVEFILENAME ----------------------------------
param "Subject:" "件名" header
project range.KFY 2 inquiries.mbox out.csv 257
kcli range.KFY
expect_rc "SAVETYPE=257" 2
expect_err "SAVETYPE=257 names the key" "SAVETYPE=257"
[ ! -e out.csv ] && ok "SAVETYPE=257: nothing written" || not_ok "SAVETYPE=257: out.csv written"

echo "keep me" >dot-bashrc
cp dot-bashrc bashrc-before
for name in dot-bashrc report.txt report.csv.sh; do
    param "Subject:" "件名" header
    project "save-$name.KFY" 2 inquiries.mbox "$name"
    kcli "save-$name.KFY"
    expect_rc "SAVEFILENAME=$name" 2
    expect_err "SAVEFILENAME=$name asks for OUTPUT" "出力ファイルを指定してください。"
done
same_bytes "a project cannot overwrite a non-CSV file" dot-bashrc bashrc-before
param "Subject:" "件名" header
project upper.KFY 2 inquiries.mbox REPORT.CSV
kcli upper.KFY
expect_rc "SAVEFILENAME ending in .CSV" 0
[ -s REPORT.CSV ] && ok "REPORT.CSV written" || not_ok "REPORT.CSV missing"

# --- the summary ------------------------------------------------------------
kcli upper.KFY
expect_err "summary" "完了: メール 1 通を読み、1 行を書きました。エラー 0 通。出力: REPORT.CSV、バックアップ: REPORT.bak"
kcli -q upper.KFY
expect_no_err "--quiet: no summary"

# --- stores of the wrong type -----------------------------------------------
{
    printf '\xCF\xAD\x12\xFE\xC5\xFD\x74\x6F'
    head -c 1000 /dev/zero
} >store.dbx
printf 'Subject: one\n\nbody\n' >one.eml
# type asked for | file | says | advises
cases=(
    "2|store.dbx|Unix mbox形式のファイルではないようです。|DBXファイルのようです: --mail-type 1"
    "3|inquiries.mbox|Shuriken形式のファイルではないようです。|Unix mbox形式のファイルのようです: --mail-type 2"
    "4|upper.KFY|Eudoraのmbxファイルではないようです。|プロジェクトファイルのようです。"
    "1|one.eml|DBXファイルではないようです。|メールファイル 1 通のようです。"
)
for c in "${cases[@]}"; do
    IFS='|' read -r type file says advises <<<"$c"
    kcli --mail-type "$type" --location "$file" upper.KFY wrong.csv
    expect_rc "type $type on $file" 2
    expect_err "type $type on $file" "$file: $says"
    expect_err "type $type on $file" "$advises"
done
[ ! -e wrong.csv ] && ok "wrong store types: nothing written" || not_ok "wrong.csv written"

printf 'no mail here\n' >plain.txt
kcli --location plain.txt upper.KFY
expect_err "no advice when the file looks like nothing" "plain.txt: Unix mbox形式のファイルではないようです。 (not a Unix mbox file)"
if grep -q "file) / " stderr; then not_ok "no trailing separator"; else ok "no trailing separator"; fi

kcli --location no-such.mbox upper.KFY
expect_err "the location check names the path" "Unix mbox形式のファイルを指定してください。: no-such.mbox"

kcli inquiries.mbox
expect_rc "a store given as the project" 2
expect_err "a store given as the project" "inquiries.mbox: プロジェクトファイルではありません。"
