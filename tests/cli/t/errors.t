# Exit statuses and messages: bad usage, projects and stores the Convert
# checks refuse, failing mails, CSV files and backups that cannot be written.

mkdir mails
printf 'Subject: one\n\nBody: 1\n' >mails/a.eml
# The second mail makes the regular-expression engine give up: its search
# fails, so the mail fails.
printf 'Subject: two\n\nBody: 2\n%s!\n' "$(printf 'a%.0s' {1..100})" >mails/b.eml
printf 'Subject: three\n\nBody: 3\n' >mails/c.eml
param "Subject:" "件名" header
param "Body:" "本文"
param '^(a|aa)+\d' "x" regex
project mails.KFY 0 mails

# --- usage --------------------------------------------------------------
kcli
expect_rc "no arguments" 2
expect_err "no arguments" "プロジェクトファイルを指定してください。"
for args in "--bogus mails.KFY" "--save-type 2 mails.KFY" "--mail-type 99 mails.KFY" \
    "--jobs 0 mails.KFY" "--jobs x mails.KFY" "--encoding latin1 mails.KFY" \
    "--bom mails.KFY" "mails.KFY a.csv b.csv" "mails.KFY --location"; do
    # shellcheck disable=SC2086
    kcli $args
    expect_rc "usage: $args" 2
    expect_err "usage: $args" "kestrify-cli --help"
done

kcli --help
expect_rc "--help" 0
if grep -q "使い方: kestrify-cli" stdout && grep -q "Usage: kestrify-cli" stdout; then
    ok "--help in Japanese and English"
else
    not_ok "--help in Japanese and English"
fi
kcli --version
expect_rc "--version" 0
if grep -Eq '^kestrify-cli [0-9]+\.[0-9]+\.[0-9]+$' stdout; then
    ok "--version prints the version"
else
    not_ok "--version prints the version: $(cat stdout)"
fi

# --- projects and the Convert checks ----------------------------------------
kcli missing.KFY
expect_rc "missing project" 2
expect_err "missing project" "missing.KFY: ファイルが見つかりませんでした。"

kcli mails
expect_rc "a folder as project" 2
expect_err "a folder as project" "を読み込めません。"

project empty.KFY 0 mails
kcli empty.KFY out.csv
expect_rc "no parameters" 2
expect_err "no parameters" "パラメータが指定されていません。"
[ ! -e out.csv ] && ok "no parameters: nothing written" || not_ok "no parameters: out.csv written"

messages=("メールのあるフォルダを指定してください。" "DBXファイルを指定してください。"
    "Unix mbox形式のファイルを指定してください。" "Shuriken形式のファイルを指定してください。"
    "Eudoraのmbxファイルを指定してください。" "テキストファイルのあるフォルダを指定してください。"
    "Maildir 形式のフォルダを指定してください。" "MH 形式のフォルダを指定してください。"
    "Thunderbird のフォルダのファイルを指定してください。")
for type in 0 1 2 3 4 5 6 7 8; do
    param "Subject:" "件名" header
    project "missing$type.KFY" "$type" no-such-store
    kcli "missing$type.KFY"
    expect_rc "mail type $type, missing store" 2
    expect_err "mail type $type, missing store" "${messages[$type]}"
done
kcli --mail-type 2 --location mails mails.KFY
expect_rc "a folder as mbox file" 2
expect_err "a folder as mbox file" "${messages[2]}"
kcli --location mails/a.eml mails.KFY
expect_rc "a file as mail folder" 2
expect_err "a file as mail folder" "${messages[0]}"

param "Subject:" "件名" header
project type99.KFY 99 mails
kcli type99.KFY
expect_rc "unknown mail type" 2
expect_err "unknown mail type" "MAILTYPE=99"

echo "hello, not a dbx" >garbage.dbx
param "Subject:" "件名" header
project garbage.KFY 1 garbage.dbx
kcli garbage.KFY garbage.csv
expect_rc "a store that cannot be read" 2
expect_err "a store that cannot be read" "garbage.dbx: DBXファイルではないようです。"
[ ! -e garbage.csv ] && ok "a store that cannot be read: nothing written" ||
    not_ok "a store that cannot be read: garbage.csv written"

# --- failing mails ---------------------------------------------------------
printf '件名,本文,x\r\none,1,\r\n,,\r\nthree,3,\r\n' | sj >failed.csv
kcli mails.KFY out.csv
expect_rc "a mail fails" 1
expect_err "a mail fails" "正規表現エラー: 3中2番目のメールでエラーが発生しました。"
same_bytes "a mail fails: its row keeps only its number" out.csv failed.csv

kcli --quiet mails.KFY quiet.csv
expect_rc "--quiet" 1
expect_err "--quiet still names the failed mail" "3中2番目のメールでエラーが発生しました。"

printf '件名,本文,x\r\none,1,\r\n' | sj >stopped.csv
kcli --stop-on-error mails.KFY stopped-out.csv
expect_rc "--stop-on-error" 1
expect_err "--stop-on-error" "3中2番目のメールでエラーが発生しました。"
same_bytes "--stop-on-error: the rows before the failed mail" stopped-out.csv stopped.csv
rm mails/b.eml

# --- writing -----------------------------------------------------------
kcli mails.KFY "結果 ①.csv"
expect_rc "a Japanese CSV name" 0
[ -s "結果 ①.csv" ] && ok "a Japanese CSV name: written" || not_ok "a Japanese CSV name: missing"

kcli mails.KFY "out-😀.csv"
expect_rc "a name Shift_JIS cannot hold" 2
expect_err "a name Shift_JIS cannot hold" "Shift_JIS で表せない文字を含むパスは使えません。"

kcli mails.KFY no-such-folder/out.csv
expect_rc "unwritable CSV" 3
expect_err "unwritable CSV" "no-such-folder/out.csv: ファイルの保存に失敗しました。"

mkdir a-folder.csv
kcli --no-backup mails.KFY a-folder.csv
expect_rc "a folder as CSV" 3
expect_err "a folder as CSV" "ファイルの保存に失敗しました。"

"$KESTRIFY_CLI" mails.KFY - >/dev/full 2>stderr
rc=$?
expect_rc "standard output full" 3
expect_err "standard output full" "ファイルの保存に失敗しました。"

param "Subject:" "件名" header
project savetype5.KFY 0 mails st5.csv 5 0
kcli savetype5.KFY
expect_rc "save type 5 is refused before any mail is read" 2
expect_err "save type 5 is refused before any mail is read" "SAVETYPE=5"
[ ! -e st5.csv ] && ok "save type 5: nothing written" || not_ok "save type 5: st5.csv written"

# A backup that cannot be made: a non-empty folder holds the .bak name.
printf 'old\r\n' >kept.csv
mkdir -p kept.bak/x
kcli --backup mails.KFY kept.csv
expect_rc "backup fails" 3
expect_err "backup fails" "kept.csv: バックアップファイルの作成に失敗しました。"
printf 'old\r\n' >old.csv
same_bytes "backup fails: the CSV is left alone" kept.csv old.csv
kcli --backup --force mails.KFY kept.csv
expect_rc "backup fails, --force" 0
expect_err "backup fails, --force" "バックアップファイルの作成に失敗しました。"
printf '件名,本文,x\r\none,1,\r\nthree,3,\r\n' | sj >two.csv
same_bytes "backup fails, --force: the CSV is written" kept.csv two.csv
