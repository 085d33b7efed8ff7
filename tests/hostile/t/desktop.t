# The desktop program's automatic run against a broken settings file: the
# settings are a convenience, the run goes on with defaults and says so once.
. "$KESTRIFY_HOSTILE"

form_mbox store.mbox 3
form_project p.KFY store.mbox
kcli -q p.KFY cli.csv
ini=home/.config/Kestrify/Kestrify.ini
for kind in folder fifo huge unwritable; do
    need_gui "settings file: $kind" || continue
    rm -rf home "gui-$kind.csv"
    mkdir -p "$(dirname "$ini")"
    case $kind in
        folder) mkdir "$ini" ;;
        fifo) mkfifo "$ini" ;;
        huge) head -c 17000000 < <(yes '; a comment line') >"$ini" ;;
        unwritable)
            printf '[Info]\r\nWindowWidth=500\r\n' >"$ini"
            chmod 444 "$ini"
            if [ "$(id -u)" -eq 0 ]; then
                skip "settings file: unwritable means nothing to root"
                continue
            fi
            ;;
    esac
    kgui -a p.KFY "gui-$kind.csv" 0 0
    expect_rc "settings file: $kind" 0
    same_bytes "settings file: $kind: the CSV" "gui-$kind.csv" cli.csv
done
