#include "TCliHelp.h"

#ifndef KESTRIFY_VERSION
#error "KESTRIFY_VERSION must be defined by the build"
#endif

std::string TCliHelp::Help() {
    return R"(使い方: kestrify-cli [オプション] プロジェクト [出力]

プロジェクトファイル (.KFY) のメールを読み、パラメータで値を取り出して
CSV に書きます。

出力を省くと、プロジェクトの SAVEFILENAME が .csv か .xlsx で終わるときは
そのファイルに書きます (それ以外のときは出力を指定してください)。
.xlsx で終わる出力は Excel ブック (すべてのセルが文字列) になります。
出力に "-" (マイナス記号 1 つ) を指定したとき、または出力も SAVEFILENAME も
ないときは、CSV を標準出力に書きます (端末へは UTF-8)。拡張子は付けません。
プロジェクト内の相対パスはプロジェクトファイルのあるフォルダから数えます。

  --save-type 0|1       0: 上書き、1: 追加 (プロジェクトの SAVETYPE より優先)
  --backup, --no-backup 既存の CSV を .bak にコピーする／しない
                        (MAKEBACKUP より優先)
  --force               バックアップを作れなくても保存する
  --mail-type N         メールの種類: 0 メールフォルダ (*.eml)、1 DBX、
                        2 Unix mbox、3 Shuriken、4 Eudora (.mbx)、
                        5 テキストファイルのフォルダ、6 Maildir、
                        7 MH フォルダ、8 Thunderbird のフォルダのファイル、
                        9 IMAP サーバ
  --location PATH       メールのあるフォルダまたはファイル
                        (9 では imaps://ユーザ@サーバ/フォルダ の URL)
  --ca-file FILE        IMAP: サーバの証明書の確認にシステムの証明書と
                        合わせて使う CA 証明書 (PEM) (IMAPCAFILE より優先)
  --password-file FILE  IMAP: パスワードを読むファイル (自分の所有で、
                        他のユーザが読めないもの)。デスクトップの
                        キーリングか環境変数 KESTRIFY_IMAP_PASSWORD に
                        あればそちらを使う
  --encoding sjis|utf-8 CSV の文字コード (既定: sjis)
  --bom                 UTF-8 の CSV の先頭に BOM を付ける
  --format csv|xlsx     CSV か Excel ブックか (既定: 名前が .xlsx なら
                        ブック)。ブックへの追加は既存の行を読んで作り直す
  --safe-cells          = + - @ タブで始まるセルの先頭に ' を付け、表計算
                        ソフトで数式として実行されないようにする
  -j, --jobs N          N 個のスレッドで変換する (既定: CPU の数)。
                        結果は --jobs 1 と同じ
  --stop-on-error       エラーのメールで止め、その前までの行を保存する
                        (既定: そのメールは番号だけの行にして続ける)
  --only-new, --all     その出力ファイルへまだ変換していないメールだけを
                        変換して追加する／すべて変換する (ONLYNEW より優先)
  --forget              出力ファイルの変換済みメールの記録を消して終わる
  -q, --quiet           進行状況・警告・結果の要約を表示しない
  -h, --help            このヘルプを表示する
  --version             バージョンを表示する

短いオプションはまとめて書けます (-qj4)。"--" の後はオプションとみなしません。

終了コード: 0 成功、1 一部のメールでエラー (CSV は保存済み)、
2 使い方・プロジェクト・メールの場所の誤り、
3 CSV またはバックアップを書けなかった、130 Ctrl-C で中断 (何も保存しない)

プロジェクトファイルの書き方: docs/project-format.md
詳しい説明: man kestrify-cli

Usage: kestrify-cli [OPTIONS] PROJECT [OUTPUT]

Reads the mails of a project file (.KFY), extracts one value per parameter
and writes them as CSV.

Without OUTPUT, the project's SAVEFILENAME is written when it ends in .csv
or .xlsx (otherwise give OUTPUT). An OUTPUT ending in .xlsx is written as an
Excel workbook (every cell stored as text). An OUTPUT of "-" (a single minus sign), or neither
OUTPUT nor SAVEFILENAME, writes the CSV to standard output (as UTF-8 when it
is a terminal). No extension is added. Relative paths inside the project
count from the project file's folder.

  --save-type 0|1       0: overwrite, 1: append (instead of the project's
                        SAVETYPE)
  --backup, --no-backup copy an existing CSV to .bak first, or not (instead
                        of MAKEBACKUP)
  --force               save even when the backup cannot be made
  --mail-type N         kind of store: 0 folder of *.eml, 1 DBX, 2 Unix mbox,
                        3 Shuriken, 4 Eudora (.mbx), 5 folder of text files,
                        6 Maildir, 7 MH folder, 8 Thunderbird folder file,
                        9 IMAP server
  --location PATH       the folder or file of the store (for 9 a URL:
                        imaps://user@server/FOLDER)
  --ca-file FILE        IMAP: CA certificates (PEM) trusted besides the
                        system's (instead of IMAPCAFILE)
  --password-file FILE  IMAP: file holding the password (your own, not
                        readable by others); the desktop's keyring and then
                        KESTRIFY_IMAP_PASSWORD in the environment come first
  --encoding sjis|utf-8 encoding of the CSV (default: sjis)
  --bom                 start a UTF-8 CSV with a byte-order mark
  --format csv|xlsx     CSV or an Excel workbook (default: a workbook when
                        the name ends in .xlsx); appending to a workbook
                        rewrites it with the old rows kept
  --safe-cells          put ' before cells starting with = + - @ or a tab, so
                        that a spreadsheet does not run them as formulas
  -j, --jobs N          convert on N threads (default: the number of cores);
                        the output is the same as with --jobs 1
  --stop-on-error       stop at the first mail that fails and save the rows
                        before it (default: keep its number and go on)
  --only-new, --all     convert only the mails not yet converted into the
                        output file and append them, or every mail (instead
                        of the project's ONLYNEW)
  --forget              clear the output's record of converted mails and exit
  -q, --quiet           no progress bar, no warnings, no summary
  -h, --help            show this help
  --version             show the version

Short options bundle (-qj4); "--" ends the options.

Exit status: 0 success, 1 some mails failed (the CSV was saved),
2 bad usage, project or store location, 3 the CSV or its backup could not
be written, 130 interrupted by Ctrl-C (nothing saved)

How to write a project file: docs/project-format.md
Full manual: man kestrify-cli
)";
}

std::string TCliHelp::Version() {
    return "kestrify-cli " KESTRIFY_VERSION;
}
