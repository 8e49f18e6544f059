#!/usr/bin/env bash
# Installs repeatfix the way a user does and checks it: builds the Debian package, installs it
# with apt-get, checks its files and dependencies, starts the installed /usr/bin/repeatfix on a
# demo practice (written with the installed mkpractice) under its own Xvfb, saves a screenshot,
# reads the listing, presses Exit, removes the package and checks that its files are gone.
#   scripts/install-test.sh [BUILD_DIR]
# BUILD_DIR defaults to build-package; a build directory that is already configured is reused as
# it is. The package is left in BUILD_DIR/package, the screenshot in BUILD_DIR/install-test.png.
# Needs root (it installs a package): exit status 77 otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/e2e-lib.sh
source "$root/scripts/e2e-lib.sh"

build=${1:-"$root/build-package"}
installed_files=(
    /usr/bin/repeatfix
    /usr/bin/mkpractice
    /usr/share/applications/repeatfix.desktop
    /usr/share/icons/hicolor/scalable/apps/repeatfix.svg
)

[ "$(id -u)" -eq 0 ] || e2e_skip "installing a package needs root"
if ! command -v apt-get >/dev/null || ! command -v dpkg >/dev/null; then
    e2e_skip "not a Debian system"
fi
# Two runs on one machine (two checkouts testing at once) would install and remove the same
# package under each other: one at a time.
exec 9>/tmp/repeatfix-install-test.lock
flock -w 1200 9 || e2e_fail "another install test held the lock for 20 minutes"
if dpkg-query -W -f='${Status}' repeatfix 2>/dev/null | grep -q 'ok installed'; then
    e2e_fail "repeatfix is installed here already; this test would remove it (apt-get remove repeatfix)"
fi

