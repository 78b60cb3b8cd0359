#!/usr/bin/env bash
# What signing, and make verify-package from a tree made by git archive, must do and refuse, without
# Wine, with a throwaway token or PKCS#12 file and a time-stamping server here. Argument: the build folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)" root="$(cd "$(dirname "$0")/../.." && pwd)" build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'set +e; jobs -p | xargs -r kill; rm -rf "$work"' EXIT
export KESL_CYCLONEDX="$root/build/cyclonedx"  # one validator for this tree and the archive's
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_until() { for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done; return 1; }  # 20 s at most
package() { "$root/tools/package/package.sh" "$build" "$@"; }
unsigned() { (unset "${!KESL_SIGN_@}" && "$@"); }
source "$here/throwaway_signer.sh"
# The signer names a CRL's location, as public ones do (nothing answers there); no osslsigncode or openssl may see its PIN.
make_signer "$work/s" crlDistributionPoints=URI:http://127.0.0.1:9/ca.crl
cd "$work/s"
openssl pkcs12 -export -legacy -in signer.pem -inkey signer.key -out legacy.p12 -passout file:pin
mkdir bin && for tool in osslsigncode openssl; do printf '#!/bin/sh\ncase "$*" in *%s*) echo "%s: the PIN in its arguments"; exit 99 ;; esac\nexec %s "$@"\n' \
  "$(cat pin)" $tool "$(command -v $tool)" >bin/$tool && chmod +x bin/$tool; done && PATH="$PWD/bin:$PATH"

# A time-stamping server: /good answers, /corrupt with its signature's last byte changed, /silent never.
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout tsa.key -subj /CN=Stamps 2>/dev/null |
  openssl x509 -req -CA ca.pem -CAkey ca.key -out tsa.pem -extfile <(echo extendedKeyUsage=critical,timeStamping) 2>/dev/null
printf '[tsa]\ndefault_tsa = tsa\nserial = serial\nsigner_cert = tsa.pem\nsigner_key = tsa.key\ncerts = ca.pem\n%s\n' \
  'default_policy = 1.2' 'digests = sha256' 'signer_digest = sha256' >tsa.cnf && echo 01 >serial
python3 -c '
import http.server, subprocess
class Server(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        if self.path == "/silent": return self.rfile.read()
        reply = subprocess.run("openssl ts -reply -config tsa.cnf -queryfile /dev/stdin".split(),
                               input=self.rfile.read(int(self.headers["Content-Length"])), capture_output=True).stdout
        self.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: application/timestamp-reply\r\n\r\n" + reply[:-1]
                         + bytes([reply[-1] ^ (self.path == "/corrupt")]))
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Server)
open("port", "w").write(str(server.server_port))
server.serve_forever()' 2>/dev/null &
wait_until test -s port && tsa="http://127.0.0.1:$(cat port)" || fail "the time-stamping server did not start"
# The authority's CRL that revokes the signer.
printf '[ca]\ndefault_ca = ca\ndatabase = index\ndefault_md = sha256\ndefault_crl_days = 2\n' >ca.cnf && touch index
crl() { openssl ca -config ca.cnf -keyfile ca.key -cert ca.pem "$@" 2>/dev/null; }
crl -revoke signer.pem && crl -gencrl -out revoked.crl

