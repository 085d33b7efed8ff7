# A save never overwrites what the run reads: the project, the store, a mail
# of a folder store, also as the backup's target or through a link. Both
# programs refuse before anything is read (exit 2) and leave every file.
. "$KESTRIFY_HOSTILE"

form_mbox store.mbox 3
form_project p.KFY store.mbox
mkdir mails
for i in 1 2 3; do
    printf 'From: a%d@example.jp\nSubject: mail %d\n\nName: x\n' "$i" "$i" >"mails/mail00$i.eml"
done
param "Subject:" "Subject" header
project e.KFY 0 mails
ln -s store.mbox store-link.csv
mkdir keep && cp -r store.mbox p.KFY mails keep/

# Output: the store, the project, a mail of the folder, a link to the store.
for c in "p.KFY store.mbox store.mbox" "p.KFY p.KFY p.KFY" "e.KFY mails/mail003.eml mails/mail003.eml" \
    "p.KFY store-link.csv store.mbox"; do
    set -- $c
    kcli "$1" "$2"
    expect_rc "command, output $2" 2
    same_file "command, output $2" "$3" "keep/$3"
    if need_gui "desktop, output $2"; then
        kgui -a "$1" "$2" 0 0
        expect_rc "desktop, output $2" 2
        same_file "desktop, output $2" "$3" "keep/$3"
    fi
done

# The backup's target: an mbox named inbox.bak is the store of a run whose
# CSV is inbox.csv.
cp store.mbox inbox.bak
cp inbox.bak keep/inbox.bak
form_project b.KFY inbox.bak
echo "old,csv" >inbox.csv
kcli --backup b.KFY inbox.csv
expect_rc "command, backup onto the store" 2
expect_err "command, backup onto the store" "バックアップ先がメールの保存ファイルです。"
same_file "command, backup onto the store" inbox.bak keep/inbox.bak
if need_gui "desktop, backup onto the store"; then
    kgui -a b.KFY inbox.csv 0 1
    expect_rc "desktop, backup onto the store" 2
    same_file "desktop, backup onto the store" inbox.bak keep/inbox.bak
fi

# SAVEFILENAME from a project counts for the file it finally names: a link
# called evil.csv to another file is refused, a dangling one too (nothing is
# created in its place); a link to a .csv file is followed.
mkdir proj
echo "secret settings" >bashrc
cp bashrc keep/bashrc
ln -s ../bashrc proj/evil.csv
ln -s ../nowhere/none.csv proj/dangling.csv
echo "old" >real.csv
ln -s ../real.csv proj/fine.csv
cp store.mbox proj/
form_project proj/evil.KFY store.mbox evil.csv
kcli proj/evil.KFY
expect_rc "SAVEFILENAME link to a non-CSV file" 2
same_file "SAVEFILENAME link to a non-CSV file" bashrc keep/bashrc
form_project proj/dangling.KFY store.mbox dangling.csv
kcli proj/dangling.KFY
expect_rc "SAVEFILENAME dangling link" 2
check "SAVEFILENAME dangling link: the link stays a link" test -L proj/dangling.csv
form_project proj/fine.KFY store.mbox fine.csv
kcli proj/fine.KFY
expect_rc "SAVEFILENAME link to a CSV file" 0
check "SAVEFILENAME link to a CSV file: written through it" grep -q "inquiry 3" real.csv
