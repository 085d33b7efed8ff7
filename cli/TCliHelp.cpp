#include "TCliHelp.h"

#ifndef KESTRIFY_VERSION
#error "KESTRIFY_VERSION must be defined by the build"
#endif

std::string TCliHelp::Help() {
    return R"(使い方: kestrify-cli [オプション] プロジェクト [出力]

プロジェクトファイル (.KFY) のメールを読み、パラメータで値を取り出して CSV に
書きます。出力を省くとプロジェクトの保存ファイル名 (SAVEFILENAME) に書き、"-"
のとき、またはどちらもないときは標準出力に書きます (端末へは UTF-8)。
拡張子 .csv は付けません。
プロジェクト内の相対パスはプロジェクトファイルのあるフォルダから数えます。

  --save-type 0|1         0: 上書き保存、1: 追加保存 (プロジェクトの SAVETYPE より優先)
  --backup, --no-backup   既存の CSV を .bak にコピーする／しない (MAKEBACKUP より優先)
  --force                 バックアップを作れなくても保存する
  --mail-type N           メールの種類: 0 メールフォルダ (*.eml), 1 DBX, 2 Unix mbox,
                          3 Shuriken, 4 Eudora (.mbx), 5 テキストファイルのフォルダ
  --location PATH         メールのあるフォルダまたはファイル
  --encoding sjis|utf-8   CSV の文字コード (既定: sjis)
  --bom                   UTF-8 の CSV の先頭に BOM を付ける
  -j, --jobs N            N 個のスレッドで変換する (既定: CPU の数)。結果は --jobs 1 と同じ
  --stop-on-error         エラーのメールで変換を止め、その前までの行を保存する
                          (既定: そのメールは番号だけの行にして続ける)
  -q, --quiet             進行状況と警告を表示しない
  -h, --help              このヘルプを表示する
  --version               バージョンを表示する

終了コード: 0 成功、1 一部のメールでエラー (CSV は保存済み)、
2 使い方・プロジェクト・メールの場所の誤り、3 CSV またはバックアップを書けなかった、
130 Ctrl-C で中断 (何も保存しない)

Usage: kestrify-cli [OPTIONS] PROJECT [OUTPUT]

Reads the mails of a project file (.KFY), extracts one value per parameter and
writes them as CSV. Without OUTPUT the project's SAVEFILENAME is written; "-",
or neither, writes to standard output (as UTF-8 when it is a terminal). No ".csv"
is added. Relative paths inside
the project count from the project file's folder.

  --save-type 0|1         0: overwrite, 1: append (instead of the project's SAVETYPE)
  --backup, --no-backup   copy an existing CSV to .bak first, or not (instead of MAKEBACKUP)
  --force                 save even when the backup cannot be made
  --mail-type N           kind of store: 0 folder of *.eml, 1 DBX, 2 Unix mbox,
                          3 Shuriken, 4 Eudora (.mbx), 5 folder of text files
  --location PATH         the folder or file of the store
  --encoding sjis|utf-8   encoding of the CSV (default: sjis)
  --bom                   start a UTF-8 CSV with a byte-order mark
  -j, --jobs N            convert on N threads (default: the number of cores);
                          the output is the same as with --jobs 1
  --stop-on-error         stop at the first mail that fails and save the rows before it
                          (default: keep its number with empty cells and go on)
  -q, --quiet             no progress bar, no warnings
  -h, --help              show this help
  --version               show the version

Exit status: 0 success, 1 some mails failed (the CSV was saved),
2 bad usage, project or store location, 3 the CSV or its backup could not be written,
130 interrupted by Ctrl-C (nothing saved)
)";
}

std::string TCliHelp::Version() {
    return "kestrify-cli " KESTRIFY_VERSION;
}
