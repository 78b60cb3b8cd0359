#!/usr/bin/env bash
# make test's run of the acceptance program under Wine: a kit of this build's packages and
# stand-ins, the program run on it, its SKIP lines added to the steps skipped here. Arguments: the
# build folder whose programs run here.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../tools/wine/env.sh"
build="$(cd "$1" && pwd)"
kit="$(mktemp -d)"
out="$root/build/acceptance-$KESL_WINDOWS_BUILD"
# A Windows path, or a stop that names the tool: an empty one would send the program elsewhere.
windows_path() { winepath -w "$1" | grep . || { echo "run_under_wine.sh: winepath -w $1 gave no path" >&2; return 1; }; }
# A run that ended early may leave a package installed, which the next run's install would meet.
# (msiexec /x of a package that is not installed fails, which is no failure here.)
remove_packages() { for msi in "$kit"/built/*UPGRADE-CHECK*.msi "$kit"/built/*.msi; do wine msiexec /x "$msi" /qn &>/dev/null || true; done; }
trap 'remove_packages; rm -rf "$kit"' EXIT

# The kit as make kit puts it together, of this build's monitor (on the x86-64 twin, packages made
# for this test only, never shipped) and of the same monitor stamped one version later; under Wine,
# the DLL that the monitor must not load from its folder beside it.
unsigned() { (unset "${!KESL_SIGN_@}" && "$@"); }
unsigned "$root/tools/package/package.sh" "$build" "$kit/built" >/dev/null 2>&1
"$root/tools/kit/upgrade_check.sh" "$build" "$kit/built" >/dev/null
unzip -q "$("$root/tools/kit/kit.sh" "$build" "$kit/built" "$kit/built" "$kit/zip")" -d "$kit"
program="$kit/KeslAcceptance/kit/KeslAcceptance.exe"
mkdir "$kit/KeslAcceptance/kit/planted" && cp "$build/KeslPlantedDll.dll" "$kit/KeslAcceptance/kit/planted/bcrypt.dll"

if [ "$KESL_WINDOWS_BUILD" = win64 ]; then
  echo "win64 wine.acceptance: the shipped 32-bit monitor installed and run: skipped, 64-bit Wine runs no 32-bit program; the packages are of the twin's monitor, made for this test only" >>"$KESL_SKIPPED_STEPS"
fi
# What a run that was killed left: its package, and a monitor's file, which a newer one would keep
# from being installed.
remove_packages
rm -f "$WINEPREFIX/drive_c/Program Files (x86)/KESL/WebATM/"{KeslWebATMMonitor.exe,bcrypt.dll}
# The prefix is never restarted: a file an earlier run left waiting for a restart would wait for ever.
wine reg delete 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations /f &>/dev/null || true
rm -rf "$out" && mkdir -p "$out"
status=0
# Into a file, not a pipe: the programs it starts inherit its output, and one left running would
# hold a pipe open.
refused_w="$(windows_path "$kit/refused")"
# The report folder given relative to the current one, as README-QA's second way gives it; the
# monitor prefers a bcrypt.dll found on its DLL search path to Wine's own (the program's dll.search).
(cd "$(dirname "$out")" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;bcrypt=n,b" timeout 600 wine "$program" \
  --out "$(basename "$out")" </dev/null >"$out/console.txt" 2>&1) || status=$?
# Its checks and what it said it changes; anything else Wine prints stays in the file.
tr -d '\r' <"$out/console.txt" | grep -E '^(PASS|FAIL|SKIP|  |Report|KeslAcceptance|usage|[0-9]+ passed)'
tr -d '\r' <"$out/console.txt" |
  sed -n "s/^SKIP \([^:]*\): \(.*\)/$KESL_WINDOWS_BUILD wine.acceptance: \1: skipped, \2/p" >>"$KESL_SKIPPED_STEPS"

# Where an agent that is not the stand-in is installed, the program refuses, in one line, to touch it.
agent="$KESL_INSTALL_DIR/KeslWebATMAgent.exe"
mv "$agent" "$kit/agent" && printf 'MZ, the real component' >"$agent"
refused="$(wine "$program" --out "$refused_w" </dev/null |
  tr -d '\r')" && refusal=0 || refusal=$?
mv -f "$kit/agent" "$agent"
if [ "$refusal" != 2 ] || [ "$(wc -l <<<"$refused")" != 1 ] || [ -e "$kit/refused" ] ||
  [[ "$refused" != "KeslAcceptance: the component is installed here"* ]]; then
  echo "FAIL refusal: exit code $refusal where the real component is installed: $refused"
  status=1
fi
exit $status
