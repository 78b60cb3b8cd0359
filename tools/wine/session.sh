#!/usr/bin/env bash
# start:   a virtual X display, the project's Wine prefix (made once) and a persistent wineserver.
# stop:    ends every Wine process of the prefix, and the display.
# prepare: makes the prefix, if it is new, without a display: make test runs it while it builds,
#          and start waits for it.
set -euo pipefail
source "$(dirname "$0")/env.sh"
session_log="$WINEPREFIX.session.log"

# Runs one step of the start, its output kept in the session's log; a failure ends the start with
# one line that names the step and the last thing it said.
step() {  # what, command...
  local what=$1
  shift
  "$@" </dev/null >>"$session_log" 2>&1 9>&- ||
    { echo "tools/wine/session.sh: $what failed: $(grep -v '^\s*$' "$session_log" | tail -n1)" >&2; exit 1; }
}

start_display() {
  # A free display number; Xvfb's own lock file says which are taken. Sessions of both builds may
  # start together: one picks at a time, until its server is up.
  exec 8>/tmp/.kesl-display.lock
  flock 8
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 8>&- 9>&- &
  echo $! >"$WINEPREFIX.xvfb-pid"
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  [ -e "/tmp/.X11-unix/X$n" ] || { echo "tools/wine/session.sh: Xvfb did not start on :$n" >&2; exit 1; }
  exec 8>&-
  echo "$n" >"$display_file"
  export DISPLAY=":$n"
}

# Settings made once, when the prefix is new.
configure_prefix() {
  # Every program runs in one virtual desktop with a taskbar, whose notification area shows the
  # tray icons where tests and screenshots can find them.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f || return
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f || return
  # Chinese text in dialogs, menus and message boxes: link Wine's UI fonts to a CJK font.
  local link='NotoSansCJK-Regular.ttc,Noto Sans CJK TC'
  for font in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$font" /t REG_MULTI_SZ /d "$link" /f || return
  done
  # The desktop settings take effect when the server starts again.
  wineserver -k
  wineserver -w
  wineserver -p && wine wineboot
}

# Caption buttons draw their glyphs with the Marlett symbol font. Debian keeps Wine's own fonts in
# fonts-wine, where this Wine does not look, so the prefix links the one it needs; on every start,
# so that a prefix made before this also gets it.
link_symbol_font() {
  ln -sf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
}

# One prefix is made or started at a time. What outlives the script (Xvfb, the wineserver and the
# programs Wine starts) never holds the lock: each is started with its descriptor closed.
lock_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
}

case "${1:-}" in
  prepare)
    lock_prefix
    [ -f "$WINEPREFIX/.initialised" ] && exit 0
    unset DISPLAY
    session_log="$WINEPREFIX.prepare.log"
    rm -f "$session_log"
    wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
    # A prefix that cannot be made here is made again, and the failure named, by start.
    step "making the prefix $WINEPREFIX" wine wineboot -i
    link_symbol_font
    step "configuring the prefix" configure_prefix
    touch "$WINEPREFIX/.initialised"
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
  start)
    lock_prefix
    # A session left over from an interrupted run would tie the new one to its old display.
    "$0" stop
    if [ -z "${KESL_KEEP_DISPLAY:-}" ]; then start_display; fi
    rm -f "$session_log"
    step "Wine ($(command -v wine))" wine --version
    # One persistent server keeps every wine start fast; it is started before the prefix is made
    # so that wineboot uses it too.
    wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
    if [ ! -f "$WINEPREFIX/.initialised" ]; then
      step "making the prefix $WINEPREFIX" wine wineboot -i
      link_symbol_font
      step "configuring the prefix" configure_prefix
      touch "$WINEPREFIX/.initialised"
    else
      # Bring up Wine's own services here, detached from the caller's output: started by the
      # first test instead, they would hold the test runner's pipes open after the tests end.
      link_symbol_font
      step "starting Wine in $WINEPREFIX" wine wineboot
    fi
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -f "$WINEPREFIX.xvfb-pid" ]; then
      kill "$(cat "$WINEPREFIX.xvfb-pid")" 2>/dev/null || true
      rm -f "$WINEPREFIX.xvfb-pid" "$display_file"
    fi
    ;;
  *)
    echo "usage: $0 start|stop|prepare" >&2
    exit 2
    ;;
esac
