# Shared by the tests that need a real X display with a system tray: an Xvfb
# server with trayer running on it, and the real program started on a
# configuration of the test's own. Sourced, not run. Every wait is bounded,
# and whatever was started is stopped when the sourcing script exits.
#   start_x11_with_tray     sets DISPLAY and TRAY_BEFORE (icons in the tray)
#   tray_children           the number of icons in the tray now
#   wait_for SECONDS CONDITION, fail MESSAGE
#   check_program PROGRAM, write_one_task_config ID LOG_ENABLED LOG_FILE TIME,
#   start_program PROGRAM, stop_program, read_saved_config

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

# What a test of the real program at $1 needs: iconv, the program, and no
# config.xml beside it, which would be used instead of the test's.
check_program() {
    command -v iconv >/dev/null || fail "iconv is missing"
    [ -x "$1" ] || fail "no program at $1"
    [ ! -e "$(dirname "$1")/config.xml" ] ||
        fail "$(dirname "$1")/config.xml exists; the test needs the program's folder without one"
}

# The test's configuration: one task "Nightly" with the id $1 from
# $WORK/main to $WORK/mirror, its log on ($2 "true") in the file $3, due
# every day at the time $4.
write_one_task_config() {
    mkdir -p "$WORK/config/twinfold"
    cat >"$WORK/config/twinfold/config.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<config>
  <policyList><policy name="&lt; default copy policy &gt;" value="17830161"/></policyList>
  <taskList>
    <task name="Nightly" policy="&lt; default copy policy &gt;" enableLog="$2" logFile="$3" id="$1">
      <folderList><folder main="$WORK/main" mirror="$WORK/mirror"/></folderList>
      <include><fileList/></include>
      <exclude><fileList/><fileType type=""/><fileAttr attr=""/></exclude>
      <schedule><interval enabled="false" value="5"/><fixup enabled="true" value="$4"/><simulate value="false"/></schedule>
    </task>
  </taskList>
  <normalSetting showDetail="false" showWizard="false" configVersion="1.0"/>
</config>
XML
}

# Starts the program $1 in the background (APP_PID) on the test's
# configuration, with the run history and the runtime folder in $WORK too.
# Later starts see the same environment.
start_program() {
    mkdir -p "$WORK/runtime"
    chmod 700 "$WORK/runtime"
    export XDG_CONFIG_HOME="$WORK/config" XDG_STATE_HOME="$WORK/state" XDG_RUNTIME_DIR="$WORK/runtime"
    # For sanitizer builds: leaks of system libraries are not the program's.
    LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
    export LSAN_OPTIONS
    "$1" >"$WORK/twinfold.log" 2>&1 &
    APP_PID=$!
}

# Asks the program to quit with SIGTERM and waits for its end; STATUS is its
# exit status.
stop_program() {
    kill -TERM "$APP_PID"
    wait_for 20 '! kill -0 "$APP_PID" 2>/dev/null' || fail "the program did not end after SIGTERM"
    wait "$APP_PID"
    STATUS=$?
    APP_PID=""
}

# The configuration the program saved (UTF-16) as UTF-8, in $WORK/saved.xml.
read_saved_config() {
    iconv -f UTF-16 -t UTF-8 "$WORK/config/twinfold/config.xml" >"$WORK/saved.xml" ||
        fail "the saved file is not UTF-16"
}
