#!/bin/sh
# Runs a command on an Xvfb display with trayer's system tray, then stops both.
# Usage: with_tray.sh COMMAND [ARGUMENTS...]
set -u
. "$(dirname "$0")/x11_session.sh"
start_x11_with_tray
"$@" >"$WORK/command.log" 2>&1
STATUS=$?
cat "$WORK/command.log"
exit "$STATUS"
