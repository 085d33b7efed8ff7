# Helpers of the hostile suite (sourced by each t/*.t after tests/cli/lib.sh).
# Everything happens in the test's own temporary folder.

# need_root NAME: true as root; skips NAME otherwise.
need_root() {
    if [ "$(id -u)" -eq 0 ]; then
        return 0
    fi
    skip "$1: needs root"
    return 1
}

# need_tool NAME TOOL...: true when every TOOL is there; skips NAME otherwise.
need_tool() {
    local name=$1 tool
    shift
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            skip "$name: $tool is missing"
            return 1
        fi
    done
}

# need_gui NAME: true when the desktop program was built.
need_gui() {
    if [ -n "${KESTRIFY_GUI:-}" ] && [ -x "$KESTRIFY_GUI" ]; then
        return 0
    fi
    skip "$1: the desktop program was not built"
    return 1
}

# need_plain NAME: true unless the programs are built with sanitizers, which
# reserve more address space than a memory limit leaves.
need_plain() {
    if [ -z "${KESTRIFY_SANITIZED:-}" ]; then
        return 0
    fi
    skip "$1: sanitizer build"
    return 1
}

# form_mbox FILE N [BODYLINES [PAD]]: an mbox of N form mails in ASCII; PAD
# characters lengthen each name (and so each row).
form_mbox() {
    awk -v n="$2" -v lines="${3:-3}" -v pad="${4:-0}" 'BEGIN {
        tail = ""
        for (p = 0; p < pad; p++) tail = tail "n"
        for (i = 1; i <= n; i++) {
            printf "From form@example.jp Mon Jun  3 09:00:00 2024\n"
            printf "From: user%d <u%d@example.jp>\nSubject: inquiry %d\n", i, i, i
            printf "Date: Mon, 3 Jun 2024 10:00:00 +0000\n\n"
            printf "Name: person %d %s\n", i, tail
            for (l = 0; l < lines; l++) printf "text line %d of mail %d\n", l, i
            printf "\n"
        }
    }' >"$1"
}

# form_project FILE STORE [SAVEFILENAME [SAVETYPE [MAKEBACKUP]]]: an mbox
# project with a subject and a name column.
form_project() {
    param "Subject:" "Subject" header
    param "Name:" "Name" trim
    project "$1" 2 "$2" "${3:-}" "${4:-0}" "${5:-0}"
}

# kgui ARGS...: the desktop program offscreen with a private home; output in
# ./stdout and ./stderr, status in $rc.
kgui() {
    mkdir -p "$PWD/home"
    HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/.config XDG_DATA_HOME=$PWD/home/.local/share \
        QT_QPA_PLATFORM=offscreen KESTRIFY_TEST_ANSWER_BOXES=1 \
        timeout 60 "$KESTRIFY_GUI" "$@" >stdout 2>stderr
    rc=$?
}

# same_file NAME FILE COPY: FILE still holds what COPY holds.
same_file() {
    if cmp -s "$2" "$3"; then
        ok "$1: $2 unchanged"
    else
        not_ok "$1: $2 was changed"
    fi
}

# no_leftovers NAME [FOLDER]: no temporary file of a save is left.
no_leftovers() {
    local left
    left=$(find "${2:-.}" -maxdepth 1 -name '.kfy-*' | head -3)
    if [ -z "$left" ]; then
        ok "$1: nothing left behind"
    else
        not_ok "$1: left $left"
    fi
}

# check NAME COMMAND...: ok when COMMAND succeeds.
check() {
    local name=$1
    shift
    if "$@"; then
        ok "$name"
    else
        not_ok "$name"
    fi
}

# ends_within SECONDS PID: true when PID has ended within SECONDS.
ends_within() {
    local tenths=$(($1 * 10))
    while [ "$tenths" -gt 0 ]; do
        kill -0 "$2" 2>/dev/null || return 0
        sleep 0.1
        tenths=$((tenths - 1))
    done
    return 1
}
