# A Eudora mailbox from the shared samples (CR LF, "From ???@???" lines).

if have_shared "Eudora" corpus/eudora/eudora71-In.mbx; then
    param "Date:" "日付" header
    param "From:" "差出人" header name
    param "From:" "アドレス" header addr
    param "Subject:" "件名" header
    project eudora.KFY 4 "$SHARED/corpus/eudora/eudora71-In.mbx"
    kcli eudora.KFY out.csv
    expect_rc "Eudora" 0
    same_bytes "Eudora: CSV" out.csv "$EXPECTED/eudora.csv"
fi
