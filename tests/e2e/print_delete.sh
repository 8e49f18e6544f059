#!/usr/bin/env bash
# Print and Delete on the real program with a real print queue: Print, accept the print dialog
# (the test's queue is the default destination), and the queue's PDF, named after the job title
# "Quellmark", holds every listing line on as many full pages as needed. Then Delete, Yes, and
# the bad rows are gone from the table file while the others remain as they were.
#   print_delete.sh REPEATFIX MKPRACTICE
# Skips (77) when not root or when cupsd cannot start.
set -euo pipefail
repeatfix=$1 mkpractice=$2
here=$(dirname "$0")
# shellcheck source=scripts/e2e-lib.sh
source "$here/../../scripts/e2e-lib.sh"
# shellcheck source=tests/e2e/cups-queue.sh
source "$here/cups-queue.sh"

e2e_require_programs Xvfb xdotool xwininfo sqlite3 pdfinfo pdftoppm convert identify
e2e_make_tmp
e2e_start_cups "$E2E_TMP"
e2e_start_xvfb "$E2E_TMP"

# Enough bad rows for three pages or so.
practice=$E2E_TMP/practice
"$mkpractice" "$practice" --dictionary --rows 600 --bad 200 --seed 21 >/dev/null
table=$practice/SKRPT.db
lines=$(e2e_sql "$table" "select count(*) from SKRPT where $E2E_BAD_ROWS;")
total=$(e2e_sql "$table" "select count(*) from SKRPT;")
good_rows() { e2e_sql "$table" "select quote(rowid), * from SKRPT where not ($E2E_BAD_ROWS) order by rowid;" | sha1sum; }
good_before=$(good_rows)

e2e_write_settings "$E2E_TMP/config" "$practice"
e2e_start_app "$repeatfix" "$E2E_TMP/config" "$E2E_TMP/work" "$E2E_TMP/repeatfix.log" \
    HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime" CUPS_SERVER="$CUPS_SERVER"
e2e_wait_window '^Form1$' 30 'the window Form1'
form=$E2E_WINDOW

# ---- Print
e2e_click "$form" "$E2E_PRINT_X" "$E2E_PRINT_Y"
e2e_wait_window '^Print$' 20 'the print dialog "Print"'
dialog=$E2E_WINDOW
e2e_keys "$dialog" Return
e2e_wait_window_gone "$dialog" 10 'the print dialog after Return'
e2e_wait_jobs_done 1 90
pdf=$E2E_PDF_DIR/Quellmark.pdf
[ -f "$pdf" ] || e2e_fail "no $pdf; the queue wrote: $(ls -A "$E2E_PDF_DIR")
$(e2e_cups_log_tail)"
pages=$(pdfinfo "$pdf" 2>/dev/null | sed -n 's/^Pages: *//p')
[[ $pages =~ ^[0-9]+$ ]] || e2e_fail "pdfinfo cannot read $pdf"

# cups-pdf's fonts defeat pdftotext, so count the printed lines on the rendered pages: a text
# line is a band of pixel rows that hold ink (more than 1% of the row, which leaves out the thin
# tips of accents and descenders that may touch the next line).
pdftoppm -r 150 -gray "$pdf" "$E2E_TMP/page" 2>/dev/null || e2e_fail "pdftoppm cannot render $pdf"
page_bands() {
    convert "$1" -negate -scale "1x$(identify -format %h "$1")!" -depth 16 txt:- |
        awk -F'[,:() ]+' 'NR > 1 {
            ink = ($4 > 655)
            if (ink && !inband) { n++; top[n] = $2 }
            if (ink) bottom[n] = $2
            inband = ink
        }
        END {
            pitch = n > 1 ? (top[n] - top[1]) / (n - 1) : 0
            printf "%d %d %d %.1f\n", n, top[1], bottom[n], pitch
        }'
}
counted=0 full=0 page=0
for image in "$E2E_TMP"/page-*.pgm; do
    page=$((page + 1))
    height=$(identify -format %h "$image")
    read -r bands first last pitch <<<"$(page_bands "$image")"
    counted=$((counted + bands))
    [ "$bands" -gt 0 ] || e2e_fail "page $page of $pdf is empty"
    # Printed on the whole page: the text starts at the top, not below a margin.
    ((first < 2 * ${pitch%.*} + 2)) ||
        e2e_fail "page $page: the first line starts $first px from the top (line pitch $pitch px)"
    if ((page == 1)); then
        full=$bands
    elif ((page < pages)) && ((bands != full)); then
        e2e_fail "page $page holds $bands lines, page 1 holds $full"
    fi
    # Every page but the last is filled to the bottom: no room for one more line.
    if ((page < pages)) && ((height - last > 2 * ${pitch%.*} + 2)); then
        e2e_fail "page $page ends $((height - last)) px above the bottom (line pitch $pitch px)"
    fi
done
((page == pages)) || e2e_fail "pdfinfo counts $pages pages in $pdf, pdftoppm rendered $page"
expected_pages=$(((lines + full - 1) / full))
((counted == lines)) || e2e_fail "$pdf shows $counted lines on $pages pages, the listing has $lines"
((pages == expected_pages)) ||
    e2e_fail "$pdf has $pages pages; $lines lines at $full a page need $expected_pages"
((pages >= 2)) || e2e_fail "the listing of $lines lines should need more than one page"

# ---- Delete, Yes (Return: Yes is the default button)
e2e_click "$form" "$E2E_DELETE_X" "$E2E_DELETE_Y"
e2e_wait_window '^Information$' 10 'the confirmation "Information" after pressing Delete'
question=$E2E_WINDOW
e2e_keys "$question" Return
e2e_wait_window_gone "$question" 10 'the confirmation after Return'
deadline=$((SECONDS + 15))
until [ "$(e2e_sql "$table" "select count(*) from SKRPT where $E2E_BAD_ROWS;")" = 0 ]; do
    ((SECONDS < deadline)) || e2e_fail "the bad rows are still in $table 15 s after Yes"
    sleep 0.2
done
left=$(e2e_sql "$table" "select count(*) from SKRPT;")
((left == total - lines)) || e2e_fail "$table holds $left rows after the delete, expected $((total - lines))"
[ "$(good_rows)" = "$good_before" ] || e2e_fail "the delete changed rows that are not bad in $table"

e2e_click "$form" "$E2E_EXIT_X" "$E2E_EXIT_Y"
e2e_expect_exit_ok 15 'pressing Exit'
echo "PASS: printed $lines lines on $pages pages ($full a page) to Quellmark.pdf;" \
    "Delete removed the $lines bad rows and kept the $left others"
