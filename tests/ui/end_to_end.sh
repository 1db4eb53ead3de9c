#!/bin/sh
# Starts the real program under Xvfb, with trayer giving it a system tray, on
# a configuration holding one task due a few seconds ahead (a real run).
# Waits for the mirror to fill, checks that a second start reaches the first and ends at once,
# asks the program to quit with SIGTERM and checks the mirror and the saved
# configuration. Every wait is bounded; everything started here is stopped.
# Usage: end_to_end.sh PATH/TO/twinfold
set -u

PROGRAM="$1"
. "$(dirname "$0")/x11_session.sh"

check_program "$PROGRAM"

start_x11_with_tray

mkdir -p "$WORK/main/sub" "$WORK/mirror"
echo "one" >"$WORK/main/one.txt"
echo "two" >"$WORK/main/sub/two.txt"
# A name that is not UTF-8 must come through unchanged.
printf 'latin' >"$WORK/main/caf$(printf '\351').txt"

# Due a few seconds after the start, so the program is up and idle by then.
DUE="$(date -d '+12 seconds' +%H:%M:%S)"
write_one_task_config e2e-task false "" "$DUE"
start_program "$PROGRAM"

wait_for 15 '[ "$(tray_children)" -gt "$TRAY_BEFORE" ]' || fail "no tray icon appeared"

# A second start while the first runs asks it to show its window and ends at
# once, with status 0 and without a complaint that the first did not answer.
timeout 15 "$PROGRAM" >"$WORK/second.log" 2>&1
STATUS=$?
[ "$STATUS" -eq 0 ] || fail "the second start ended with status $STATUS"
[ ! -s "$WORK/second.log" ] || fail "the second start did not reach the first"
kill -0 "$APP_PID" 2>/dev/null || fail "the first copy is gone"

wait_for 40 '[ -f "$WORK/mirror/sub/two.txt" ] && [ -f "$WORK/mirror/caf$(printf "\351").txt" ]' ||
    fail "the scheduled run did not fill the mirror (due at $DUE)"
[ "$(cat "$WORK/mirror/one.txt")" = "one" ] || fail "one.txt differs"
[ "$(cat "$WORK/mirror/sub/two.txt")" = "two" ] || fail "sub/two.txt differs"

stop_program
[ "$STATUS" -eq 0 ] || fail "the program ended with status $STATUS"
wait_for 5 '[ "$(tray_children)" -eq "$TRAY_BEFORE" ]' || fail "the tray icon stayed after the end"

# Saved at exit: the program writes UTF-16 with a byte-order mark.
CONFIG="$WORK/config/twinfold/config.xml"
[ "$(head -c 2 "$CONFIG" | od -An -tx1 | tr -d ' ')" = "fffe" ] ||
    fail "the configuration was not saved at exit"
read_saved_config
grep -q 'id="e2e-task"' "$WORK/saved.xml" || fail "the task is missing from the saved file"
grep -q "value=\"$DUE\"" "$WORK/saved.xml" || fail "the schedule changed in the saved file"
echo "PASS"