# Half a configuration is one line and no package.
for half in "KESL_SIGN_CERTS=chain.pem KESL_SIGN_PIN_FILE=pin" KESL_SIGN_PASSWORD_FILE=pin KESL_SIGN_TIMESTAMP_URL=$tsa; do
  ! unsigned env $half "$root/tools/package/package.sh" "$build" half 2>refused && ! ls half/*.msi 2>/dev/null &&
    [ "$(wc -l <refused)" = 1 ] && grep -q '^package.sh: cannot sign: ' refused || fail "from $half: $(cat refused)"
done
# Signed and time-stamped: package and buildinfo in SHA256SUMS; then no time stamp and a wrong PIN: neither.
cp "$(KESL_SIGN_TIMESTAMP_URL=$tsa/good package out)" signed.msi
(cd out && sha256sum --quiet -c SHA256SUMS && [ "$(wc -l <SHA256SUMS)" = 4 ]) || fail "SHA256SUMS: $(cat out/SHA256SUMS)"
# Its bill of materials and notices describe it; each fault planted in a copy is named.
mkdir programs && cp "$build/KeslWebATMMonitor.exe" programs/ && msiinfo extract signed.msi Binary.MonitorHandover >programs/KeslMonitorHandover.dll
msiextract -C given signed.msi >/dev/null && cp "$(find given -name KeslWebATMMonitor.exe)" programs/
cp -r "$build/maps" maps && cp out/*.cdx.json signed.msi.cdx.json && cp out/*-NOTICES.txt notices
inventory() { "$root/tools/package/inventory.py" check bom.json notices signed.msi programs maps | head -n1; }
gcc="$(dpkg-query -W -f='${Version}' gcc-mingw-w64-i686-posix)" crt="$(dpkg-query -W -f='${Version}' mingw-w64-i686-dev)"
while IFS='|' read -r change expected; do
  python3 -c "import json, sys; b = json.load(open('signed.msi.cdx.json')); $change; json.dump(b, open('bom.json', 'w'))"
  [ "$(inventory)" = "$expected" ] || fail "a bill of materials with $change: $(inventory)"
done <<CASES
pass|
b['components'] = [c for c in b['components'] if c['name'] != 'KeslMonitorHandover.dll']|bom.json: KeslMonitorHandover.dll is not a component
b['components'][3]['version'] = '0'|bom.json: libssp@$gcc: gcc-mingw-w64-i686-posix is $gcc here
b['components'][0]['hashes'][0]['content'] = '0' * 64|bom.json: KeslWebATMMonitor.exe's hashes are not those of its bytes
b['components'][4]['licenses'][0]['expression'] = 'MIT'|bom.json: mingw-w64-crt@$crt: no notice for MIT in notices
open('maps/handover.map', 'a').write('Archive member included\n/usr/i686-w64-mingw32/lib/libpthread.a(thread.o)\n')|bom.json: KeslMonitorHandover.dll contains winpthreads $crt (mingw-w64-i686-dev), which the bill of materials does not name
CASES
python3 -c "import json; b = json.load(open('signed.msi.cdx.json')); b['metadata']['component']['hashes'][0]['content'] = '0' * 64
json.dump(b, open('described.msi.cdx.json', 'w'))" && cp signed.msi described.msi
! KESL_SIGN_PIN_FILE=ca.pem package out 2>refused && ! ls out/*.msi 2>/dev/null && [ ! -s out/SHA256SUMS ] || fail "a wrong PIN"
[ "$(sed 's/, on .*//' refused)" = "package.sh: no time stamp (KESL_SIGN_TIMESTAMP_URL): the signatures end with the certificate
package.sh: cannot sign: KeslWebATMMonitor.exe: wrong PIN in ca.pem" ] || fail "after a wrong PIN: $(cat refused)"
# A legacy PKCS#12 file is read; a time stamp whose signature does not verify is refused.
! unsigned env KESL_SIGN_PKCS12=legacy.p12 KESL_SIGN_PASSWORD_FILE=pin KESL_SIGN_TIMESTAMP_URL=$tsa/corrupt \
  "$root/tools/package/package.sh" "$build" corrupt 2>refused && [ "$(cat refused)" = \
  "package.sh: cannot sign: KeslWebATMMonitor.exe: the time stamp from $tsa/corrupt does not verify" ] ||
  fail "a time stamp that does not verify: $(cat refused)"
# Interrupted while the server is silent, package.sh leaves no osslsigncode behind.
KESL_SIGN_TIMESTAMP_URL=$tsa/silent "$root/tools/package/package.sh" "$build" silent 2>/dev/null &
wait_until pgrep -f "sign .*$PWD/silent/" >/dev/null && kill $! && ! wait $! && ! pgrep -f "sign .*$PWD/silent/" ||
  fail "osslsigncode outlived package.sh"

# Unsigned: REBOOT=ReallySuppress, no hash for a versioned file; so signed by halves, with SHA-1, a table changed.
cp "$(unsigned package bare 2>/dev/null)" unsigned.msi
# grep reads the whole table: with -q it can end msiinfo mid-table, which pipefail counts as a failure.
[ "$(msiinfo export unsigned.msi Property | grep -cE $'^(REBOOT\tReallySuppress|MSIRESTARTMANAGERCONTROL\tDisable)\r$')" = 2 ] &&
  [ -z "$(msiinfo export unsigned.msi MsiFileHash | sed 1,3d)" ] ||
  fail "no REBOOT=ReallySuppress or MSIRESTARTMANAGERCONTROL=Disable, or a file hash"
