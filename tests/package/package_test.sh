#!/usr/bin/env bash
# The package as a bank's staff meet it: signed through a throwaway token, installed, upgraded and
# removed under Wine while the installed monitor runs, an older package refused (signing and
# verification alone: signing_test.sh). Argument: the build folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../tools/wine-env.sh"
work="$(mktemp -d)"
trap 'set +e; jobs -p | xargs -r kill; for package in ${newer:-} ${current:-}; do msi /x "$package"; done; rm -rf "$work"' EXIT
monitor="$KESL_PACKAGE_DIR/KeslWebATMMonitor.exe"
state_file="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Roaming/KESL/info.ini"

fail() { echo "FAIL: $*" >&2; exit 1; }
# Waits up to 20 s for a condition.
wait_until() { for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done; return 1; }
msi() { wine msiexec "$@" /qn </dev/null &>/dev/null; }
run_value() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v KeslWebATMMonitor /reg:32 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}
# The versions of the product's entries in the list of installed programs, in both views.
installed() {
  local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  for view in 32 64; do wine reg query "$key" /s /reg:$view 2>/dev/null; done | tr -d '\r' |
    awk '/^HKEY/ { name = ""; version = "" } /DisplayName/ { name = $3 } /DisplayVersion/ { version = $3 }
         name ~ /^Kesl/ && version != "" { print version; name = "" }' | xargs
}
rename_pending() { wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations &>/dev/null; }
# The monitor started from where the package put it, known to run once its start-up has written
# the state file (no agent runs here). The twin's 64-bit Wine runs no 32-bit program: there the
# step that needs it is listed as skipped, and the package works on a monitor that is not running.
start_monitor() {  # the step that needs it
  monitor_job=""
  if [ "$KESL_WINDOWS_BUILD" != win32 ]; then
    echo "wine.package: $1 over a running monitor: skipped, 64-bit Wine runs no 32-bit monitor" >>"$KESL_SKIPPED_STEPS"
    return
  fi
  rm -f "$state_file"
  timeout 60 wine "$monitor" </dev/null >/dev/null 2>&1 &
  monitor_job=$!
  wait_until test -f "$state_file" || fail "the installed monitor did not start"
}
monitor_ended() { [ -z "$monitor_job" ] || ! kill -0 "$monitor_job" 2>/dev/null; }

source "$here/throwaway_signer.sh"
make_signer "$work/signer"
product_version() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p'; }

# The newer package's monitor differs from the current one's by one byte past its end.
mkdir "$work/newer-build"
cp "$1/source_date_epoch" "$work/newer-build/"
{ cat "$1/KeslWebATMMonitor.exe"; printf '\0'; } >"$work/newer-build/KeslWebATMMonitor.exe"
current="$("$root/tools/package/package.sh" "$1" "$work/out")"
version="${current##*-}" version="${version%.msi}"
newer="$("$root/tools/package/package.sh" "$work/newer-build" "$work/out" "${version%.*}.$((${version##*.} + 1))")"

# The component's own program, which the package must leave where it lies.
mkdir -p "$KESL_PACKAGE_DIR" && cp "$1/KeslWebATMAgent.exe" "$KESL_PACKAGE_DIR/"
msi /i "$current" || fail "the silent install failed"
[ "$(run_value)" = '"C:\Program Files (x86)\KESL\WebATM\KeslWebATMMonitor.exe"' ] || fail "Run value: $(run_value)"
osslsigncode verify -CAfile "$work/signer/ca.pem" -in "$monitor" >/dev/null || fail "the installed monitor's signature"

start_monitor "the upgrade"
msi /i "$newer" || fail "the newer package over a running monitor did not end with 0"
wait_until monitor_ended || fail "the running monitor was not ended"
msiextract -C "$work/newer" "$newer" >/dev/null
cmp -s "$monitor" "$work/newer/Program Files/KESL/WebATM/KeslWebATMMonitor.exe" || fail "the newer monitor is not in place"
rename_pending && fail "a file waits for a restart"
[ "$(installed)" = "$(product_version "$newer")" ] || fail "installed after the newer package: $(installed)"

msi /i "$current" && fail "an older package installed over a newer one"

start_monitor "the removal"
msi /x "$newer" || fail "the silent removal of a running monitor failed"
wait_until monitor_ended || fail "the running monitor was not ended by the removal"
[ ! -e "$monitor" ] && [ -z "$(run_value)" ] && ! rename_pending || fail "the monitor or its Run value is still there"
[ -f "$KESL_PACKAGE_DIR/KeslWebATMAgent.exe" ] || fail "the agent's program went too"
