#!/usr/bin/env bash
# Starts the monitor under Wine, in a virtual desktop, with the stand-in agent running.
# On the user's display it waits until the monitor is closed (from its tray menu, 結束).
# Without a display it runs on Xvfb, walks through the tray and writes screenshots to
# build/screenshots/.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then export KESL_KEEP_DISPLAY=1; fi
source "$here/../wine/env.sh"

"$here/../wine/session.sh" start
trap '"$here/../wine/session.sh" stop' EXIT
source "$here/../wine/env.sh"
"$here/../wine/install-standins.sh"
monitor="$KESL_BUILD_DIR/KeslWebATMMonitor.exe"

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
stop_item="960 725"
ok_button="513 405"  # of a message box, which opens in the middle of the screen
exit_item="960 745"
off_icon="512 600"  # a bare part of the desktop
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
await_still() {  # crop geometry: waits (30 s at most) until the region stops changing
  local before after
  before=$(region "$1")
  for _ in $(seq 60); do
    sleep 0.5
    after=$(region "$1")
    [ "$after" = "$before" ] && return 0
    before=$after
  done
  echo "  ($1 kept changing)" >&2
}
await_icon() {  # waits (30 s at most) until the notification area shows an icon: pixels of more than one colour
  for _ in $(seq 60); do
    [ "$(import -window root -crop $icon_slot +repage -format %k info:)" -gt 1 ] && { sleep 0.5; return 0; }
    sleep 0.5
  done
  echo "  (no icon in the notification area)" >&2
}
shoot() {  # name, crop geometry
  import -window root -crop "$2" +repage "$shots/$1.png"
  echo "  $shots/$1.png"
}
tray=320x120+704+648
icon_slot=16x16+1006+750
dialog=420x190+0+0  # where the About box opens
message_box=240x140+392+314  # the middle of the screen, where message boxes open
click() {  # x y button
  xdotool mousemove $1 $2 sleep 0.4 click $3
}

# Does what follows the region and waits until the region shows the result.
acting_on() {  # crop geometry, command...
  local area=$1 before
  shift
  before=$(region "$area")
  "$@"
  await_change "$area" "$before"
}

echo "Screenshots:"
start_agent
# The desktop may still be redrawn as a whole after the agent starts: the first shot waits for the icon itself.
start_monitor
await_icon
shoot tray-running $tray
acting_on $tray click $icon 3
# Off the icon, whose tooltip would cover the menu; the shot waits until the tooltip has gone.
xdotool mousemove $off_icon
await_still $tray
shoot menu $tray
acting_on $dialog click $about_item 1
shoot about $dialog
acting_on $dialog xdotool key Return

# Stop from the menu: the agent ends, the box says so, and once it is dismissed the icon is grey.
acting_on $tray click $icon 3
acting_on $message_box click $stop_item 1
shoot stopped-message $message_box
acting_on $tray click $ok_button 1
shoot tray-stopped $tray
acting_on $tray click $icon 3
click $exit_item 1
