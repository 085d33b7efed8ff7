# Maildir, MH and Thunderbird folders: the same mails written by the
# programs that use these stores (Dovecot's doveadm, nmh's inc, Python's
# mailbox module, Thunderbird's rules for its folder files) give the same CSV
# as a folder of .eml files, in the order the mails arrived; mails each store
# marks deleted are left out. Then the kind check both ways.

# Six mails in three encodings; the second and fifth were read.
mail() {
    local n=$1 cs=$2
    echo "From: user$n@example.jp"
    echo "Subject: $(ew "$cs" "ご注文 $n")"
    echo "Date: Mon, 3 Jun 2024 0$n:00:00 +0900"
    echo "Content-Type: text/plain; charset=$cs"
    if [ "$n" = 2 ] || [ "$n" = 5 ]; then echo "Status: RO"; fi
    echo
    printf '氏名：客 %s\n住所：東京都 %s 丁目\nFrom 行も本文です\n' "$n" "$n" | iconv -f UTF-8 -t "$cs"
}
charsets=(UTF-8 ISO-2022-JP EUC-JP UTF-8 ISO-2022-JP EUC-JP)
mkdir -p eml
for n in 1 2 3 4 5 6; do
    mail "$n" "${charsets[n - 1]}" >"eml/0$n.eml"
done
# As a Unix mbox (">From " quoted) for the programs that import one.
for n in 1 2 3 4 5 6; do
    echo "From user$n@example.jp Mon Jun  3 0$n:00:00 2024"
    sed 's/^From />From /' "eml/0$n.eml"
    echo
done >all.mbox

param "Subject:" "件名" header
param "氏名：" "氏名"
param "住所：" "住所"
param "From " "本文の From 行"
project eml.KFY 0 eml
kcli eml.KFY eml.csv
expect_rc "eml folder" 0
if [ "$(grep -c . eml.csv)" -eq 7 ] && iconv -f CP932 -t UTF-8 eml.csv | grep -q "客 6"; then
    ok "eml folder: six rows"
else
    not_ok "eml folder: six rows expected"
fi

# same_csv NAME TYPE LOCATION: converts the store and compares with eml.csv.
same_csv() {
    kcli eml.KFY --mail-type "$2" --location "$3" out.csv
    expect_rc "$1" 0
    same_bytes "$1: the CSV of the .eml folder" out.csv eml.csv
}

# Dovecot writes a Maildir (names with time, counters, size and flags) from
# the mbox; the files of a user who may not be root.
if command -v doveadm >/dev/null; then
    # doveadm will not write mail as root: it runs as nobody then, who must
    # get through this folder.
    [ "$(id -u)" = 0 ] && chmod 711 .
    mkdir -m 777 dove dove/src
    cp all.mbox dove/src/inbox && chmod 666 dove/src/inbox
    cat >dove/dovecot.conf <<CONF
base_dir = $PWD/dove/run
log_path = /dev/stderr
mail_location = maildir:$PWD/dove/Maildir
mail_uid = $(id -u | sed 's/^0$/65534/')
mail_gid = $(id -g | sed 's/^0$/65534/')
first_valid_uid = 0
first_valid_gid = 0
ssl = no
CONF
    if HOME=$PWD/dove USER=$(id -un) doveadm -c dove/dovecot.conf import \
        "mbox:$PWD/dove/src:INBOX=$PWD/dove/src/inbox" "" all 2>dove/err &&
        ls dove/Maildir/cur/*:2,S >/dev/null 2>&1; then
        # doveadm keeps mbox's quoting: the mails' own lines are wanted.
        for f in dove/Maildir/cur/* dove/Maildir/new/*; do
            sed -i 's/^>From /From /' "$f"
        done
        # Dovecot names the files in an order of its own (the names are
        # the order of arrival): the same rows, in that order.
        kcli eml.KFY --mail-type 6 --location dove/Maildir out.csv
        expect_rc "doveadm Maildir" 0
        if cmp -s <(sort out.csv) <(sort eml.csv); then
            ok "doveadm Maildir: the rows of the .eml folder"
        else
            not_ok "doveadm Maildir: the rows of the .eml folder"
        fi
        # A mail flagged trashed is on its way out; tmp/ is being delivered.
        seen=$(grep -lF "$(grep '^Subject' eml/02.eml)" dove/Maildir/cur/*)
        mv "$seen" "${seen}T"
        cp eml/01.eml dove/Maildir/tmp/1.M1P1.host
        kcli eml.KFY --mail-type 6 --location dove/Maildir out.csv
        if [ "$(grep -c . out.csv)" -eq 6 ] && ! iconv -f CP932 -t UTF-8 out.csv | grep -q "客 2"; then
            ok "doveadm Maildir: trashed mail and tmp/ left out"
        else
            not_ok "doveadm Maildir: trashed mail and tmp/ left out"
        fi
    else
        skip "doveadm could not import: $(head -1 dove/err)"
    fi
else
    skip "doveadm is not installed"
fi

# nmh's inc makes an MH folder from the mbox, with its .mh_sequences.
inc=$(command -v inc || ls /usr/bin/mh/inc 2>/dev/null)
if [ -n "$inc" ]; then
    mkdir -p nmh/home nmh/Mail
    echo "Path: $PWD/nmh/Mail" >nmh/profile
    if HOME=$PWD/nmh/home MH=$PWD/nmh/profile MHCONTEXT=$PWD/nmh/context \
        "$inc" -file "$PWD/all.mbox" -notruncate +inbox </dev/null >/dev/null 2>nmh/err &&
        [ -f nmh/Mail/inbox/6 ]; then
        for n in 1 2 3 4 5 6; do
            sed -i 's/^>From /From /' "nmh/Mail/inbox/$n"
        done
        # 10 after 9, not after 1; ",N" is a deleted mail.
        for n in 7 8 9; do
            mv "nmh/Mail/inbox/$((n - 3))" "nmh/Mail/inbox/$n"
        done
        mv nmh/Mail/inbox/3 nmh/Mail/inbox/10
        cp eml/01.eml nmh/Mail/inbox/,11
        kcli eml.KFY --mail-type 7 --location nmh/Mail/inbox out.csv
        expect_rc "nmh MH folder" 0
        # Now 1, 2, 7 (was 4), 8 (5), 9 (6), 10 (3).
        order=$(iconv -f CP932 -t UTF-8 out.csv | sed -n 's/.*"客 \([0-9]\)".*/\1/p' | tr -d '\n')
        if [ "$order" = 124563 ]; then
            ok "nmh MH folder: numeric order"
        else
            not_ok "nmh MH folder: order $order, expected 124563"
        fi
    else
        skip "inc could not make a folder: $(head -1 nmh/err)"
    fi