# What the ICEs read: a rule in _Validation for each column (ICE03), the monitor's short name (ICE03),
# the KESL folder in CreateFolder as its component's key path (ICE18).
for t in $(msiinfo tables unsigned.msi | grep -v '^_'); do msiinfo export unsigned.msi $t | sed -n '1s/\r$//p' | tr '\t' '\n' | sed "s/^/$t\t/"; done | sort >columns
[ "$(msiinfo export unsigned.msi _Validation | tr -d '\r' | sed 1,3d | cut -f1,2 | sort)" = "$(cat columns)" ] &&
  [ "$(msiinfo export unsigned.msi File | grep -c $'\tKESLMON.EXE|KeslWebATMMonitor.exe\t')" = 1 ] &&
  [ "$(msiinfo export unsigned.msi CreateFolder | grep -c $'^KeslFolder\tKeslFolder\r$')" = 1 ] || fail "a column without its rule in _Validation, no short name, or no CreateFolder for KESL"
# How the monitors are closed and started again, as far as Wine (one user, no UAC) cannot show it:
# the hand-over (a DLL of the Binary table, 1, its entry Handover) in the script (1024) as
# LocalSystem (2048), never as a commit action (512), which rollback's being disabled would skip,
# each given its command by a property action (51) before it: its rollback start (256) before its
# close, both before RemoveExistingProducts, on a repair too; its start once the files are in
# place; a removal's end, not the older product's. The monitor started from its file (18) and not
# waited for (192) after InstallFinalize, on an interactive first install alone.
for table in CustomAction InstallExecuteSequence; do msiinfo export unsigned.msi $table | tr -d '\r' | sed 1,3d >$table; done
wrong="$(awk -F'\t' 'NR == FNR { type[$1] = $2; source[$1] = $3; target[$1] = $4
    if ($2 == 51) { setter[$3] = $1; command[$3] = $4 }
    next }
  { at[$1] = $3; condition[$1] = $2 }
  function bit(value, b) { return int(value / b) % 2 }
  function handover(a, verb, rollback) {
    return type[a] % 64 == 1 && bit(type[a], 1024) && bit(type[a], 2048) && !bit(type[a], 512) &&
      bit(type[a], 256) == rollback && source[a] == "MonitorHandover" && target[a] == "Handover" &&
      command[a] == verb " \"[INSTALLFOLDER]KeslWebATMMonitor.exe\"" && at[setter[a]] > at["CostFinalize"] &&
      at[setter[a]] < at[a]
  }
  END {
    for (a in at) {
      touches = condition[a] == "NOT Installed OR REINSTALL"
      if (touches && handover(a, "start", 1)) rolled = at[a]
      if (touches && handover(a, "close", 0)) closed = at[a]
      if (touches && handover(a, "start", 0)) started_again = at[a]
      if (condition[a] == "REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE" && handover(a, "end", 0)) ended = at[a]
      if (type[a] % 64 == 18 && source[a] == "MonitorProgram" && bit(type[a], 64) && bit(type[a], 128) &&
          at[a] > at["InstallFinalize"] &&
          condition[a] == "UILevel > 2 AND UserSID <> \"S-1-5-18\" AND NOT Installed AND NOT WIX_UPGRADE_DETECTED") started = 1
    }
    if (!(at["InstallInitialize"] < rolled && rolled < closed && closed < at["InstallExecute"] && ended &&
          ended < at["InstallExecute"] && at["InstallExecute"] < at["RemoveExistingProducts"]))
      print "the monitors are not closed by the hand-over in the script, after its rollback start, before RemoveExistingProducts"
    if (!(at["InstallFiles"] < started_again && started_again < at["InstallFinalize"])) print "the monitors are not started again once the files are in place"
    if (!started) print "no start of the monitor after InstallFinalize on an interactive first install alone, not as LocalSystem"
  }' CustomAction InstallExecuteSequence)"
