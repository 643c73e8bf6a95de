#!/bin/sh
# Runs a command on the current X display with trayer as the system tray in
# the bottom-right corner, so minimising the main window has a tray to go to.
# Without trayer the command runs on its own and the tray pictures are skipped.
if command -v trayer >/dev/null 2>&1; then
  trayer --edge bottom --align right --widthtype pixel --width 120 \
         --heighttype pixel --height 28 --tint 0x3c6e3c --transparent false \
         >/dev/null 2>&1 &
  tray=$!
fi
"$@"
status=$?
if [ -n "${tray:-}" ]; then kill "$tray" 2>/dev/null; wait "$tray" 2>/dev/null; fi
exit "$status"
