#!/bin/sh
# The real program under Xvfb in the Finnish locale, whose time format
# ("21.29.08") the fixed time was once written in: a task due a few seconds
# after the start, its time written that older way, runs exactly once, and
# the saved configuration keeps the time as ASCII "HH:MM:SS".
# Usage: fixed_time_locale.sh PATH/TO/twinfold
set -u

PROGRAM="$1"
. "$(dirname "$0")/x11_session.sh"

check_program "$PROGRAM"
[ -f /usr/share/i18n/locales/fi_FI ] ||
    fail "the locale sources are missing (scripts/install-deps installs the locales package)"

# A private locale folder: the test needs no locale installed system-wide.
mkdir -p "$WORK/locale"
localedef -i fi_FI -f UTF-8 "$WORK/locale/fi_FI.UTF-8" >"$WORK/localedef.log" 2>&1 ||
    fail "localedef could not make fi_FI.UTF-8"
export LOCPATH="$WORK/locale" LANG=fi_FI.UTF-8 LC_ALL=fi_FI.UTF-8

start_x11_with_tray

mkdir -p "$WORK/main" "$WORK/mirror" "$WORK/logs"
echo "one" >"$WORK/main/one.txt"

DUE_AT="$(date -d '+10 seconds' +%s)"
DUE_OLD="$(date -d "@$DUE_AT" +%X)"   # "HH.MM.SS" in this locale
DUE="$(date -d "@$DUE_AT" +%H:%M:%S)"
case "$DUE_OLD" in *.*.*) ;; *) fail "fi_FI wrote the time as $DUE_OLD" ;; esac
write_one_task_config fi-task true "$WORK/logs/nightly.log" "$DUE_OLD"
start_program "$PROGRAM"

wait_for 40 '[ -f "$WORK/mirror/one.txt" ]' || fail "the fixed-time run did not start (due at $DUE_OLD)"
# Past the half-second window and a few checks more: a second start would
# have begun by now.
wait_for 10 '[ "$(date +%s)" -ge $((DUE_AT + 4)) ]'
RUNS="$(grep -c -- '---BEGIN---' "$WORK/logs/nightly.log")"
[ "$RUNS" -eq 1 ] || fail "the task ran $RUNS times at its fixed time"

stop_program
read_saved_config
grep -q "fixup enabled=\"true\" value=\"$DUE\"" "$WORK/saved.xml" ||
    fail "the fixed time was not saved as $DUE"
echo "PASS"
