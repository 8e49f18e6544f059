# shellcheck shell=bash disable=SC2034
# Shell helpers shared by scripts/run-demo.sh and the end-to-end tests (tests/e2e): a private X
# server, a private settings store, the real repeatfix started and driven with xdotool, and
# clean-up on exit. Source this file from a bash script that runs with `set -euo pipefail`.
#
# Every wait is bounded. A helper that cannot do its job ends the script through e2e_fail with a
# message saying what did not happen, followed by the program's output.

# ---- messages and clean-up ------------------------------------------------------------------

e2e_note() { echo "-- $*" >&2; }

e2e_fail() {
    echo "FAIL: $*" >&2
    e2e_show_app_log
    exit 1
}

# CTest counts exit status 77 as skipped (SKIP_RETURN_CODE).
e2e_skip() {
    echo "SKIP: $*" >&2
    exit 77
}

E2E_CLEANUPS=()

# Registers a command to run when the script ends, whatever the reason; the last registered
# runs first.
e2e_on_exit() { E2E_CLEANUPS+=("$1"); }

e2e_run_cleanups() {
    local i
    for ((i = ${#E2E_CLEANUPS[@]} - 1; i >= 0; i--)); do
        eval "${E2E_CLEANUPS[i]}" || true
    done
    E2E_CLEANUPS=()
}

trap e2e_run_cleanups EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

e2e_require_programs() {
    local missing=() program
    for program in "$@"; do
        command -v "$program" >/dev/null 2>&1 || missing+=("$program")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        e2e_fail "missing programs: ${missing[*]} (bash scripts/deps.sh installs them)"
    fi
}

# A private temporary directory in E2E_TMP, removed on exit (kept when E2E_KEEP=1, to look at).
# Readable by others, since a print queue's filters run as the user lp.
e2e_make_tmp() {
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/repeatfix-e2e.XXXXXX")
    chmod 755 "$E2E_TMP"
    # Qt wants the runtime directory private to its user.
    mkdir -m 700 "$E2E_TMP/runtime"
    e2e_on_exit 'e2e_remove_tmp'
}

e2e_remove_tmp() {
    if [ "${E2E_KEEP:-0}" = 1 ]; then
        echo "-- kept $E2E_TMP" >&2
    else
        rm -rf "$E2E_TMP"
    fi
}

# Ends a process this script started: TERM, up to 5 s, then KILL.
e2e_stop_pid() {
    local pid=$1 i
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 50; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# ---- the X server -----------------------------------------------------------------------------

# Starts Xvfb on a display number it picks itself (-displayfd, so parallel runs never collide)
# and exports DISPLAY. The server is stopped on exit; `timeout` also ends it should this script
# be killed without running its clean-up. It never inherits fd 9, the install test's lock.
e2e_start_xvfb() {
    local dir=$1 number="" i
    : >"$dir/xvfb.display"
    timeout 1800 Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$dir/xvfb.display" 9>&- >"$dir/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    e2e_on_exit "e2e_stop_pid $E2E_XVFB_PID"
    for ((i = 0; i < 100; i++)); do
        number=$(head -n 1 "$dir/xvfb.display" 2>/dev/null || true)
        [[ $number =~ ^[0-9]+$ ]] && break
        kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if ! [[ $number =~ ^[0-9]+$ ]]; then
        e2e_fail "Xvfb did not start within 10 s: $(tail -n 5 "$dir/xvfb.log" 2>/dev/null)"
    fi
    export DISPLAY=":$number"
    unset WAYLAND_DISPLAY
}

# ---- the settings store -----------------------------------------------------------------------

# Writes CONFIG_DIR/Corvanta.conf as QSettings does: section [General], the key with its blank
# written %20, the value escaped and quoted where the format needs it (a comma would make it a
# list).
e2e_write_settings() {
    local config_dir=$1 practice=$2 value
    value=${practice//\\/\\\\}
    value=${value//\"/\\\"}
    if [[ $value == *[,\;]* || $value == " "* || $value == *" " ]]; then
        value="\"$value\""
    fi
    mkdir -p "$config_dir"
    printf '[General]\nCurrent%%20Practice=%s\n' "$value" >"$config_dir/Corvanta.conf"
}

# ---- the program ------------------------------------------------------------------------------

# The window's layout (client-area coordinates): the centres of the buttons and a point inside
# the report area.
E2E_PRINT_X=685 E2E_PRINT_Y=20
E2E_DELETE_X=685 E2E_DELETE_Y=52
E2E_EXIT_X=685 E2E_EXIT_Y=84
E2E_MEMO_X=60 E2E_MEMO_Y=150

E2E_APP_PID=""
E2E_APP_LOG=""
E2E_APP_STATUS=""

# Starts repeatfix in the background: e2e_start_app BINARY CONFIG_DIR WORK_DIR LOG [VAR=VALUE...]
# It runs in WORK_DIR with its own settings store, the C.UTF-8 locale (short dates MM/DD/YY) and
# the extra environment given.
e2e_start_app() {
    local binary config_dir=$2 work_dir=$3
    binary=$(realpath "$1")
    E2E_APP_LOG=$4
    shift 4
    mkdir -p "$work_dir"
    (cd "$work_dir" && exec env XDG_CONFIG_HOME="$config_dir" LC_ALL=C.UTF-8 \
        QT_QPA_PLATFORM=xcb "$@" "$binary") >"$E2E_APP_LOG" 2>&1 &
    E2E_APP_PID=$!
    E2E_APP_STATUS=""
    e2e_on_exit 'e2e_stop_app'
}

e2e_stop_app() {
    if [ -n "$E2E_APP_PID" ]; then
        e2e_stop_pid "$E2E_APP_PID"
    fi
}

e2e_show_app_log() {
    if [ -n "${E2E_APP_LOG:-}" ] && [ -s "$E2E_APP_LOG" ]; then
        echo "---- output of repeatfix ($E2E_APP_LOG):" >&2
        tail -n 30 "$E2E_APP_LOG" >&2
    fi
}

e2e_app_running() { [ -n "$E2E_APP_PID" ] && kill -0 "$E2E_APP_PID" 2>/dev/null; }

# The names of the visible windows, for failure messages.
e2e_visible_windows() {
    local id names=()
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        names+=("'$(xdotool getwindowname "$id" 2>/dev/null)'")
    done
    echo "${names[*]:-none}"
}

# Waits up to TIMEOUT seconds for a visible window whose name matches the regular expression
# and sets E2E_WINDOW to its id: e2e_wait_window REGEX TIMEOUT WHAT
E2E_WINDOW=""
e2e_wait_window() {
    local pattern=$1 timeout=$2 what=$3 ids deadline=$((SECONDS + $2))
    E2E_WINDOW=""
    while :; do
        ids=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null || true)
        if [ -n "$ids" ]; then
            E2E_WINDOW=$(head -n 1 <<<"$ids")
            return 0
        fi
        if [ -n "$E2E_APP_PID" ] && ! e2e_app_running; then
            wait "$E2E_APP_PID" && E2E_APP_STATUS=0 || E2E_APP_STATUS=$?
            e2e_fail "repeatfix ended (exit status $E2E_APP_STATUS) before $what appeared"
        fi
        if ((SECONDS >= deadline)); then
            e2e_fail "$what did not appear within $timeout s (visible windows:" \
                "$(e2e_visible_windows))"
        fi
        sleep 0.1
    done
}

e2e_window_visible() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# Waits until the window is closed or hidden: e2e_wait_window_gone ID TIMEOUT WHAT
e2e_wait_window_gone() {
    local id=$1 timeout=$2 what=$3 deadline=$((SECONDS + $2))
    while e2e_window_visible "$id"; do
        if ((SECONDS >= deadline)); then
            e2e_fail "$what was still open $timeout s later"
        fi
        sleep 0.1
    done
}

# Fails when a visible window's name matches: e2e_expect_no_window REGEX WHY
e2e_expect_no_window() {
    if [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null || true)" ]; then
        e2e_fail "$2 (visible windows: $(e2e_visible_windows))"
    fi
}

# Gives the window the keyboard focus, as a window manager does with a new window (there is
# none on Xvfb), and waits until the server has done it.
e2e_focus() {
    timeout 10 xdotool windowfocus --sync "$1" ||
        e2e_fail "could not give the keyboard focus to the window $1"
}

# Types keys into the window: e2e_keys ID KEY...
e2e_keys() {
    local id=$1
    shift
    e2e_focus "$id"
    xdotool key --delay 40 "$@"
}

# Clicks at client-area coordinates of the window: e2e_click ID X Y
e2e_click() {
    timeout 10 xdotool mousemove --window "$1" --sync "$2" "$3" click 1 ||
        e2e_fail "could not click at $2,$3 in the window $1"
}

# Waits for repeatfix to end and sets E2E_APP_STATUS: e2e_wait_exit TIMEOUT WHAT
e2e_wait_exit() {
    local timeout=$1 what=$2 deadline=$((SECONDS + $1))
    while e2e_app_running; do
        if ((SECONDS >= deadline)); then
            e2e_fail "repeatfix was still running $timeout s after $what"
        fi
        sleep 0.1
    done
    wait "$E2E_APP_PID" && E2E_APP_STATUS=0 || E2E_APP_STATUS=$?
    E2E_APP_PID=""
}

# Waits for repeatfix to end after WHAT and fails unless its exit status is 0.
e2e_expect_exit_ok() {
    e2e_wait_exit "$1" "$2"
    if [ "$E2E_APP_STATUS" != 0 ]; then
        e2e_fail "repeatfix ended with exit status $E2E_APP_STATUS after $2, expected 0"
    fi
}

# ---- the data ---------------------------------------------------------------------------------

# The condition of a bad repeat entry, as the program states it.
E2E_BAD_ROWS="\"Unit\" = 'None' or \"Unit\" = ''"

e2e_sql() { sqlite3 -batch -noheader -list "$1" "$2"; }

# The listing repeatfix shows for a SKRPT table file, one line per bad entry in table order:
# texts without trailing blanks, the start date as %x under C.UTF-8 (MM/DD/YY), an empty date
# as 30 December 1899, and a blank at the end of every line.
e2e_expected_listing() {
    e2e_sql "$1" "
        select rtrim(\"Chart Number\", ' ') || ' Name: ' || rtrim(\"Name\", ' ')
            || ' Provider: ' || rtrim(\"Provider\", ' ') || ' '
            || case when \"Start Date\" is null or \"Start Date\" = '' then '12/30/99'
                    else strftime('%m/%d/', \"Start Date\")
                         || substr(strftime('%Y', \"Start Date\"), 3, 2) end
            || ' '
        from SKRPT where $E2E_BAD_ROWS order by rowid;"
}

# The whole table as text, to compare before and after.
e2e_table_dump() { e2e_sql "$1" "select quote(rowid), * from SKRPT order by rowid;" | sha1sum; }
