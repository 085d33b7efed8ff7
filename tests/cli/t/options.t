# Option parsing as a user types it, and --safe-cells on mail that carries
# spreadsheet formulas.

mkdir mails
printf 'Subject: =HYPERLINK("http://x")\n\nTel: +81 3 1234\nNote: a=b\n' >mails/a.eml
param "Subject:" "件名" header
param "Tel:" "電話"
param "Note:" "メモ"
project mails.KFY 0 mails

printf '件名,電話,メモ\r\n"=HYPERLINK(""http://x"")","+81 3 1234",a=b\r\n' >plain.csv
printf '件名,電話,メモ\r\n"'"'"'=HYPERLINK(""http://x"")","'"'"'+81 3 1234",a=b\r\n' >safe.csv
iconv -f UTF-8 -t CP932 -o plain-sjis.csv plain.csv
iconv -f UTF-8 -t CP932 -o safe-sjis.csv safe.csv

kcli -qj1 mails.KFY out.csv
expect_rc "bundled short options" 0
expect_no_err "bundled short options"
same_bytes "formulas are kept by default" out.csv plain-sjis.csv

kcli mails.KFY --safe-cells -q out-safe.csv
expect_rc "--safe-cells" 0
same_bytes "--safe-cells puts a quote before formulas" out-safe.csv safe-sjis.csv

kcli -qx mails.KFY
expect_rc "unknown short option in a bundle" 2
expect_err "unknown short option in a bundle" "不明なオプションです: -x"

kcli --help
for line in "docs/project-format.md" '"-" (a single minus sign)' '"-" (マイナス記号 1 つ)'; do
    grep -qF -- "$line" stdout && ok "--help mentions $line" || not_ok "--help lacks $line"
done