[ -z "$wrong" ] || fail "$wrong"
sign() { osslsigncode sign -pkcs12 legacy.p12 -readpass pin -h "$1" -in "$2" -out "$3" >/dev/null; }
sign sha256 unsigned.msi half.msi
osslsigncode remove-signature -in signed.msi -out stripped.msi >/dev/null && sign sha1 stripped.msi sha1.msi
# Signed as it should be, then given a time stamp whose own signature does not verify: the package's
# signature still does.
sign sha256 stripped.msi unstamped.msi && osslsigncode add -ts "$tsa/corrupt" -in unstamped.msi -out stamped-wrong.msi >/dev/null
cp unsigned.msi tampered.msi && msibuild tampered.msi -q "DELETE FROM \`Property\` WHERE \`Property\` = 'ARPNOMODIFY'"
# A monitor changed in .text and so in its PE checksum, with a buildinfo that names another binutils.
flip() { printf "\\$(printf %o $(($(od -An -tu1 -j "$2" -N1 "$1") ^ 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null; }
mkdir folder.msi changed && cp -r "$build/"{KeslWebATMMonitor.exe,KeslMonitorHandover.dll,source_date_epoch,maps,icons} changed/
at=$((16#$(i686-w64-mingw32-objdump -h changed/KeslWebATMMonitor.exe | awk '$2 == ".text" { print $6 }') + 64))
flip changed/KeslWebATMMonitor.exe $at && flip changed/KeslWebATMMonitor.exe $(($(od -An -tu4 -j60 -N4 "$build/KeslWebATMMonitor.exe") + 88))
changed="$(unsigned "$root/tools/package/package.sh" changed changed 2>/dev/null)"
binutils="$(dpkg-query -W -f='${Version}' binutils-mingw-w64-i686)" && sed -i 's/^ binutils-mingw-w64-i686 (= /&0/' changed/*.buildinfo

# Verification runs from git archive of the work tree as if committed at the build's time.
commit="$(cd "$root" && GIT_COMMITTER_DATE="$(cat "$build/source_date_epoch") +0000" git stash create)"
commit="$(git -C "$root" rev-parse "${commit:-HEAD}")" && mkdir archive && git -C "$root" archive "$commit" | tar -x -C archive
verify() { KESL_VERIFY_REBUILD="$PWD/rebuild" archive/tools/package/verify.sh "$@"; }
signed="signed by /CN=Kesl Test Signer, both programs too; SHA-256, verified against ca.pem"
while IFS='|' read -r arguments expected; do
  [ "$(verify $arguments)" = "$expected" ] || fail "verify $arguments: $(verify $arguments)"
done <<CASES
-c none.pem signed.msi|FAIL: signed.msi: the CA file none.pem cannot be read or holds no certificate
folder.msi|FAIL: folder.msi: a folder, not a package
-c ca.pem unsigned.msi|FAIL: unsigned.msi: unsigned, though a CA file was given: every signature is required
half.msi|FAIL: half.msi: signed by halves: signed: the package; unsigned: KeslWebATMMonitor.exe, KeslMonitorHandover.dll
-c ca.pem sha1.msi|FAIL: sha1.msi: the package is signed with SHA1, not SHA-256
-c ca.pem stamped-wrong.msi|FAIL: stamped-wrong.msi: the time stamp of the package does not verify against ca.pem
-c ca.pem -r revoked.crl signed.msi|FAIL: signed.msi: the signature of KeslWebATMMonitor.exe does not verify against ca.pem: certificate revoked
-c ca.pem signed.msi|PASS: signed.msi is commit $commit, byte for byte; $signed; revocation not checked; signed.msi.cdx.json describes it
-c ca.pem described.msi|FAIL: described.msi: described.msi.cdx.json: the package's hashes are not those of described.msi
tampered.msi|FAIL: tampered.msi: differs from this commit's package in table Property
$changed|FAIL: ${changed##*/}: KeslWebATMMonitor.exe differs from this commit's build at byte $at (section .text); it was built with binutils-mingw-w64-i686 0$binutils, this host has $binutils
CASES
odd="it's \`touch ran\` \$H.msi"
[ "$(make --no-print-directory -C archive verify-package MSI="$PWD/$odd" 2>&1 | head -n1)" = "FAIL: $odd: no such file" ] &&
  [ ! -e archive/ran ] || fail "make verify-package MSI='$PWD/$odd'"
! SOURCE_DATE_EPOCH=soon cmake -S archive -B rebuild &>cmake.log && grep -q 'SOURCE_DATE_EPOCH is not a number' cmake.log ||
  fail "SOURCE_DATE_EPOCH=soon: $(cat cmake.log)"
