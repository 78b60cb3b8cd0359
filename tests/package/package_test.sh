#!/usr/bin/env bash
# The installer package as an administrator meets it in the Wine prefix: a silent install, the
# monitor started from where it was put, a newer package over it, and a silent removal that
# leaves the agent's programs alone. Argument: the build folder.
set -euo pipefail
source "$(dirname "$0")/../../tools/wine-env.sh"
work="$(mktemp -d)"
monitor="$KESL_INSTALL_DIR/KeslWebATMMonitor.exe"

fail() { echo "FAIL: $*" >&2; exit 1; }
msi() { wine msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
run_value() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v KeslWebATMMonitor /reg:32 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}
# The product's entries in the list of installed programs, in both registry views.
entries() {
  for view in 32 64; do
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view 2>/dev/null
  done | grep -c 'DisplayName *REG_SZ *Kesl'
}

current="$("$root/tools/package.sh" "$1" "$work")"
version="${current##*-}" version="${version%.msi}"
newer="$("$root/tools/package.sh" "$1" "$work" "${version%.*}.$((${version##*.} + 1))")"
trap 'set +e; jobs -p | xargs -r kill; msi /x "$newer"; msi /x "$current"; rm -rf "$work"' EXIT

msi /i "$current" || fail "the silent install failed"
[ "$(run_value)" = '"C:\Program Files (x86)\KESL\WebATM\KeslWebATMMonitor.exe"' ] || fail "Run value: $(run_value)"

# It runs from there: its hidden window takes a close request from outside, and it ends with 0
# (a program without a window would run on until the timeout).
timeout 60 wine "$monitor" </dev/null >/dev/null 2>&1 &
started=$!
for _ in $(seq 100); do
  kill -0 "$started" 2>/dev/null || break
  wine taskkill /im KeslWebATMMonitor.exe >/dev/null 2>&1 || true
done
wait "$started" || fail "the installed monitor showed no window, or did not end with 0"

msi /i "$newer" || fail "the newer package did not install over the older one"
[ "$(entries)" = 1 ] || fail "$(entries) entries in the list of installed programs"

"$root/tools/install-standins.sh" "$1"
msi /x "$newer" || fail "the silent removal failed"
[ ! -e "$monitor" ] && [ -z "$(run_value)" ] || fail "the monitor or its Run value is still there"
[ -f "$KESL_INSTALL_DIR/KeslWebATMAgent.exe" ] || fail "the agent's program went too"
