#!/usr/bin/env bash
# make bench: runs the benchmark driver under Wine in a session of its own, then prints one table
# comparing the monitor with the floor tray program. Expects the bench programs built.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../wine/env.sh"
build="$KESL_BUILD_DIR"
if [ "$KESL_WINDOWS_BUILD" = win64 ]; then built="the x86-64 twin, build/win64 (not the 32-bit build that ships)"
else built="the 32-bit build that ships, build/win32"
fi
out="$root/build/bench"
mkdir -p "$out"

"$here/../wine/session.sh" start
trap '"$here/../wine/session.sh" stop' EXIT
source "$here/../wine/env.sh"
"$here/../wine/install-standins.sh" "$build"

# The package and the upgrade-check package of this build, unsigned, for the upgrade figure.
rm -rf "$out/packages"
(unset "${!KESL_SIGN_@}" && "$root/tools/package/package.sh" "$build" "$out/packages") >/dev/null 2>&1
"$root/tools/kit/upgrade_check.sh" "$build" "$out/packages" >/dev/null
packages=("$out"/packages/KeslWebATMMonitor-*[0-9].msi "$out"/packages/*UPGRADE-CHECK*.msi)

echo "Measuring (about three minutes):"
(cd "$build" && wine bench_driver.exe "$(winepath -w "${packages[0]}")" "$(winepath -w "${packages[1]}")") \
  >"$out/observations.txt" </dev/null
echo
/usr/bin/python3 "$here/report.py" "$out/observations.txt" "$build/KeslWebATMMonitor.exe" \
  "$build/KeslBenchFloorTray.exe" "$(wine --version)" "$built" | tee "$out/report.md"
