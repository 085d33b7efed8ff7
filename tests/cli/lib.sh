# Helpers for the end-to-end tests. Texts in the scripts are UTF-8; mails,
# projects and expected CSV files are made of the bytes the program reads.

passed=0
failed=0
skipped=0

ok() {
    passed=$((passed + 1))
    echo "ok - $1"
}
not_ok() {
    failed=$((failed + 1))
    echo "not ok - $1"
}
skip() {
    skipped=$((skipped + 1))
    echo "skip - $1"
}
finish() {
    echo "$passed passed, $failed failed, $skipped skipped"
    [ "$failed" -eq 0 ]
}

# UTF-8 on standard input to Shift_JIS (CP932).
sj() { iconv -f UTF-8 -t CP932; }
# Every line break of standard input becomes CR LF.
crlf() { sed 's/$/\r/'; }
# An encoded word: ew CHARSET TEXT (B encoding).
ew() { printf '=?%s?B?%s?=' "$1" "$(printf %s "$2" | iconv -f UTF-8 -t "$1" | base64 -w0)"; }

# --- Projects -------------------------------------------------------------
# param KEY FIELD [OPTION ...] adds a parameter to the project being written.
# Options: header, empty, multi, regex, trim, oneline, next (value starts on
# the line after the key), wrap=N, end=TEXT, endre, addr, name, order=N
# (column position; default: the parameter's index).
kfy_params=()
param() {
    local key=$1 field=$2
    shift 2
    local row=1 pos=0 regex=0 trim=0 oneline=0 wrap=0 start=1 end="" endre=0 addr=0 name=0
    local order=${#kfy_params[@]} o
    for o in "$@"; do
        case $o in
            header) pos=1 ;;
            empty) pos=2 row=2 ;;
            multi) row=0 ;;
            regex) regex=1 ;;
            trim) trim=1 ;;
            oneline) oneline=1 ;;
            next) start=0 ;;
            wrap=*) wrap=${o#*=} ;;
            end=*) end=${o#*=} ;;
            endre) endre=1 ;;
            addr) addr=1 ;;
            name) name=1 ;;
            order=*) order=${o#*=} ;;
            *) echo "param: unknown option $o" >&2; return 1 ;;
        esac
    done
    # Fields apart by the unit separator: unlike a tab it never merges empty fields.
    local IFS=$'\x1f'
    kfy_params+=("${key}${IFS}${field}${IFS}${row}${IFS}${pos}${IFS}${order}${IFS}${regex}${IFS}${trim}${IFS}${oneline}${IFS}${wrap}${IFS}${start}${IFS}${end}${IFS}${endre}${IFS}${addr}${IFS}${name}")
}

# project FILE MAILTYPE DIRECTORY [SAVEFILENAME [SAVETYPE [MAKEBACKUP]]]
# writes a version 4 project (Shift_JIS, CR LF) with the parameters added so
# far, then forgets them.
project() {
    local file=$1 type=$2 dir=$3 save=${4:-} savetype=${5:-0} backup=${6:-1}
    local n=0 p key field row pos order regex trim oneline wrap start end endre addr name
    {
        echo "[EML]"
        echo "MAILTYPE=$type"
        echo "DIRECTORY=$dir"
        echo "PARAM=${#kfy_params[@]}"
        for p in "${kfy_params[@]}"; do
            IFS=$'\x1f' read -r key field row pos order regex trim oneline wrap start end endre addr name <<<"$p"
            printf '%s\n' "PARAM_KEY$n=$key" "FIELD_NAME$n=$field" "PARAM_ROW_TYPE$n=$row" \
                "PARAM_POS_TYPE$n=$pos" "PARAM_ORDER$n=$n" "FIELD_ORDER$n=$order" \
                "PARAM_REGEXT$n=$regex" "TRIM$n=$trim" "ONE_LINE$n=$oneline" \
                "AUTO_FORMAT$n=$wrap" "START_LINE$n=$start" "ENDSTR$n=$end" \
                "ENDSTR_REGEXP$n=$endre" "MAIL_ADDRESS$n=$addr" "MAIL_NAME$n=$name"
            n=$((n + 1))
        done
        printf '\n[CSV]\nMAKEBACKUP=%s\nSAVEFILENAME=%s\nSAVETYPE=%s\n\n[SYSTEM]\nVERSION=4\n\n' \
            "$backup" "$save" "$savetype"
    } | crlf | sj >"$file"
    kfy_params=()
}

# --- Running the command --------------------------------------------------
# kcli ARGS...: runs the command; its output lands in ./stdout and ./stderr,
# its exit status in $rc.
rc=0
kcli() {
    "$KESTRIFY_CLI" "$@" >stdout 2>stderr
    rc=$?
}

# expect_rc NAME N: the last run exited with N.
expect_rc() {
    if [ "$rc" -eq "$2" ]; then
        ok "$1: exit $2"
    else
        not_ok "$1: exit $rc, expected $2"
        sed 's/^/#   stderr: /' stderr
    fi
}

# expect_err NAME TEXT: the last run's standard error holds TEXT (UTF-8).
expect_err() {
    if grep -qF -- "$2" stderr; then
        ok "$1: says '$2'"
    else
        not_ok "$1: standard error lacks '$2'"
        sed 's/^/#   stderr: /' stderr
    fi
}

# expect_no_err NAME: the last run wrote nothing to standard error.
expect_no_err() {
    if [ ! -s stderr ]; then
        ok "$1: quiet"
    else
        not_ok "$1: unexpected standard error"
        sed 's/^/#   stderr: /' stderr
    fi
}

# expect_only_summary NAME: the last run wrote only its closing summary to
# standard error.
expect_only_summary() {
    if [ "$(grep -c . stderr)" -eq 1 ] && grep -q "^kestrify-cli: 完了: " stderr; then
        ok "$1: only the summary"
    else
        not_ok "$1: standard error holds more than the summary"
        sed 's/^/#   stderr: /' stderr
    fi
}

# same_bytes NAME ACTUAL EXPECTED: the two files are byte for byte equal.
same_bytes() {
    if [ ! -f "$2" ]; then
        not_ok "$1: $2 was not written"
    elif cmp -s "$2" "$3"; then
        ok "$1"
    else
        not_ok "$1: $2 differs from $3"
        diff <(iconv -f CP932 -t UTF-8 "$3" 2>&1 | sed 's/\r/^M/g') \
            <(iconv -f CP932 -t UTF-8 "$2" 2>&1 | sed 's/\r/^M/g') | sed 's/^/#   /' | head -40
    fi
}

# have_shared NAME FILE: true when a shared sample is there; skips otherwise.
have_shared() {
    if [ -f "$SHARED/$2" ]; then
        return 0
    fi
    skip "$1: $SHARED/$2 is missing"
    return 1
}
