#!/usr/bin/env bash
# Shows whether a package holds exactly what this checkout builds, and checks its signatures:
#   tools/package/verify.sh MSI [CA_FILE]
# The monitor and the package are built anew, unsigned, in a folder of their own. The signatures
# of the given monitor and package are carried over onto the rebuild, never made again (no key is
# needed), and the result must be the given package byte for byte. The signatures are then checked
# against CA_FILE, or the system's certificate store. Prints one line, PASS or FAIL; the exit
# status is 0 only for PASS.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
given="$(realpath "$1")"
authority="${2:-/etc/ssl/certs/ca-certificates.crt}"
name="$(basename "$given")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $name: $*"; exit 1; }
# Writes the signature of $1 to $2 (PEM, which every osslsigncode reads back); fails when $1 has none.
signature_of() { osslsigncode extract-signature -pem -in "$1" -out "$2" >/dev/null 2>&1; }
# Carries the signature of $1, if it has one, onto $2 in place.
carry_signature() {
  signature_of "$1" "$work/signature.pem" || return 0
  # attach-signature also checks the chain, against the system's store; that comes later.
  osslsigncode attach-signature -sigin "$work/signature.pem" -in "$2" -out "$2.signed" >/dev/null 2>&1 || true
  [ -f "$2.signed" ] || fail "the signature of $3 cannot be carried over"
  mv "$2.signed" "$2"
  rm "$work/signature.pem"
}
# The first byte at which two files differ, counted from 0 (cmp counts from 1, or says where the
# shorter one ends).
first_difference() {
  { cmp "$1" "$2" 2>&1 || true; } | sed -n 's/.*differ: byte \([0-9]*\).*/\1 1/p; s/.*EOF on .* after byte \([0-9]*\).*/\1 0/p' |
    awk '{ print $1 - $2 }'
}
# Where in the monitor's file offset $2 lies: a section, the headers, or past the sections.
pe_part() {
  local at=$2 part=headers name size offset
  while read -r _ name size _ _ offset _; do
    ((at >= 16#$offset)) && part="section $name" && ((at < 16#$offset + 16#$size)) && break
    ((at < 16#$offset)) && break
    part="the end of the file"
  done < <(i686-w64-mingw32-objdump -h "$1" | grep -E '^ +[0-9]+ ')
  echo "$part"
}
# The first table, stream or summary field in which two packages differ. The package code in the
# summary follows from everything else, so the summary is looked at last.
msi_part() {
  local table stream field
  for table in $(msiinfo tables "$1" | sort) $(msiinfo tables "$2" | sort); do
    cmp -s <(msiinfo export "$1" "$table" 2>&1) <(msiinfo export "$2" "$table" 2>&1) || { echo "table $table"; return; }
  done
  for stream in $(msiinfo streams "$1") $(msiinfo streams "$2"); do
    cmp -s <(msiinfo extract "$1" "$stream" 2>&1) <(msiinfo extract "$2" "$stream" 2>&1) ||
      { echo "stream $stream"; return; }
  done
  field="$(diff <(msiinfo suminfo "$1") <(msiinfo suminfo "$2") | sed -n 's/^< \([^:]*\):.*/\1/p' | head -n1)"
  echo "${field:+the summary information: }${field:-the layout of the compound file}"
}
# Checks the signature of $1 against the authority: prints its signer, or "unsigned", or what is
# wrong with it (and fails). osslsigncode's exit status stays 0 when a time stamp fails: its lines
# are read instead.
signer() {
  local log="$work/verify.log"
  signature_of "$1" "$work/any.pem" || { echo unsigned; return; }
  rm "$work/any.pem"
  osslsigncode verify -CAfile "$authority" -TSA-CAfile "$authority" -in "$1" >"$log" 2>&1 || true
  if grep -q '^Timestamp Server Signature verification: failed' "$log"; then
    echo "the time stamp of $2 does not verify against $authority"
    return 1
  elif ! grep -q '^Signature verification: ok' "$log"; then
    echo "the signature of $2 does not verify against $authority:" \
      "$(grep -m1 -o 'Error: .*\|[A-Za-z]* *: .*MISMATCH' "$log" || echo 'see osslsigncode verify')"
    return 1
  fi
  sed -n "/^Signer's certificate:/,/Subject:/s/.*Subject: //p" "$log"
}

# The given package's monitor, as the package installs it.
msiinfo tables "$given" >/dev/null 2>&1 || fail "not a Windows Installer package"
msiextract -C "$work/given" "$given" >/dev/null 2>&1 || fail "its cabinet monitor.cab is damaged"
given_monitor="$(find "$work/given" -name KeslWebATMMonitor.exe)"
[ -n "$given_monitor" ] || fail "no KeslWebATMMonitor.exe in it"

# This checkout, built anew.
commit="$(git -C "$root" rev-parse --short HEAD)"
[ -z "$(git -C "$root" status --porcelain)" ] || commit="$commit with uncommitted changes"
cmake -S "$root" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  >/dev/null
cmake --build "$work/build" --target monitor >/dev/null
rebuilt="$work/build/KeslWebATMMonitor.exe"

# The monitor: its unsigned bytes first, to tell where it differs, then with its signature.
cp "$given_monitor" "$work/monitor.exe"
osslsigncode remove-signature -in "$given_monitor" -out "$work/monitor.exe.unsigned" >/dev/null 2>&1 &&
  mv "$work/monitor.exe.unsigned" "$work/monitor.exe"
cmp -s "$work/monitor.exe" "$rebuilt" ||
  { at="$(first_difference "$work/monitor.exe" "$rebuilt")"
    fail "KeslWebATMMonitor.exe differs from this commit's build at byte $at ($(pe_part "$rebuilt" "$at"))"; }
carry_signature "$given_monitor" "$rebuilt" KeslWebATMMonitor.exe
cmp -s "$given_monitor" "$rebuilt" || fail "the signature block of KeslWebATMMonitor.exe is not as signing makes it"

# The package around it, with the same monitor, then with its signature.
(unset "${!KESL_SIGN_@}" && "$root/tools/package/package.sh" "$work/build" "$work/package" >/dev/null 2>&1) ||
  fail "this checkout's package could not be built"
rebuilt_package="$(echo "$work"/package/*.msi)"
carry_signature "$given" "$rebuilt_package" "the package"
cmp -s "$given" "$rebuilt_package" || fail "differs from this commit's package in $(msi_part "$given" "$rebuilt_package")"

monitor_signer="$(signer "$given_monitor" KeslWebATMMonitor.exe)" || fail "$monitor_signer"
package_signer="$(signer "$given" "the package")" || fail "$package_signer"
if [ "$package_signer$monitor_signer" = unsignedunsigned ]; then signed=unsigned
elif [ "$package_signer" = "$monitor_signer" ]; then signed="signed by $package_signer, the monitor too"
else signed="signed by $package_signer, the monitor by $monitor_signer"
fi
[ "$signed" = unsigned ] || signed="$signed; verified against $authority"
echo "PASS: $name is commit $commit, byte for byte; $signed"
