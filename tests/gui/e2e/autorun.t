# The desktop program's automatic run, kestrify -a PROJECT CSV SAVETYPE
# [BACKUP], offscreen: it ends by itself, writes the CSV that kestrify-cli
# writes for the same project, and its exit status tells how it went. Boxes
# are written to standard error and answered as Esc answers them.

kgui() {
    HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/.config XDG_DATA_HOME=$PWD/home/.local/share \
        QT_QPA_PLATFORM=offscreen KESTRIFY_TEST_ANSWER_BOXES=1 \
        timeout 120 "$KESTRIFY_GUI" "$@" >stdout 2>stderr
    rc=$?
}
mkdir -p home

# The example project, its store and CSV given relative to its folder.
mkdir example
cp "$ROOT/examples/inquiries.KFY" "$ROOT/examples/inquiries.mbox" example/
kcli example/inquiries.KFY cli.csv
expect_rc "example, kestrify-cli" 0
kgui -a example/inquiries.KFY gui.csv 0
expect_rc "example, automatic run" 0
same_bytes "example: the CSV of kestrify-cli" gui.csv cli.csv

# A workbook: the cells of the command's CSV (read back by a checker of the
# tests' own), appended to once more with its rows kept.
kcli --encoding utf-8 example/inquiries.KFY cli-utf8.csv
kgui -a example/inquiries.KFY gui.xlsx 0 0
expect_rc "example, automatic run to a workbook" 0
if out=$(python3 "$ROOT/tests/cli/xlsx-cells.py" gui.xlsx cli-utf8.csv 2>&1); then
    ok "example: the workbook holds the CSV's cells"
else
    not_ok "example: workbook: $out"
fi
kgui -a example/inquiries.KFY gui.xlsx 1 0
kcli --save-type 1 --encoding utf-8 example/inquiries.KFY cli-utf8.csv
if out=$(python3 "$ROOT/tests/cli/xlsx-cells.py" gui.xlsx cli-utf8.csv 2>&1); then
    ok "example: appended workbook keeps its rows"
else
    not_ok "example: appended workbook: $out"
fi

# An mbox project in three encodings; save type 1 appends, twice.
{
    for cs in ISO-2022-JP UTF-8 EUC-JP; do
        echo "From form@example.jp Mon Jun  3 09:00:00 2024"
        echo "From: $(ew "$cs" "利用者") <u@example.jp>"
        echo "Subject: $(ew "$cs" "お問い合わせ $cs")"
        echo "Date: Mon, 3 Jun 2024 10:00:00 +0000"
        echo "Content-Type: text/plain; charset=$cs"
        echo
        printf '氏名：山田 花子\n内容：\n一行目\n二行目\n■\n\n' | iconv -f UTF-8 -t "$cs"
    done
} >box.mbox
param "Subject:" "件名" header
param "From:" "名前" header name
param "Date:" "日時" header
param "氏名：" "氏名" trim
param "内容：" "内容" multi next end="■" order=4
param "" "メモ" empty order=5
project box.KFY 2 box.mbox
for i in 1 2; do
    kcli --save-type 1 box.KFY cli-box.csv
    kgui -a box.KFY gui-box.csv 1 0
    expect_rc "mbox, automatic run $i" 0
done
same_bytes "mbox, appended twice: the CSV of kestrify-cli" gui-box.csv cli-box.csv

# Only new mail: "--only-new" after the arguments or ONLYNEW=1 in the
# project. The desktop run and kestrify-cli share the record of one CSV, and
# the runs in turn write what one run over the whole store writes.
cp box.mbox new.mbox
param "Subject:" "件名" header
project new.KFY 2 new.mbox
kgui -a new.KFY new.csv 0 0 --only-new
expect_rc "only new, first automatic run" 0
kgui -a new.KFY new.csv 1 0 --only-new
expect_rc "only new, nothing new" 0
printf 'From a@example.jp Tue Jun  4 09:00:00 2024\nSubject: new one\n\nbody\n\n' >>new.mbox
kcli --only-new new.KFY new.csv
kgui -a new.KFY new.csv 0 0 --only-new
kcli --all new.KFY all.csv
same_bytes "only new: each mail once, as one run writes them" new.csv all.csv
printf '[CSV]\r\nONLYNEW=1\r\n' >>new.KFY
kgui -a new.KFY new2.csv 0 0
kgui -a new.KFY new2.csv 0 0
same_bytes "ONLYNEW=1: a second automatic run adds nothing" new2.csv all.csv

# A store that is not there: the message, then a status that says so.
param "From:" "From" header
project gone.KFY 2 no-such.mbox
kgui -a gone.KFY gone.csv 0
expect_rc "missing store" 2
expect_err "missing store" "no-such.mbox"
expect_err "missing store" "このメールの場所は存在しません。"
if [ ! -e gone.csv ]; then ok "missing store: no CSV"; else not_ok "missing store: a CSV was written"; fi

# A save type that is neither 0 nor 1: the save fails, nothing is written.
kgui -a example/inquiries.KFY seven.csv 7
expect_rc "save type 7" 3
expect_err "save type 7" "ファイルの保存に失敗しました。"

# A project that does not exist is named as missing.
kgui -a none.KFY none.csv 0
expect_rc "missing project" 2
expect_err "missing project" "none.KFY: プロジェクトファイルが見つかりませんでした。"

# Without a display (cron, ssh, a service) the run goes on without windows:
# the same CSV and statuses, every message on standard error, no waiting.
kheadless() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u KESTRIFY_TEST_ANSWER_BOXES \
        HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/.config XDG_DATA_HOME=$PWD/home/.local/share \
        timeout 60 "$KESTRIFY_GUI" "$@" >stdout 2>stderr </dev/null
    rc=$?
}
kheadless -a example/inquiries.KFY headless.csv 0
expect_rc "no display: good project" 0
same_bytes "no display: the CSV of kestrify-cli" headless.csv cli.csv
kheadless -a none.KFY none.csv 0
expect_rc "no display: missing project" 2
expect_err "no display: missing project" "プロジェクトファイルが見つかりませんでした。"
kheadless -a gone.KFY gone.csv 0
expect_rc "no display: missing store" 2
expect_err "no display: missing store" "このメールの場所は存在しません。"
kheadless -a example/inquiries.KFY /no/such/dir/x.csv 0
expect_rc "no display: CSV not written" 3
expect_err "no display: CSV not written" "/no/such/dir/x.csv"

# --version needs no display.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$KESTRIFY_GUI" --version >stdout 2>stderr
rc=$?
expect_rc "--version" 0
if grep -qE '^kestrify [0-9]+\.[0-9]+\.[0-9]+$' stdout; then ok "--version names it"; else not_ok "--version: $(cat stdout)"; fi
