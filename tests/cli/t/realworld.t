# Mails written by other programs (bounces of several servers, parser test
# mails, Japanese clients), each reproducing a decoding fault: bodies in
# any-case or missing Content-Types, padded delimiters, 0 bytes, folded and
# split encoded words of many charsets, raw 8-bit headers, mislabelled
# bodies, addresses without a domain, dates without a zone or comma.

mkdir mails
cp "$ROOT"/tests/data/mail/*.eml mails/
param "Subject:" "件名" header
param "From:" "差出人" header name
param "From:" "アドレス" header addr
param "To:" "宛先" header
param "Date:" "日時" header
param "^" "本文" regex
project realworld.KFY 0 mails
kcli realworld.KFY out.csv
expect_rc "real-world mails" 0
expect_only_summary "real-world mails"
same_bytes "real-world mails: CSV" out.csv "$EXPECTED/realworld.csv"
