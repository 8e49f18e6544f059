#!/usr/bin/env bash
# Builds the Win32 settings reader (platform/RegistryValue_win32.cpp) with MinGW into a small
# probe, tests/windows/regread.cpp, and runs it under Wine against "Current Practice" values of
# each registry type. Installs MinGW and Wine first when they are missing (needs root).
#   scripts/wine-registry-test.sh [WORK_DIR]
# Exit status: 0 all cases passed, 1 a case failed, 77 cannot run here (packages missing and not
# root, or Wine does not start).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS

skip() {
    echo "SKIP: $*"
    exit 77
}

# --- tools -----------------------------------------------------------------------------------
packages=(g++-mingw-w64-x86-64 wine wine64)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        skip "missing ${missing[*]}; run as root to install them"
    fi
    echo "Installing: ${missing[*]}"
    install_started=$SECONDS
    export DEBIAN_FRONTEND=noninteractive
    apt-get -o DPkg::Lock::Timeout=600 update -qq
    apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" \
        >/dev/null
    echo "Installed in $((SECONDS - install_started)) s"
fi
command -v wine >/dev/null || skip "wine is not on PATH"

work=${1:-}
if [ -z "$work" ]; then
    work=$(mktemp -d)
    cleanup_work=1
else
    mkdir -p "$work"
    cleanup_work=0
fi
export WINEPREFIX="$work/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko download prompts, and never a window on someone's display.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    if [ "$cleanup_work" -eq 1 ]; then
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# --- build -------------------------------------------------------------------------------------
exe="$work/regread.exe"
x86_64-w64-mingw32-g++ -std=c++17 -O2 -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor \
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Werror -municode -static \
    -I"$root/platform" "$root/platform/RegistryValue_win32.cpp" "$root/tests/windows/regread.cpp" \
    -ladvapi32 -o "$exe"
# The Qt wrapper cannot be linked here (no Qt for MinGW), but it can be compiled against the
# host's Qt headers, which is enough to catch a mistake in it.
if qt_flags=$(pkg-config --cflags Qt6Core 2>/dev/null); then
    # shellcheck disable=SC2086
    x86_64-w64-mingw32-g++ -std=c++17 -fsyntax-only -Wall -Wextra -Wpedantic -Wshadow \
        -Wold-style-cast -Werror -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII $qt_flags \
        -I"$root/platform" "$root/platform/RegIniFile_win32.cpp"
fi

# --- wine --------------------------------------------------------------------------------------
rm -rf "$WINEPREFIX"
prefix_started=$SECONDS
if ! wine wineboot --init >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log"
    skip "wine cannot create a prefix here"
fi
wineserver -w
echo "Wine prefix created in $((SECONDS - prefix_started)) s"
if ! wine "$exe" >/dev/null 2>"$work/probe.log"; then
    cat "$work/probe.log"
    skip "wine cannot run a 64-bit Windows program here"
fi

key='HKCU\Software\Corvanta'
value='Current Practice'
failures=0

clear_key() {
    wine reg delete "$key" /f >/dev/null 2>&1 || true
}

# add TYPE DATA: the value written by reg.exe, as a user or Corvanta would.
add() {
    local try
    clear_key
    # reg.exe now and then fails while the wineserver is busy: try again before giving up.
    for try in 1 2 3; do
        if wine reg add "$key" /v "$value" /t "$1" /d "$2" /f >/dev/null 2>"$work/reg-add.log"; then
            return 0
        fi
        sleep 1
    done
    echo "FAIL wine reg add /t $1 failed three times: $(cat "$work/reg-add.log")"
    exit 1
}

# import HEX: the value written byte for byte, "hex(N):..." of a .reg file (N the type). The
# file must be UTF-16, as regedit writes it: in an 8-bit file reg.exe takes the bytes of a
# string as ANSI text and converts them.
import() {
    clear_key
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n"%s"=%s\r\n' \
        'HKEY_CURRENT_USER\Software\Corvanta' "$value" "$1" |
        iconv -f UTF-8 -t UTF-16 >"$work/value.reg"
    wine reg import "$work/value.reg" >/dev/null 2>&1
}