# desktop-file-validate, and dpkg-shlibdeps for the package's dependencies.
missing=()
for p in desktop-file-utils dpkg-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
apt_install() {
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
        --no-install-recommends "$@" >/dev/null
}
if [ ${#missing[@]} -gt 0 ]; then
    e2e_note "installing ${missing[*]}"
    # The package lists may be missing or stale on a fresh machine: update them only then.
    apt_install "${missing[@]}" || { apt-get -o DPkg::Lock::Timeout=600 update -qq && apt_install "${missing[@]}"; }
fi
e2e_require_programs cmake cpack dpkg-deb readelf desktop-file-validate Xvfb xdotool xclip \
    xwininfo import identify

# ---- the package ------------------------------------------------------------------------------
phase=$SECONDS
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREPEATFIX_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target repeatfix mkpractice --parallel "$(nproc)" >/dev/null
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$build/package" >"$build/cpack.log") ||
    e2e_fail "cpack failed: $(tail -n 20 "$build/cpack.log")"
debs=("$build"/package/repeatfix_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    e2e_fail "cpack made no single .deb in $build/package"
fi
deb=${debs[0]}
e2e_note "built $(basename "$deb") in $((SECONDS - phase)) s"

for field in Package Version Architecture Maintainer Section Description Depends; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || e2e_fail "the package has no $field field"
done
depends=$(dpkg-deb -f "$deb" Depends)
e2e_note "Depends: $depends"
# Package names only, one a line: "libc6 (>= 2.34), libqt6core6 (>= 6.4)" -> libc6, libqt6core6
depends_names=$(tr ',|' '\n' <<<"$depends" | sed -e 's/(.*)//' -e 's/ //g' | sort -u)
has_dependency() { grep -qx "$1" <<<"$depends_names"; }

# Every library the two programs load directly comes from a package the .deb depends on.
e2e_make_tmp
dpkg-deb -x "$deb" "$E2E_TMP/deb"
libraries=$(ldconfig -p | grep "$(uname -m | tr _ -)")
for program in repeatfix mkpractice; do
    binary=$E2E_TMP/deb/usr/bin/$program
    [ -x "$binary" ] || e2e_fail "the package has no /usr/bin/$program"
    if readelf -d "$binary" | grep -Eq 'RPATH|RUNPATH'; then
        e2e_fail "/usr/bin/$program keeps a library search path: $(readelf -d "$binary" | grep -E 'RPATH|RUNPATH')"
    fi
    for soname in $(readelf -d "$binary" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
        path=$(awk -v name="$soname" '$1 == name {print $NF}' <<<"$libraries" | sed -n 1p)
        [ -n "$path" ] || e2e_fail "$program needs $soname, which is not installed here"
        # Debian's merged /usr: dpkg may know the file under either name.
        owner=$(dpkg -S "$(realpath "$path")" 2>/dev/null | sed -n '1s/:.*//p' || true)
        [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | sed -n '1s/:.*//p' || true)
        [ -n "$owner" ] || e2e_fail "no installed package holds $path ($soname)"
        has_dependency "$owner" || e2e_fail "$program needs $soname of $owner, not in Depends"
    done
done
# Qt loads its X11 platform plugin at run time, so no library search finds it.
xcb_plugin=$(dpkg -S '*/qt6/plugins/platforms/libqxcb.so' 2>/dev/null | sed -n '1s/:.*//p' || true)
[ -n "$xcb_plugin" ] || e2e_fail "no installed package holds Qt's X11 platform plugin libqxcb.so"
has_dependency "$xcb_plugin" || e2e_fail "Qt's X11 plugin is in $xcb_plugin, not in Depends"

# ---- install ----------------------------------------------------------------------------------
phase=$SECONDS
remove_package() {
    if dpkg-query -W -f='${Status}' repeatfix 2>/dev/null | grep -q 'ok installed'; then
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 remove -y -qq \
            repeatfix >/dev/null 2>&1
    fi
}
e2e_on_exit remove_package
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$deb" \
    >"$E2E_TMP/apt-install.log" 2>&1 || e2e_fail "apt-get install failed: $(tail -n 20 "$E2E_TMP/apt-install.log")"
e2e_note "installed in $((SECONDS - phase)) s"

for file in "${installed_files[@]}"; do
    [ -f "$file" ] || e2e_fail "$file is missing after installing"
    dpkg -L repeatfix | grep -qx "$file" || e2e_fail "$file is not listed as a file of repeatfix"
done
[ "$(command -v repeatfix)" = /usr/bin/repeatfix ] || e2e_fail "repeatfix is not found on PATH"
desktop=/usr/share/applications/repeatfix.desktop
desktop-file-validate "$desktop" >"$E2E_TMP/validate.log" 2>&1 ||
    e2e_fail "desktop-file-validate rejects $desktop: $(cat "$E2E_TMP/validate.log")"
for entry in Type=Application Name=repeatfix Exec=repeatfix Icon=repeatfix Terminal=false \
    'Categories=Office;Utility;'; do
    grep -qxF "$entry" "$desktop" || e2e_fail "$desktop has no line $entry"
done
grep -q '^Comment=.' "$desktop" || e2e_fail "$desktop has no Comment"
icon=/usr/share/icons/hicolor/scalable/apps/repeatfix.svg
if command -v python3 >/dev/null; then
    python3 -c 'import sys, xml.etree.ElementTree as t; r = t.parse(sys.argv[1]).getroot(); sys.exit(r.tag != "{http://www.w3.org/2000/svg}svg")' \
        "$icon" || e2e_fail "$icon is not an SVG document"
fi

# ---- run the installed program ----------------------------------------------------------------
phase=$SECONDS
bad=25
practice=$E2E_TMP/practice
/usr/bin/mkpractice "$practice" --dictionary --rows 300 --bad "$bad" --seed 7 >/dev/null ||
    e2e_fail "the installed mkpractice could not write $practice"
e2e_write_settings "$E2E_TMP/config" "$practice"
e2e_start_xvfb "$E2E_TMP"
e2e_start_app /usr/bin/repeatfix "$E2E_TMP/config" "$E2E_TMP/work" "$E2E_TMP/repeatfix.log" \
    HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime"
e2e_wait_window '^Form1$' 30 'the window Form1'
form=$E2E_WINDOW
# The standard error report would carry the program's name as its caption.
e2e_expect_no_window '^repeatfix$' "the installed program reported an error"

# The window may be mapped before it is painted: retry until the picture has some content.
screenshot=$build/install-test.png
deadline=$((SECONDS + 10))
while :; do
    import -window "$form" "$screenshot"
    colours=$(identify -format %k "$screenshot" 2>/dev/null || echo 0)
    ((colours > 8)) && break
    ((SECONDS < deadline)) || e2e_fail "the window stayed blank for 10 s"
    sleep 0.2
done
e2e_note "screenshot: $screenshot"

# The listing is the installed program's work on the dictionary practice: one line a bad entry.
e2e_click "$form" "$E2E_MEMO_X" "$E2E_MEMO_Y"
e2e_keys "$form" ctrl+a ctrl+c
deadline=$((SECONDS + 10))
until timeout 5 xclip -o -selection clipboard -t UTF8_STRING >"$E2E_TMP/clipboard.txt" 2>/dev/null &&
    [ -s "$E2E_TMP/clipboard.txt" ]; do
    ((SECONDS < deadline)) || e2e_fail "nothing reached the clipboard after ctrl+a, ctrl+c in the report"
    sleep 0.2
done
lines=$(($(wc -l <"$E2E_TMP/clipboard.txt") + 1))
[ "$lines" -eq "$bad" ] || e2e_fail "the window lists $lines lines, the practice has $bad bad entries"

e2e_click "$form" "$E2E_EXIT_X" "$E2E_EXIT_Y"
e2e_expect_exit_ok 15 'pressing Exit'
e2e_note "ran the installed program in $((SECONDS - phase)) s"

# ---- remove -----------------------------------------------------------------------------------
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 remove -y -qq repeatfix \
    >"$E2E_TMP/apt-remove.log" 2>&1 || e2e_fail "apt-get remove failed: $(tail -n 20 "$E2E_TMP/apt-remove.log")"
if dpkg-query -W -f='${Status}' repeatfix 2>/dev/null | grep -q 'ok installed'; then
    e2e_fail "repeatfix is still installed after apt-get remove"
fi
for file in "${installed_files[@]}"; do
    [ ! -e "$file" ] || e2e_fail "$file is still there after removing the package"
done
echo "PASS: $(basename "$deb") installs its 4 files with its dependencies, the installed program lists the $bad bad entries and exits with status 0, and removing the package removes the files"
