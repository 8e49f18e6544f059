# shellcheck shell=bash
# A private CUPS scheduler with one cups-pdf queue, for the print test. Source it after
# scripts/e2e-lib.sh.
#
# cupsd runs as root without systemd, with its own configuration, spool and logs in a temporary
# directory, listening only on a Unix socket there; clients reach it through CUPS_SERVER. The
# machine's own CUPS setup is not touched. cups-pdf reads its settings from /etc/cups only: a
# queue whose device is cups-pdf:/NAME reads /etc/cups/cups-pdf-NAME.conf, so the queue gets a
# file of its own there (removed on exit) that sends its PDFs, spool and log to the temporary
# directory.

E2E_CUPS_PDF_CONF_PREFIX=/etc/cups/cups-pdf-repeatfix-e2e-

# Removes the per-queue files of earlier runs that were killed before their clean-up.
e2e_remove_stale_queue_files() {
    local file pid
    for file in "$E2E_CUPS_PDF_CONF_PREFIX"*.conf; do
        [ -e "$file" ] || continue
        pid=${file#"$E2E_CUPS_PDF_CONF_PREFIX"}
        pid=${pid%.conf}
        if [[ $pid =~ ^[0-9]+$ ]] && ! kill -0 "$pid" 2>/dev/null; then
            rm -f "$file"
        fi
    done
}

# Starts cupsd in DIR and creates the default queue E2E_QUEUE; its PDFs land in E2E_PDF_DIR,
# named after the job title. Sets and exports CUPS_SERVER. Skips (status 77) when not root or
# when cupsd cannot start.
e2e_start_cups() {
    local dir=$1/cups i
    if [ "$(id -u)" -ne 0 ]; then
        e2e_skip "the print test starts its own cupsd and needs root"
    fi
    local program
    for program in cupsd lpadmin lpstat; do
        command -v "$program" >/dev/null 2>&1 ||
            e2e_skip "$program is missing, so no print queue can be started (scripts/deps.sh installs cups)"
    done
    [ -x /usr/lib/cups/backend/cups-pdf ] ||
        e2e_skip "the cups-pdf backend is missing (scripts/deps.sh installs printer-driver-cups-pdf)"
    local ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
    [ -r "$ppd" ] || e2e_skip "$ppd is missing (printer-driver-cups-pdf)"

    mkdir -p "$dir/spool" "$dir/cache" "$dir/state" "$dir/log"
    # Filters run as lp and write their temporary files here.
    mkdir -p "$dir/tmp"
    chown root:lp "$dir/tmp" 2>/dev/null || true
    chmod 1770 "$dir/tmp"
    E2E_CUPS_SOCKET=$dir/cups.sock
    cat >"$dir/cupsd.conf" <<EOF
Listen $E2E_CUPS_SOCKET
LogLevel info
Browsing Off
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    cat >"$dir/cups-files.conf" <<EOF
ServerRoot $dir
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
CreateSelfSignedCerts no
SystemGroup root
EOF
    timeout 1800 cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/cupsd.out" 2>&1 &
    E2E_CUPSD_PID=$!
    e2e_on_exit "e2e_stop_pid $E2E_CUPSD_PID"
    for ((i = 0; i < 100; i++)); do
        [ -S "$E2E_CUPS_SOCKET" ] && break
        kill -0 "$E2E_CUPSD_PID" 2>/dev/null || break
        sleep 0.1
    done
    if ! [ -S "$E2E_CUPS_SOCKET" ] || ! kill -0 "$E2E_CUPSD_PID" 2>/dev/null; then
        e2e_skip "cupsd did not start: $(tail -n 5 "$dir/cupsd.out" "$dir/log/error_log" 2>/dev/null)"
    fi
    export CUPS_SERVER=$E2E_CUPS_SOCKET

    e2e_remove_stale_queue_files
    local name=repeatfix-e2e-$$
    E2E_PDF_DIR=$1/pdf
    mkdir -p "$E2E_PDF_DIR"
    E2E_CUPS_PDF_CONF=$E2E_CUPS_PDF_CONF_PREFIX$$.conf
    e2e_on_exit "rm -f '$E2E_CUPS_PDF_CONF'"
    cat >"$E2E_CUPS_PDF_CONF" <<EOF
Out $E2E_PDF_DIR
Spool $1/cups-pdf-spool
Log $1/cups-pdf-log
Grp root
EOF
    # The file is named after the job title (TitlePref), without a job number (Label).
    E2E_QUEUE=repeatfix-test
    lpadmin -p "$E2E_QUEUE" -E -v "cups-pdf:/$name" -P "$ppd" \
        -o TitlePref-default=1 -o Label-default=0 2>"$dir/lpadmin.err" ||
        e2e_fail "lpadmin could not create the queue: $(cat "$dir/lpadmin.err")"
    lpadmin -d "$E2E_QUEUE" 2>>"$dir/lpadmin.err" ||
        e2e_fail "lpadmin could not make $E2E_QUEUE the default: $(cat "$dir/lpadmin.err")"
    E2E_CUPS_DIR=$dir
}

e2e_cups_log_tail() {
    tail -n 15 "$E2E_CUPS_DIR/log/error_log" 2>/dev/null || true
}

# Waits until COUNT jobs of the queue have completed and none is left pending:
# e2e_wait_jobs_done COUNT TIMEOUT
e2e_wait_jobs_done() {
    local count=$1 timeout=$2 deadline=$((SECONDS + $2)) done_jobs pending
    while :; do
        done_jobs=$(lpstat -W completed -o "$E2E_QUEUE" 2>/dev/null | wc -l)
        pending=$(lpstat -o "$E2E_QUEUE" 2>/dev/null | wc -l)
        if [ "$done_jobs" -ge "$count" ] && [ "$pending" -eq 0 ]; then
            return 0
        fi
        if lpstat -p "$E2E_QUEUE" 2>/dev/null | grep -q disabled; then
            e2e_fail "the queue $E2E_QUEUE stopped: $(lpstat -p "$E2E_QUEUE" 2>&1)
$(e2e_cups_log_tail)"
        fi
        if ((SECONDS >= deadline)); then
            e2e_fail "$count print job(s) expected within $timeout s; completed $done_jobs," \
                "pending $pending
$(e2e_cups_log_tail)"
        fi
        sleep 0.2
    done
}
