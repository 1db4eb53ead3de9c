# Shared by the tests that need a real X display with a system tray: an Xvfb
# server with trayer running on it. Sourced, not run. Every wait is bounded,
# and whatever was started is stopped when the sourcing script exits.
#   start_x11_with_tray     sets DISPLAY and TRAY_BEFORE (icons in the tray)
#   tray_children           the number of icons in the tray now
#   wait_for SECONDS CONDITION, fail MESSAGE

WORK="$(mktemp -d)"
XVFB_PID=""
TRAYER_PID=""
APP_PID=""

cleanup() {
    for pid in $APP_PID $TRAYER_PID $XVFB_PID; do
        kill "$pid" 2>/dev/null
    done
    for pid in $APP_PID $TRAYER_PID $XVFB_PID; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*" >&2
    for log in "$WORK"/*.log; do
        [ -s "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
    exit 1
}

# Polls a shell condition every 0.1 s for up to $1 seconds.
wait_for() {
    limit=$(($1 * 10))
    shift
    i=0
    while [ "$i" -lt "$limit" ]; do
        if eval "$@"; then
            return 0
        fi
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

# The number of windows embedded in trayer's panel: the tray icons.
tray_children() {
    xwininfo -root -tree 2>/dev/null |
        awk '/"panel": \("panel" "trayer"\)/ { getline; print ($1 ~ /^[0-9]+$/) ? $1 : 0; exit }'
}

start_x11_with_tray() {
    for tool in Xvfb trayer xwininfo; do
        command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps --test installs it)"
    done
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    wait_for 15 '[ -s "$WORK/display" ]' || fail "Xvfb did not start"
    DISPLAY=":$(cat "$WORK/display")"
    export DISPLAY
    trayer --edge top --align right --widthtype pixel --width 200 --height 24 \
        >"$WORK/trayer.log" 2>&1 &
    TRAYER_PID=$!
    wait_for 15 '[ -n "$(tray_children)" ]' || fail "trayer did not start"
    TRAY_BEFORE="$(tray_children)"
    export QT_QPA_PLATFORM=xcb
}
