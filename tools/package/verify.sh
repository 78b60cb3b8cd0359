#!/usr/bin/env bash
# Shows whether a package holds exactly what this checkout builds, and checks its signatures:
#   tools/package/verify.sh [-c CA_FILE] [-r CRL_FILE] MSI
# The arguments are checked first, then the signatures: the monitor's, the hand-over library's and
# the package's, all or none (all when CA_FILE is given), each SHA-256 and verified, with its time
# stamp, against CA_FILE or the system's certificate store. Revocation is checked against CRL_FILE
# only: nothing is fetched from the network. Then the programs and the package are built anew,
# unsigned, in a folder of their own (or in KESL_VERIFY_REBUILD, kept for the next run: the tests
# reuse one). The signatures of the given programs and package are carried over onto the
# rebuild, never made again (no key is needed), and the result must be the given package byte for byte. When it is not, the
# buildinfo beside the package, if there is one, names the first tool of another version here.
# Prints one line, PASS or FAIL; the exit status is 0 only for PASS.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/tools/package/buildinfo.sh"

authority="" crl=""
while getopts c:r: option; do
  case "$option" in c) authority="$OPTARG" ;; r) crl="$OPTARG" ;; *) exit 2 ;; esac
done
shift $((OPTIND - 1))
[ $# = 1 ] || { echo "usage: $0 [-c CA_FILE] [-r CRL_FILE] MSI" >&2; exit 2; }
name="$(basename -- "$1")"
fail() { echo "FAIL: $name: $*"; exit 1; }
[ -e "$1" ] || fail "no such file"
[ ! -d "$1" ] || fail "a folder, not a package"
[ -z "$authority" ] || grep -qs -- '-----BEGIN CERTIFICATE-----' "$authority" ||
  fail "the CA file $authority cannot be read or holds no certificate"
[ -z "$crl" ] || openssl crl -in "$crl" -noout 2>/dev/null || fail "the CRL file $crl cannot be read or holds no CRL"
given="$(realpath -- "$1")"
trust="${authority:-/etc/ssl/certs/ca-certificates.crt}"
commit="$(source_commit 2>&1)" || fail "$commit"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# osslsigncode 2.9 fetches the CRLs that the certificates name, and fails offline; 2.5 fetches
# none. Options that only 2.9 has keep it to the CRL file, or to none.
revocation=()
[ -z "$crl" ] || revocation=(-CRLfile "$crl")
if osslsigncode --help 2>&1 | grep -- -ignore-cdp >/dev/null; then  # not -q: an early exit would fail the pipeline
  if [ -n "$crl" ]; then revocation+=(-ignore-cdp); else revocation+=(-ignore-crl); fi
fi

# Writes the signature of $1 to $2 (PEM, which every osslsigncode reads back); fails when $1 has none,
# and leaves no $2 (osslsigncode 2.5 leaves an empty one).
signature_of() { osslsigncode extract-signature -pem -in "$1" -out "$2" >/dev/null 2>&1 || { rm -f "$2"; return 1; }; }
# Carries signature $1, if there is one, onto $2 in place.
carry_signature() {
  [ -f "$1" ] || return 0
  # attach-signature also checks the chain, against the system's store; that was done before.
  osslsigncode attach-signature -sigin "$1" -in "$2" -out "$2.signed" >/dev/null 2>&1 || true
  [ -f "$2.signed" ] || fail "the signature of $3 cannot be carried over"
  mv "$2.signed" "$2"
}
# Checks the signature of $1, named $2: prints its signer, or what is wrong with it and fails.
# osslsigncode's exit status stays 0 when a time stamp fails: its lines are read instead.
signer() {
  local log="$work/verify.log" digest
  osslsigncode verify -CAfile "$trust" -TSA-CAfile "$trust" "${revocation[@]}" -in "$1" >"$log" 2>&1 || true
  digest="$(sed -n 's/^Message digest algorithm *: //p' "$log" | head -n1)"
  if [ "$digest" != SHA256 ]; then echo "$2 is signed with ${digest:-an unknown digest}, not SHA-256"; return 1
  elif grep -q '^Timestamp Server Signature verification: failed' "$log"; then
    echo "the time stamp of $2 does not verify against $trust"
    return 1
  elif ! grep -q '^Signature verification: ok' "$log"; then
    echo "the signature of $2 does not verify against $trust:" \
      "$(grep -m1 -o '[Vv]erify error: .*\|Error: .*\|[A-Za-z]* *: .*MISMATCH' "$log" | sed 's/^[Vv]erify error: //' |
        grep . || echo 'see osslsigncode verify')"
    return 1
  fi
  sed -n "/^Signer's certificate:/,/Subject:/s/.*Subject: //p" "$log"
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
# Fails for a difference from the rebuild, naming the first tool that the buildinfo beside the
# package gives another version of than this host has.
differs() {
  local buildinfo="${given%.msi}.buildinfo" tool=()
  [ ! -f "$buildinfo" ] || read -r -a tool <<<"$(toolchain_difference "$buildinfo")"
  fail "$1${tool:+; it was built with ${tool[0]} ${tool[1]}, this host has ${tool[2]}}"
}

# The given package's programs: the monitor it installs, and the hand-over library it runs.
msiinfo tables "$given" >/dev/null 2>&1 || fail "not a Windows Installer package"
msiextract -C "$work/given" "$given" >/dev/null 2>&1 || fail "its cabinet monitor.cab is damaged"
given_monitor="$(find "$work/given" -name KeslWebATMMonitor.exe)"
[ -n "$given_monitor" ] || fail "no KeslWebATMMonitor.exe in it"
given_handover="$work/KeslMonitorHandover.dll"
msiinfo extract "$given" Binary.MonitorHandover >"$given_handover" 2>/dev/null && [ -s "$given_handover" ] ||
  fail "no KeslMonitorHandover.dll in it (Binary.MonitorHandover)"

# The signatures: this project never builds a package signed by halves.
signed=() unsigned=()
for part in "$given_monitor|KeslWebATMMonitor.exe|monitor" "$given_handover|KeslMonitorHandover.dll|handover" \
  "$given|the package|package"; do
  IFS='|' read -r file part_name pem <<<"$part"
  if signature_of "$file" "$work/$pem.pem"; then signed+=("$part_name"); else unsigned+=("$part_name"); fi
done
joined() { local IFS=,; echo "$*" | sed 's/,/, /g'; }
if ((${#unsigned[@]} == 0)); then
  monitor_signer="$(signer "$given_monitor" KeslWebATMMonitor.exe)" || fail "$monitor_signer"
  handover_signer="$(signer "$given_handover" KeslMonitorHandover.dll)" || fail "$handover_signer"
  package_signer="$(signer "$given" "the package")" || fail "$package_signer"
elif ((${#signed[@]} > 0)); then
  fail "signed by halves: signed: $(joined "${signed[@]}"); unsigned: $(joined "${unsigned[@]}")"
else
  [ -z "$authority" ] || fail "unsigned, though a CA file was given: every signature is required"
fi

# This checkout, built anew.
rebuild="${KESL_VERIFY_REBUILD:-$work/build}"
cmake -S "$root" -B "$rebuild" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  --no-warn-unused-cli >/dev/null
cmake --build "$rebuild" --target monitor handover -j "$(nproc)" >/dev/null
mkdir "$work/rebuilt"
cp "$rebuild/KeslWebATMMonitor.exe" "$rebuild/KeslMonitorHandover.dll" "$rebuild/source_date_epoch" "$work/rebuilt/"
mkdir "$work/rebuilt/maps" && cp "$rebuild/maps/monitor.map" "$rebuild/maps/handover.map" "$work/rebuilt/maps/"
cp -r "$rebuild/icons" "$work/rebuilt/"

# Program $1, given as $2, against its rebuild: its unsigned bytes first, to tell where it differs,
# then with its signature $3 carried over. The PE checksum differs wherever anything does, so it is
# left out of the search for where.
same_program() {
  local rebuilt="$work/rebuilt/$1" checksum at
  cp "$2" "$work/given.exe"
  osslsigncode remove-signature -in "$2" -out "$work/given.exe.unsigned" >/dev/null 2>&1 &&
    mv "$work/given.exe.unsigned" "$work/given.exe"
  if ! cmp -s "$work/given.exe" "$rebuilt"; then
    cp "$rebuilt" "$work/rebuilt.exe"
    checksum=$(($(od -An -tu4 -j60 -N4 "$rebuilt") + 88))
    for file in "$work/given.exe" "$work/rebuilt.exe"; do
      printf '\0\0\0\0' | dd of="$file" bs=1 seek=$checksum conv=notrunc 2>/dev/null
    done
    at="$(first_difference "$work/given.exe" "$work/rebuilt.exe")"
    differs "$1 differs from this commit's build at byte ${at:=$checksum} ($(pe_part "$rebuilt" "$at"))"
  fi
  carry_signature "$3" "$rebuilt" "$1"
  cmp -s "$2" "$rebuilt" || fail "the signature block of $1 is not as signing makes it"
}
same_program KeslWebATMMonitor.exe "$given_monitor" "$work/monitor.pem"
same_program KeslMonitorHandover.dll "$given_handover" "$work/handover.pem"

# The package around them, then with its signature.
(unset "${!KESL_SIGN_@}" && KESL_SBOM_UNCHECKED=1 "$root/tools/package/package.sh" "$work/rebuilt" "$work/package" \
  >/dev/null 2>&1) ||
  fail "this checkout's package could not be built"
rebuilt_package="$(echo "$work"/package/*.msi)"
carry_signature "$work/package.pem" "$rebuilt_package" "the package"
cmp -s "$given" "$rebuilt_package" || differs "differs from this commit's package in $(msi_part "$given" "$rebuilt_package")"

if ((${#signed[@]} == 0)); then signatures=unsigned
elif [ "$package_signer" = "$monitor_signer" ] && [ "$package_signer" = "$handover_signer" ]; then
  signatures="signed by $package_signer, both programs too"
else signatures="signed by $package_signer, the monitor by $monitor_signer, the hand-over by $handover_signer"
fi
# The bill of materials beside it, where there is one: valid, and of these bytes, as built here.
sbom="$given.cdx.json" described=""
if [ -f "$sbom" ]; then
  cp "$given_monitor" "$given_handover" "$work/given/"
  "$root/tools/package/validate_sbom.sh" "$sbom" 2>"$work/sbom.txt" || fail "$(cat "$work/sbom.txt")"
  "$root/tools/package/inventory.py" check "$sbom" "${given%.msi}-THIRD-PARTY-NOTICES.txt" "$given" "$work/given" \
    "$work/rebuilt/maps" >"$work/sbom.txt" || fail "$(head -n1 "$work/sbom.txt")"
  described="; ${sbom##*/} describes it"
fi
revocation="not checked"
[ -z "$crl" ] || revocation="checked against $crl"
[ "$signatures" = unsigned ] || signatures="$signatures; SHA-256, verified against $trust; revocation $revocation"
echo "PASS: $name is commit $commit, byte for byte; $signatures$described"
