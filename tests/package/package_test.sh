#!/usr/bin/env bash
# The package as a bank's staff meet it: signed through a throwaway token, installed, upgraded
# silently and with a basic user interface while the installed monitor runs, an older package
# refused and the package removed, under Wine (signing and verification alone, and what only the
# package's tables show: signing_test.sh). Argument: the build folder whose files ship.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../tools/wine-env.sh"
work="$(mktemp -d)"
trap 'set +e; jobs -p | xargs -r kill; for package in ${newest:-} ${newer:-} ${current:-}; do msi /x "$package" /qn; done
  rm -rf "$work"' EXIT
monitor="$KESL_PACKAGE_DIR/KeslWebATMMonitor.exe"
state_file="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Roaming/KESL/info.ini"

# The packages are made of the shipped monitor. The twin's 64-bit Wine runs no 32-bit program: there
# they are made, here and for this test only, of the twin's monitor, by the same script from the
# same source.
packaged="$1"
if [ "$KESL_WINDOWS_BUILD" != win32 ]; then
  packaged="$KESL_BUILD_DIR"
  echo "wine.package: the shipped 32-bit monitor installed and run: packages of the twin's monitor instead, made for the test, since 64-bit Wine runs no 32-bit program" >>"$KESL_SKIPPED_STEPS"
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
# Waits up to 20 s for a condition.
wait_until() { for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done; return 1; }
# msiexec with the given arguments, for 60 s at most; what it and the programs it ran said is kept
# in $said.
said="$work/msiexec.out"
msi() { timeout 60 wine msiexec "$@" </dev/null >"$said" 2>&1; }
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
# The monitors running in this prefix, however started, one line each: the process id and the file
# it runs (from its memory map; whatever runs only a name, such as timeout, maps no such file).
monitors() {
  local pid
  for pid in $(pgrep -f 'KeslWebATMMonitor\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -xF "WINEPREFIX=$WINEPREFIX" >/dev/null || continue
    sed -n "s|^.* \(/.*/KeslWebATMMonitor\.exe\)\( (deleted)\)\{0,1\}\$|$pid \1|p" "/proc/$pid/maps" 2>/dev/null | head -n1
  done
}
running() { grep -q . "/proc/$1/maps" 2>/dev/null; }  # an ended process, even one not yet reaped, maps nothing
ended() { ! running "$1"; }
# The monitor started from where the package put it, known to run once its start-up has written
# the state file (no agent runs here); its process id is $running_monitor.
start_monitor() {
  rm -f "$state_file"
  timeout 60 wine "$monitor" </dev/null >/dev/null 2>&1 &
  wait_until test -f "$state_file" || fail "the installed monitor did not start"
  running_monitor="$(monitors | cut -d' ' -f1)"
}
in_place() {  # the package whose monitor must be installed
  rm -rf "$work/extracted" && msiextract -C "$work/extracted" "$1" >/dev/null
  cmp -s "$monitor" "$work/extracted/Program Files/KESL/WebATM/KeslWebATMMonitor.exe"
}

source "$here/throwaway_signer.sh"
make_signer "$work/signer"
product_version() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p'; }

current="$("$root/tools/package/package.sh" "$packaged" "$work/out")"
version="${current##*-}" version="${version%.msi}"
# The package N versions on; its monitor differs from the current one's by N bytes past its end.
later() {
  mkdir "$work/build-$1"
  cp "$packaged/source_date_epoch" "$work/build-$1/"
  { cat "$packaged/KeslWebATMMonitor.exe"; head -c "$1" /dev/zero; } >"$work/build-$1/KeslWebATMMonitor.exe"
  "$root/tools/package/package.sh" "$work/build-$1" "$work/out" "${version%.*}.$((${version##*.} + $1))"
}
newer="$(later 1)"
newest="$(later 2)"

# The component's own program, which the package must leave where it lies.
mkdir -p "$KESL_PACKAGE_DIR" && cp "$1/KeslWebATMAgent.exe" "$KESL_PACKAGE_DIR/"
msi /i "$current" /qn || fail "the silent install failed"
[ "$(run_value)" = '"C:\Program Files (x86)\KESL\WebATM\KeslWebATMMonitor.exe"' ] || fail "Run value: $(run_value)"
osslsigncode verify -CAfile "$work/signer/ca.pem" -in "$monitor" >/dev/null || fail "the installed monitor's signature"

# Silently, as a deployment upgrades: the running monitor is ended and none is started.
start_monitor
msi /i "$newer" /qn || fail "the silent upgrade over a running monitor did not end with 0"
wait_until ended "$running_monitor" || fail "the running monitor was not ended by the silent upgrade"
[ -z "$(monitors)" ] || fail "a monitor runs after the silent upgrade: $(monitors)"
in_place "$newer" || fail "the newer monitor is not in place"
rename_pending && fail "a file waits for a restart"
[ "$(installed)" = "$(product_version "$newer")" ] || fail "installed after the newer package: $(installed)"

# With a user interface: the user's own monitor is asked to close, as its Exit item closes it (Wine's
# taskkill says so; its forced close would find nothing left), and a new one is started from where
# the package put it, the only one running.
start_monitor
old_monitor="$running_monitor"
rm -f "$state_file"
msi /i "$newest" /qb || fail "the basic-UI upgrade over a running monitor did not end with 0: $(cat "$said")"
grep -q 'Close message sent to top-level windows of process "KeslWebATMMonitor.exe"' "$said" ||
  fail "the running monitor was not asked to close: $(cat "$said")"
wait_until ended "$old_monitor" || fail "the running monitor was not ended by the basic-UI upgrade"
wait_until test -f "$state_file" || fail "no monitor was started after the basic-UI upgrade"
[ "$(monitors | wc -l)" = 1 ] && running_monitor="$(monitors | cut -d' ' -f1)" &&
  [ "$running_monitor" != "$old_monitor" ] && [ "$(monitors | cut -d' ' -f2-)" = "$monitor" ] ||
  fail "after the basic-UI upgrade, not one new monitor from $monitor: $(monitors)"
in_place "$newest" || fail "the newest monitor is not in place"
rename_pending && fail "a file waits for a restart"
[ "$(installed)" = "$(product_version "$newest")" ] || fail "installed after the newest package: $(installed)"

# An older package is refused before any monitor is touched: no taskkill said a word.
refused=0
msi /i "$current" /qn || refused=$?
# Linux sees the low byte of Wine's exit code: 1603 & 255.
[ "$refused" = $((1603 & 255)) ] || fail "an older package over a newer one ended with $refused, not 1603 & 255"
running "$running_monitor" && ! grep -q KeslWebATMMonitor "$said" || fail "the refused older package touched the running monitor: $(cat "$said")"

msi /x "$newest" /qn || fail "the silent removal of a running monitor failed"
wait_until ended "$running_monitor" || fail "the running monitor was not ended by the removal"
[ ! -e "$monitor" ] && [ -z "$(run_value)" ] && ! rename_pending || fail "the monitor or its Run value is still there"
[ -f "$KESL_PACKAGE_DIR/KeslWebATMAgent.exe" ] || fail "the agent's program went too"