else
    skip "nmh is not installed"
fi

# Python's mailbox module writes both kinds too.
mkdir py
if python3 - eml py <<'PY'
import mailbox, os, sys, time
src, dst = sys.argv[1], sys.argv[2]
md = mailbox.Maildir(os.path.join(dst, "Maildir"), create=True)
mh = mailbox.MH(os.path.join(dst, "mh"), create=True)
for i, name in enumerate(sorted(os.listdir(src))):
    with open(os.path.join(src, name), "rb") as f:
        data = f.read()
    msg = mailbox.MaildirMessage(data)
    if i % 2:
        msg.set_subdir("cur")
        msg.set_flags("S")
    msg.set_date(1700000000 + i)
    md.add(msg)
    mh.add(mailbox.MHMessage(data))
PY
then
    same_csv "Python Maildir" 6 py/Maildir
    same_csv "Python MH" 7 py/mh
else
    not_ok "Python's mailbox could not write the stores"
fi

# A Thunderbird folder as Thunderbird writes it: "From - " lines, status
# headers first, ">From " for body lines starting "From ", a mail deleted
# locally and one deleted on the IMAP server still in the file, the .msf
# index beside it.
mkdir -p tb/Mail/Local\ Folders
box="tb/Mail/Local Folders/Inbox"
for n in 1 2 3 4 5 6; do
    echo "From - Mon Jun 03 0$n:00:00 2024"
    echo "X-Mozilla-Status: 000$((n == 2 || n == 5 ? 1 : 0))"
    echo "X-Mozilla-Status2: 00000000"
    sed 's/^From />From /' "eml/0$n.eml" | sed 's/$/\r/'
    echo
    if [ "$n" = 3 ]; then
        printf 'From - Mon Jun 03 03:30:00 2024\nX-Mozilla-Status: 0009\nX-Mozilla-Status2: 00000000\n'
        printf 'Subject: deleted\n\n氏名：消したメール\n\n'
        printf 'From - Mon Jun 03 03:40:00 2024\nX-Mozilla-Status: 0001\nX-Mozilla-Status2: 00200000\n'
        printf 'Subject: expunged\n\n氏名：サーバーで消したメール\n\n'
    fi
done >"$box"
echo "// <!-- <mdb:mork:z v=\"1.4\"/> -->" >"$box.msf"
same_csv "Thunderbird folder" 8 "$box"
kcli eml.KFY --mail-type 8 --location "$box" -j 3 out.csv
same_bytes "Thunderbird folder on three threads" out.csv eml.csv

# The kind check, both ways.
kcli eml.KFY --mail-type 2 --location "$box" out.csv
expect_rc "Thunderbird folder as mbox" 2
expect_err "Thunderbird folder as mbox" "Unix mbox形式のファイルではないようです。"
expect_err "Thunderbird folder as mbox" "Thunderbird のフォルダのようです: --mail-type 8"
kcli eml.KFY --mail-type 8 --location all.mbox out.csv
expect_rc "mbox as Thunderbird folder" 2
expect_err "mbox as Thunderbird folder" "Thunderbird のフォルダではないようです。"
expect_err "mbox as Thunderbird folder" "Unix mbox形式のファイルのようです: --mail-type 2"
kcli eml.KFY --mail-type 0 --location py/Maildir out.csv
expect_rc "Maildir as .eml folder" 2
expect_err "Maildir as .eml folder" "メールのあるフォルダではないようです。"
expect_err "Maildir as .eml folder" "Maildir 形式のフォルダのようです: --mail-type 6"
kcli eml.KFY --mail-type 6 --location py/mh out.csv
expect_rc "MH folder as Maildir" 2
expect_err "MH folder as Maildir" "Maildir 形式のフォルダではないようです。"
expect_err "MH folder as Maildir" "MH 形式のフォルダのようです: --mail-type 7"
kcli eml.KFY --mail-type 7 --location eml out.csv
expect_rc ".eml folder as MH" 2
expect_err ".eml folder as MH" "メールのあるフォルダのようです: --mail-type 0"
kcli eml.KFY --mail-type 8 --location "tb/Mail/Local Folders" out.csv
expect_rc "a folder as Thunderbird folder" 2
expect_err "a folder as Thunderbird folder" "Thunderbird のフォルダのファイルを指定してください。"
