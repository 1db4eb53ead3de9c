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

command -v iconv >/dev/null || fail "iconv is missing"
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM"
# A config.xml beside the program would be used instead of the test's.
[ ! -e "$(dirname "$PROGRAM")/config.xml" ] ||
    fail "$(dirname "$PROGRAM")/config.xml exists; the test needs the program's folder without one"

start_x11_with_tray

mkdir -p "$WORK/config/twinfold" "$WORK/runtime" "$WORK/main/sub" "$WORK/mirror"
chmod 700 "$WORK/runtime"
echo "one" >"$WORK/main/one.txt"
echo "two" >"$WORK/main/sub/two.txt"
# A name that is not UTF-8 must come through unchanged.
printf 'latin' >"$WORK/main/caf$(printf '\351').txt"

# Due a few seconds after the start, so the program is up and idle by then.
DUE="$(date -d '+12 seconds' +%H:%M:%S)"
cat >"$WORK/config/twinfold/config.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<config>
  <policyList><policy name="&lt; default copy policy &gt;" value="17830161"/></policyList>
  <taskList>
    <task name="Nightly" policy="&lt; default copy policy &gt;" enableLog="false" logFile="" id="e2e-task">
      <folderList><folder main="$WORK/main" mirror="$WORK/mirror"/></folderList>
      <include><fileList/></include>
      <exclude><fileList/><fileType type=""/><fileAttr attr=""/></exclude>
      <schedule><interval enabled="false" value="5"/><fixup enabled="true" value="$DUE"/><simulate value="false"/></schedule>
    </task>
  </taskList>
  <normalSetting showDetail="false" showWizard="false" configVersion="1.0"/>
</config>
XML

export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime"
# For sanitizer builds: leaks of system libraries are not the program's.
LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
"$PROGRAM" >"$WORK/twinfold.log" 2>&1 &
APP_PID=$!

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

kill -TERM "$APP_PID"
wait_for 20 '! kill -0 "$APP_PID" 2>/dev/null' || fail "the program did not end after SIGTERM"
wait "$APP_PID"
STATUS=$?
APP_PID=""
[ "$STATUS" -eq 0 ] || fail "the program ended with status $STATUS"
wait_for 5 '[ "$(tray_children)" -eq "$TRAY_BEFORE" ]' || fail "the tray icon stayed after the end"

# Saved at exit: the program writes UTF-16 with a byte-order mark.
CONFIG="$WORK/config/twinfold/config.xml"
[ "$(head -c 2 "$CONFIG" | od -An -tx1 | tr -d ' ')" = "fffe" ] ||
    fail "the configuration was not saved at exit"
iconv -f UTF-16 -t UTF-8 "$CONFIG" >"$WORK/saved.xml" || fail "the saved file is not UTF-16"
grep -q 'id="e2e-task"' "$WORK/saved.xml" || fail "the task is missing from the saved file"
grep -q "value=\"$DUE\"" "$WORK/saved.xml" || fail "the schedule changed in the saved file"
echo "PASS"
