#!/bin/sh
# The real program under Xvfb in the Finnish locale, whose time format
# ("21.29.08") the fixed time was once written in: a task due a few seconds
# after the start, its time written that older way, runs exactly once, and
# the saved configuration keeps the time as ASCII "HH:MM:SS".
# Usage: fixed_time_locale.sh PATH/TO/twinfold
set -u

PROGRAM="$1"
. "$(dirname "$0")/x11_session.sh"

command -v iconv >/dev/null || fail "iconv is missing"
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM"
[ ! -e "$(dirname "$PROGRAM")/config.xml" ] ||
    fail "$(dirname "$PROGRAM")/config.xml exists; the test needs the program's folder without one"
[ -f /usr/share/i18n/locales/fi_FI ] ||
    fail "the locale sources are missing (scripts/install-deps installs the locales package)"

# A private locale folder: the test needs no locale installed system-wide.
mkdir -p "$WORK/locale"
localedef -i fi_FI -f UTF-8 "$WORK/locale/fi_FI.UTF-8" >"$WORK/localedef.log" 2>&1 ||
    fail "localedef could not make fi_FI.UTF-8"
export LOCPATH="$WORK/locale" LANG=fi_FI.UTF-8 LC_ALL=fi_FI.UTF-8

start_x11_with_tray

mkdir -p "$WORK/config/twinfold" "$WORK/runtime" "$WORK/main" "$WORK/mirror" "$WORK/logs"
chmod 700 "$WORK/runtime"
echo "one" >"$WORK/main/one.txt"

DUE_AT="$(date -d '+10 seconds' +%s)"
DUE_OLD="$(date -d "@$DUE_AT" +%X)"   # "HH.MM.SS" in this locale
DUE="$(date -d "@$DUE_AT" +%H:%M:%S)"
case "$DUE_OLD" in *.*.*) ;; *) fail "fi_FI wrote the time as $DUE_OLD" ;; esac
cat >"$WORK/config/twinfold/config.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<config>
  <policyList><policy name="&lt; default copy policy &gt;" value="17830161"/></policyList>
  <taskList>
    <task name="Nightly" policy="&lt; default copy policy &gt;" enableLog="true" logFile="$WORK/logs/nightly.log" id="fi-task">
      <folderList><folder main="$WORK/main" mirror="$WORK/mirror"/></folderList>
      <include><fileList/></include>
      <exclude><fileList/><fileType type=""/><fileAttr attr=""/></exclude>
      <schedule><interval enabled="false" value="5"/><fixup enabled="true" value="$DUE_OLD"/><simulate value="false"/></schedule>
    </task>
  </taskList>
  <normalSetting showDetail="false" showWizard="false" configVersion="1.0"/>
</config>
XML

export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime"
LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
"$PROGRAM" >"$WORK/twinfold.log" 2>&1 &
APP_PID=$!

wait_for 40 '[ -f "$WORK/mirror/one.txt" ]' || fail "the fixed-time run did not start (due at $DUE_OLD)"
# Past the half-second window and a few checks more: a second start would
# have begun by now.
wait_for 10 '[ "$(date +%s)" -ge $((DUE_AT + 4)) ]'
RUNS="$(grep -c -- '---BEGIN---' "$WORK/logs/nightly.log")"
[ "$RUNS" -eq 1 ] || fail "the task ran $RUNS times at its fixed time"

kill -TERM "$APP_PID"
wait_for 20 '! kill -0 "$APP_PID" 2>/dev/null' || fail "the program did not end after SIGTERM"
wait "$APP_PID"
APP_PID=""
iconv -f UTF-16 -t UTF-8 "$WORK/config/twinfold/config.xml" >"$WORK/saved.xml" ||
    fail "the saved file is not UTF-16"
grep -q "fixup enabled=\"true\" value=\"$DUE\"" "$WORK/saved.xml" ||
    fail "the fixed time was not saved as $DUE"
echo "PASS"
