# Outlook Express stores from the shared samples, read in place.

dbx_params() {
    param "Date:" "日付" header
    param "From:" "差出人" header name
    param "From:" "アドレス" header addr
    param "Subject:" "件名" header
}

if have_shared "DBX, two koi8-r mails" corpus/dbx/dbxconvert-koi8r.dbx; then
    dbx_params
    project koi8r.KFY 1 "$SHARED/corpus/dbx/dbxconvert-koi8r.dbx"
    kcli koi8r.KFY out.csv
    expect_rc "DBX, two koi8-r mails" 0
    same_bytes "DBX, two koi8-r mails: CSV" out.csv "$EXPECTED/dbx-koi8r.csv"
fi

if have_shared "DBX, Outlook Express 6" corpus/dbx/oe6-inbox.dbx; then
    dbx_params
    project oe6.KFY 1 "$SHARED/corpus/dbx/oe6-inbox.dbx"
    kcli --jobs 2 oe6.KFY out.csv
    expect_rc "DBX, Outlook Express 6" 0
    same_bytes "DBX, Outlook Express 6: CSV" out.csv "$EXPECTED/dbx-oe6.csv"
fi

if have_shared "DBX without mails" corpus/dbx/oe6-outbox-empty.dbx; then
    dbx_params
    project empty.KFY 1 "$SHARED/corpus/dbx/oe6-outbox-empty.dbx"
    kcli empty.KFY out.csv
    expect_rc "DBX without mails" 0
    head -n 1 "$EXPECTED/dbx-oe6.csv" >title.csv
    same_bytes "DBX without mails: the title line alone" out.csv title.csv
fi
