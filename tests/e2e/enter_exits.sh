#!/usr/bin/env bash
# Return right after start ends the program: the window's first focus is Exit, also when the
# scan has enabled Delete (Return must never start a delete) and after a failed scan.
#   enter_exits.sh REPEATFIX MKPRACTICE CASE
# CASE bad-rows: a practice with bad rows; Return as soon as the window is there; status 0 and
#                the table unchanged.
# CASE failed-scan: no practice configured; the error report comes first (Return dismisses it),
#                then Return on the window; status 0.
set -euo pipefail
repeatfix=$1 mkpractice=$2 case=$3
# shellcheck source=scripts/e2e-lib.sh
source "$(dirname "$0")/../../scripts/e2e-lib.sh"

e2e_require_programs Xvfb xdotool xwininfo sqlite3
e2e_make_tmp
e2e_start_xvfb "$E2E_TMP"
mkdir -p "$E2E_TMP/config"

case $case in
bad-rows)
    practice=$E2E_TMP/practice
    "$mkpractice" "$practice" --dictionary --rows 200 --bad 20 --seed 3 >/dev/null
    table=$practice/SKRPT.db
    before=$(e2e_table_dump "$table")
    e2e_write_settings "$E2E_TMP/config" "$practice"
    ;;
failed-scan)
    # No settings store at all: the path is empty and the work directory holds no cvddf.add.
    ;;
*)
    e2e_fail "unknown case '$case' (bad-rows or failed-scan)"
    ;;
esac

e2e_start_app "$repeatfix" "$E2E_TMP/config" "$E2E_TMP/work" "$E2E_TMP/repeatfix.log" \
    HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime"

if [ "$case" = failed-scan ]; then
    e2e_wait_window '^repeatfix$' 30 'the error report "repeatfix"'
    report=$E2E_WINDOW
    e2e_expect_no_window '^Form1$' 'the main window is visible while the error report is shown'
    e2e_keys "$report" Return
    e2e_wait_window_gone "$report" 10 'the error report after Return'
fi

e2e_wait_window '^Form1$' 30 'the window Form1'
e2e_keys "$E2E_WINDOW" Return
e2e_expect_exit_ok 15 'Return on the window just shown'

if [ "$case" = bad-rows ]; then
    [ "$(e2e_table_dump "$table")" = "$before" ] || e2e_fail "Return changed $table"
fi
echo "PASS ($case): Return on the new window ends the program with status 0"
