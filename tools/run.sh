#!/usr/bin/env bash
# Starts the monitor under Wine with the stand-in agent running, in the project's own prefix.
set -euo pipefail
here="$(dirname "$0")"
source "$here/wine-env.sh"

"$here/wine-session.sh" start
trap '"$here/wine-session.sh" stop' EXIT
"$here/install-standins.sh"

wine "$KESL_INSTALL_DIR/KeslWebATMAgent.exe" </dev/null >/dev/null 2>&1 &
wine "$root/build/win32/KeslWebATMMonitor.exe"
echo "Monitor exited with $?. State file:"
cat "$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Roaming/KESL/info.ini" 2>/dev/null || echo "(none)"
