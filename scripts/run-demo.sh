#!/usr/bin/env bash
# The README's run command: installs what is missing, builds into build/, writes a demo practice
# (build/demo/practice, rewritten on every run) with a private settings store pointing at it
# (build/demo/config/Corvanta.conf; ~/.config is never touched) and starts repeatfix on it.
#
# On a desktop (DISPLAY or WAYLAND_DISPLAY set) the window opens there and the script waits for
# it to close. Without one it starts its own Xvfb, saves a screenshot of the window to
# build/demo/repeatfix.png, presses Exit and stops the server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/e2e-lib.sh
source "$root/scripts/e2e-lib.sh"

"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build"
repeatfix=$root/build/app/repeatfix
mkpractice=$root/build/tools/mkpractice

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo"
# A dictionary practice (login user/tulipnet) of 3,000 repeat definitions, 120 of them bad.
"$mkpractice" "$demo/practice" --dictionary --rows 3000 --bad 120 --seed 2024
e2e_write_settings "$demo/config" "$demo/practice"
echo "Settings store: $demo/config/Corvanta.conf"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    status=0
    (cd "$demo" && XDG_CONFIG_HOME="$demo/config" "$repeatfix") || status=$?
    echo "repeatfix ended with exit status $status"
    exit "$status"
fi

e2e_require_programs Xvfb xdotool xwininfo import identify
e2e_make_tmp
e2e_start_xvfb "$E2E_TMP"
echo "No display: started Xvfb on $DISPLAY"
e2e_start_app "$repeatfix" "$demo/config" "$demo" "$demo/repeatfix.log"
e2e_wait_window '^Form1$' 30 'the window Form1'
form=$E2E_WINDOW

# The window may be mapped before it is painted: retry until the picture has some content.
screenshot=$demo/repeatfix.png
deadline=$((SECONDS + 10))
while :; do
    import -window "$form" "$screenshot"
    colours=$(identify -format %k "$screenshot" 2>/dev/null || echo 0)
    ((colours > 8)) && break
    ((SECONDS < deadline)) || e2e_fail "the window stayed blank for 10 s"
    sleep 0.2
done
echo "Screenshot of the window: $screenshot"

e2e_click "$form" "$E2E_EXIT_X" "$E2E_EXIT_Y"
e2e_wait_exit 15 'pressing Exit'
echo "Pressed Exit: repeatfix ended with exit status $E2E_APP_STATUS"
exit "$E2E_APP_STATUS"