# expect_args NAME LINE [KEY SECTION IDENT]: the probe, reading that value, prints LINE.
expect_args() {
    local name=$1 want=$2 got
    shift 2
    got=$(wine "$exe" "$@" | tr -d '\r')
    if [ "$got" = "$want" ]; then
        echo "ok   $name"
    else
        echo "FAIL $name: expected '$want', got '$got'"
        failures=$((failures + 1))
    fi
}

# expect NAME LINE: the probe, reading "Current Practice" of HKCU\Software\Corvanta, prints LINE.
expect() { expect_args "$1" "$2"; }

type_error="error: Invalid data type for 'Current Practice'"

add REG_SZ 'c:\data\pract1'
expect "REG_SZ" 'text: c:\data\pract1'
add REG_SZ "C:\\Praxis\\Müller & Söhne\\"
expect "REG_SZ, not ASCII" "text: C:\\Praxis\\Müller & Söhne\\"
long=$(printf 'D%.0s' $(seq 1 3000))
add REG_SZ "\\\\server\\$long"
expect "REG_SZ, 3000 characters" "text: \\\\server\\$long"
add REG_EXPAND_SZ '%USERPROFILE%\x'
expect "REG_EXPAND_SZ, not expanded" 'text: %USERPROFILE%\x'
add REG_DWORD 5
expect "REG_DWORD" "$type_error"
add REG_DWORD 0
expect "REG_DWORD 0" "$type_error"
add REG_BINARY 0102
expect "REG_BINARY" "$type_error"
add REG_MULTI_SZ 'c:\a\0c:\b'
expect "REG_MULTI_SZ" "$type_error"
add REG_SZ ''
expect "REG_SZ, empty string" 'text: '

# Empty data of each type reads as "", whatever the type.
import 'hex(1):'
expect "REG_SZ, no data" 'text: '
import 'hex(2):'
expect "REG_EXPAND_SZ, no data" 'text: '
import 'hex(4):'
expect "REG_DWORD, no data" 'text: '
import 'hex:'
expect "REG_BINARY, no data" 'text: '
import 'hex(7):'
expect "REG_MULTI_SZ, no data" 'text: '
import 'hex(0):'
expect "REG_NONE, no data" 'text: '
import 'hex(0):41,00'
expect "REG_NONE with data" "$type_error"
import 'hex(b):01,00,00,00,00,00,00,00'
expect "REG_QWORD" "$type_error"

# Strings as other writers may store them: without the final NUL, or with a NUL inside.
import 'hex(1):43,00,3a,00,5c,00,50,00'
expect "REG_SZ without a final NUL" 'text: C:\P'
import 'hex(1):43,00,00,00,44,00,00,00'
expect "REG_SZ with a NUL inside" 'text: C'

# Missing value, missing subkey: the default; the subkey is never created.
clear_key
wine reg add "$key" /v "Other" /t REG_SZ /d 'c:\other' /f >/dev/null
expect "missing value" 'missing'
clear_key
expect "missing subkey" 'missing'
if wine reg query "$key" >/dev/null 2>&1; then
    echo "FAIL missing subkey: the reader created $key"
    failures=$((failures + 1))
else
    echo "ok   the reader did not create $key"
fi

# The error names the value read; the key above the section is created when missing (as the
# registry reader opens it), the section never.
clear_key
wine reg add "$key" /v "Other" /t REG_DWORD /d 1 /f >/dev/null
expect_args "another value of the wrong type" "error: Invalid data type for 'Other'" \
    Software Corvanta Other
wine reg delete 'HKCU\Software\RepeatfixProbe' /f >/dev/null 2>&1 || true
expect_args "missing key" 'missing' 'Software\RepeatfixProbe' Corvanta "$value"
if wine reg query 'HKCU\Software\RepeatfixProbe' >/dev/null 2>&1 &&
    ! wine reg query 'HKCU\Software\RepeatfixProbe\Corvanta' >/dev/null 2>&1; then
    echo "ok   the reader created the missing key, not its section"
else
    echo "FAIL missing key: expected HKCU\Software\RepeatfixProbe created, its Corvanta not"
    failures=$((failures + 1))
fi
wine reg delete 'HKCU\Software\RepeatfixProbe' /f >/dev/null 2>&1 || true

echo "Took $((SECONDS - started)) s"
if [ "$failures" -gt 0 ]; then
    echo "$failures case(s) failed"
    exit 1
fi
echo "All cases passed"
