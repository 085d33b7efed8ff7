#!/usr/bin/env bash
# Runs one end-to-end test script against the built command:
#   run-e2e.sh PATH/TO/kestrify-cli tests/cli/t/NAME.t
# The script runs in a fresh temporary folder with the helpers of lib.sh.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 KESTRIFY_CLI TEST_SCRIPT" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
KESTRIFY_CLI=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
script=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
EXPECTED=$here/expected
# The shared real-mail samples lie beside the checkout unless the build
# names another folder.
ROOT=$(cd "$here/../.." && pwd)
SHARED=${KESTRIFY_SHARED_DIR:-$(cd "$ROOT/.." && pwd)/shared}
export KESTRIFY_CLI EXPECTED ROOT SHARED

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrify-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
# Runs that remember what they converted keep it here, never in the real home.
export XDG_STATE_HOME=$work/state

# shellcheck source=lib.sh
. "$here/lib.sh"
# shellcheck disable=SC1090
. "$script"
finish
