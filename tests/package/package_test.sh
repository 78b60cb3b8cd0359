#!/usr/bin/env bash
# The installer package as an administrator meets it in the Wine prefix: a silent install, the
# monitor started from where it was put, a newer package over it, an older one refused, and a
# silent removal that leaves the agent's programs and the user's state alone. Argument: the build.
set -euo pipefail
source "$(dirname "$0")/../../tools/wine-env.sh"
work="$(mktemp -d)"
name="Kesl銀行晶片金融卡安控元件"
monitor="$KESL_INSTALL_DIR/KeslWebATMMonitor.exe"
state_file="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/KESL/info.ini"

fail() { echo "FAIL: $*" >&2; exit 1; }
msi() { wine msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
run_value() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v KeslWebATMMonitor /reg:32 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}
# The version of each entry named $name in the list of installed programs, in both views.
installed_versions() {
  for view in 32 64; do
    wine reg export 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' "$work/list.reg" /y /reg:$view \
      >/dev/null 2>&1 && iconv -f UTF-16 -t UTF-8 "$work/list.reg" | tr -d '\r' |
      awk -v named="\"DisplayName\"=\"$name\"" -F'"' '/^\[/ { if (n) print v; n = 0 } $0 == named { n = 1 }
        $2 == "DisplayVersion" { v = $4 } END { if (n) print v }'
  done
}
windows_pid() {
  wine wmic process get name,processid 2>/dev/null | iconv -f UTF-16 -t UTF-8 |
    awk '$1 == "KeslWebATMMonitor.exe" { print $2 + 0; exit }'
}

current="$("$root/tools/package.sh" "$1" "$work")"
version="${current##*-}" version="${version%.msi}"
next="${version%.*}.$((${version##*.} + 1))"
newer="$("$root/tools/package.sh" "$1" "$work" "$next")"
trap 'set +e; jobs -p | xargs -r kill; msi /x "$newer" || msi /x "$current"; rm -rf "$work"' EXIT
rm -rf "$(dirname "$KESL_INSTALL_DIR")"

msi /i "$current" || fail "the silent install failed"
[ -f "$monitor" ] || fail "no monitor at $monitor"
[ "$(run_value)" = '"C:\Program Files (x86)\KESL\WebATM\KeslWebATMMonitor.exe"' ] || fail "Run value: $(run_value)"

# It runs from there: its hidden window takes a close request from outside, and it ends with 0.
timeout 60 wine "$monitor" </dev/null >/dev/null 2>&1 &
for _ in $(seq 60); do
  pid="$(windows_pid)"
  [ -n "$pid" ] && wine taskkill /pid "$pid" >/dev/null 2>&1 && break
done
wait $! || fail "the installed monitor showed no window, or did not end with 0 ($?)"

msi /i "$newer" || fail "the newer package did not install over the older one"
# The newer program's version as Windows Installer reads it: its third field carries two.
IFS=. read -r major minor patch build <<<"$next"
expected="$major.$minor.$((patch * 1000 + build))"
[ "$(installed_versions)" = "$expected" ] || fail "installed programs named $name: $(installed_versions | xargs)"
! msi /i "$current" || fail "the older package was installed over the newer one"
[ "$(installed_versions)" = "$expected" ] || fail "after the refusal: $(installed_versions | xargs)"

"$root/tools/install-standins.sh" "$1"
mkdir -p "$(dirname "$state_file")" && printf '[Settings]\r\nService=06553f1005\r\n' >"$state_file"
msi /x "$newer" || fail "the silent removal failed"
[ ! -e "$monitor" ] || fail "the monitor is still there"
[ -z "$(run_value)" ] || fail "the Run value is still there"
[ -f "$KESL_INSTALL_DIR/KeslWebATMAgent.exe" ] || fail "the agent went too"
[ -f "$state_file" ] || fail "the user's state file went too"
echo "package: installed, started, upgraded, downgrade refused, removed"
