#!/usr/bin/env bash
# The real program on a practice with bad rows: the listing in the window is exactly the bad
# rows of the table file, Delete is offered and answering No (Escape) changes nothing, and Exit
# ends the program with status 0.
#   listing.sh REPEATFIX MKPRACTICE
set -euo pipefail
repeatfix=$1 mkpractice=$2
# shellcheck source=scripts/e2e-lib.sh
source "$(dirname "$0")/../../scripts/e2e-lib.sh"

e2e_require_programs Xvfb xdotool xclip xwininfo sqlite3
e2e_make_tmp
e2e_start_xvfb "$E2E_TMP"

# A generated dictionary practice, plus rows that pin the edge cases whatever the generator
# makes: empty and missing dates, empty texts, blanks on both sides, units that only look bad.
practice=$E2E_TMP/practice
"$mkpractice" "$practice" --dictionary --rows 400 --bad 60 --seed 11 >/dev/null
table=$practice/SKRPT.db
e2e_sql "$table" "
    insert into SKRPT (\"Chart Number\", \"Name\", \"Provider\", \"Start Date\", \"Unit\") values
        ('EDGE001', 'Null, Date', 'AKS', null, 'None'),
        ('EDGE002', 'Empty, Date', 'AKS', '', '   '),
        ('', '', '', '2000-02-29', 'None  '),
        ('  EDGE004  ', '  Padded, Both  ', 'RLO   ', '1999-12-31', ''),
        ('EDGE005', 'Lower, Case', 'AKS', '2001-01-01', 'none'),
        ('EDGE006', 'Other, Unit', 'AKS', '2001-01-01', 'None2');"
e2e_expected_listing "$table" >"$E2E_TMP/expected.txt"
lines=$(wc -l <"$E2E_TMP/expected.txt")
[ "$lines" -eq 64 ] || e2e_fail "the fixture should hold 64 bad rows, sqlite3 finds $lines"
# The report area holds the lines joined by line breaks, without one after the last.
head -c -1 "$E2E_TMP/expected.txt" >"$E2E_TMP/expected-clipboard.txt"
before=$(e2e_table_dump "$table")

e2e_write_settings "$E2E_TMP/config" "$practice"
e2e_start_app "$repeatfix" "$E2E_TMP/config" "$E2E_TMP/work" "$E2E_TMP/repeatfix.log" \
    HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime"
e2e_wait_window '^Form1$' 30 'the window Form1'
form=$E2E_WINDOW

# Select the whole report and copy it, as a user would.
e2e_click "$form" "$E2E_MEMO_X" "$E2E_MEMO_Y"
e2e_keys "$form" ctrl+a ctrl+c
deadline=$((SECONDS + 10))
until timeout 5 xclip -o -selection clipboard -t UTF8_STRING >"$E2E_TMP/clipboard.txt" 2>/dev/null &&
    [ -s "$E2E_TMP/clipboard.txt" ]; do
    ((SECONDS < deadline)) || e2e_fail "nothing reached the clipboard after ctrl+a, ctrl+c in the report"
    sleep 0.2
done
if ! cmp -s "$E2E_TMP/expected-clipboard.txt" "$E2E_TMP/clipboard.txt"; then
    diff <(cat "$E2E_TMP/expected-clipboard.txt"; echo) <(cat "$E2E_TMP/clipboard.txt"; echo) |
        head -n 20 >&2 || true
    e2e_fail "the report differs from the bad rows of $table (< expected, > in the window)"
fi

# Delete is enabled: it asks first. No (Escape) leaves the table as it was.
e2e_click "$form" "$E2E_DELETE_X" "$E2E_DELETE_Y"
e2e_wait_window '^Information$' 10 'the confirmation "Information" after pressing Delete'
question=$E2E_WINDOW
e2e_keys "$question" Escape
e2e_wait_window_gone "$question" 10 'the confirmation after Escape'
[ "$(e2e_table_dump "$table")" = "$before" ] || e2e_fail "answering No changed $table"

e2e_click "$form" "$E2E_EXIT_X" "$E2E_EXIT_Y"
e2e_expect_exit_ok 15 'pressing Exit'
[ "$(e2e_table_dump "$table")" = "$before" ] || e2e_fail "a run without Delete changed $table"
echo "PASS: the window lists the 64 bad rows exactly; No keeps them; Exit ends with status 0"
