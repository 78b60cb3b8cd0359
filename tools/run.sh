#!/usr/bin/env bash
# Starts the monitor under Wine, in a virtual desktop, with the stand-in agent running.
# On the user's display it waits until the monitor is closed (from its tray menu, 結束).
# Without a display it runs on Xvfb, walks through the tray and writes screenshots to
# build/screenshots/.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then export KESL_KEEP_DISPLAY=1; fi
source "$here/wine-env.sh"

"$here/wine-session.sh" start
trap '"$here/wine-session.sh" stop' EXIT
source "$here/wine-env.sh"
"$here/install-standins.sh"
monitor="$root/build/win32/KeslWebATMMonitor.exe"

start_agent() { (wine "$KESL_INSTALL_DIR/KeslWebATMAgent.exe" </dev/null >/dev/null 2>&1 &); sleep 1; }
start_monitor() { (wine "$monitor" </dev/null >/dev/null 2>&1 &); }

if [ -n "${KESL_KEEP_DISPLAY:-}" ]; then
  start_agent
  echo "The monitor is in the notification area of the Wine desktop; right-click its icon."
  wine "$monitor"
  exit 0
fi

# The notification area sits at the right end of the taskbar at the bottom of the 1024x768
# desktop; the popup menu opens with its lower-left corner at the cursor, shifted to fit.
icon="1014 758"
about_item="960 685"
exit_item="960 745"
shots="$root/build/screenshots"
mkdir -p "$shots"

region() {  # crop geometry: a checksum of what the screen shows there
  import -window root -crop "$1" +repage rgb:- | md5sum
}
await_change() {  # crop geometry, earlier checksum: waits (30 s at most) until the region changes
  for _ in $(seq 60); do
    [ "$(region "$1")" != "$2" ] && { sleep 0.5; return 0; }
    sleep 0.5
  done
  echo "  (nothing changed in $1)" >&2
}
shoot() {  # name, crop geometry
  import -window root -crop "$2" +repage "$shots/$1.png"
  echo "  $shots/$1.png"
}
tray=320x120+704+648
dialog=420x190+0+0  # where the About box opens
click() {  # x y button
  xdotool mousemove $1 $2 sleep 0.4 click $3
}

echo "Screenshots:"
start_agent
before=$(region $tray)
start_monitor
await_change $tray "$before"
shoot tray-running $tray
before=$(region $tray)
click $icon 3
await_change $tray "$before"
shoot menu $tray
before=$(region $dialog)
click $about_item 1
await_change $dialog "$before"
shoot about $dialog
before=$(region $dialog)
xdotool key Return
await_change $dialog "$before"
before=$(region $tray)
click $icon 3
await_change $tray "$before"
before=$(region $tray)
click $exit_item 1
await_change $tray "$before"

# Without the agent the monitor starts stopped, in greys.
wine "$KESL_INSTALL_DIR/KeslTerminateService.exe" </dev/null >/dev/null 2>&1
before=$(region $tray)
start_monitor
await_change $tray "$before"
shoot tray-stopped $tray
before=$(region $tray)
click $icon 3
await_change $tray "$before"
click $exit_item 1
