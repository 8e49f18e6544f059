#!/usr/bin/env bash
# The real program on a practice without bad rows: a message box appears before the main
# window, Return (its OK) dismisses it and the program ends by itself with status 0, the table
# untouched.
#   clean_practice.sh REPEATFIX MKPRACTICE
set -euo pipefail
repeatfix=$1 mkpractice=$2
# shellcheck source=scripts/e2e-lib.sh
source "$(dirname "$0")/../../scripts/e2e-lib.sh"

e2e_require_programs Xvfb xdotool xwininfo sqlite3
e2e_make_tmp
e2e_start_xvfb "$E2E_TMP"

# Units that only look bad ('none', 'None2') must not count.
practice=$E2E_TMP/practice
"$mkpractice" "$practice" --rows 300 --bad 0 --seed 5 >/dev/null
table=$practice/SKRPT.db
e2e_sql "$table" "
    insert into SKRPT (\"Chart Number\", \"Name\", \"Provider\", \"Start Date\", \"Unit\") values
        ('EDGE005', 'Lower, Case', 'AKS', '2001-01-01', 'none'),
        ('EDGE006', 'Other, Unit', 'AKS', null, 'None2');"
[ "$(e2e_sql "$table" "select count(*) from SKRPT where $E2E_BAD_ROWS;")" = 0 ] ||
    e2e_fail "the fixture $table should hold no bad rows"
before=$(e2e_table_dump "$table")

e2e_write_settings "$E2E_TMP/config" "$practice"
e2e_start_app "$repeatfix" "$E2E_TMP/config" "$E2E_TMP/work" "$E2E_TMP/repeatfix.log" \
    HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime"

# The message ("No problems found.") carries the application's title as its caption.
e2e_wait_window '^repeatfix$' 30 'the message box "repeatfix"'
message=$E2E_WINDOW
e2e_expect_no_window '^Form1$' 'the main window is visible while "No problems found." is shown'
e2e_keys "$message" Return
e2e_expect_exit_ok 15 'dismissing "No problems found."'
[ "$(e2e_table_dump "$table")" = "$before" ] || e2e_fail "a clean scan changed $table"
echo "PASS: a clean practice shows its message before the window and ends with status 0"
