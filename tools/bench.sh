#!/usr/bin/env bash
# make bench: runs the benchmark driver under Wine in a session of its own, then prints one table
# comparing the monitor with the floor tray program. Expects the bench programs built.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/wine-env.sh"
build="$root/build/win32"
out="$root/build/bench"
mkdir -p "$out"

"$here/wine-session.sh" start
trap '"$here/wine-session.sh" stop' EXIT
source "$here/wine-env.sh"
"$here/install-standins.sh" "$build"

echo "Measuring (about two minutes):"
(cd "$build" && wine bench_driver.exe) >"$out/observations.txt" </dev/null
echo
/usr/bin/python3 "$here/bench_report.py" "$out/observations.txt" "$build/KeslWebATMMonitor.exe" \
  "$build/KeslBenchFloorTray.exe" "$(wine --version)" | tee "$out/report.md"
