#!/usr/bin/env bash
# The acceptance kit's zip, put together by tools/kit/kit.sh from stand-in files (make test's
# acceptance run unpacks and uses the real one): no kit without the acceptance program; the same
# bytes whatever the inputs' times, the umask and the time zone; README-QA.txt and deploying.md as
# Windows reads them; a Sandbox configuration that runs the program where README-QA.txt unpacks it.
# Argument: the build folder, for its SOURCE_DATE_EPOCH.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

field() { sed -n "s/^#define KESL_VERSION_$1 \([0-9][0-9]*\)\$/\1/p" "$root/res/version.h"; }
version="$(field MAJOR).$(field MINOR).$(field PATCH).$(field BUILD)"
next="$(field MAJOR).$(field MINOR).$(field PATCH).$(($(field BUILD) + 1))"
mkdir "$work/build" "$work/packages" "$work/upgrade"
cp "$1/source_date_epoch" "$work/build/"
inputs=("$work/build/KeslWebATMAgent.exe" "$work/build/KeslTerminateService.exe"
  "$work/packages/KeslWebATMMonitor-$version.msi" "$work/packages/KeslWebATMMonitor-$version.msi.cdx.json"
  "$work/packages/KeslWebATMMonitor-$version-THIRD-PARTY-NOTICES.txt"
  "$work/upgrade/KeslWebATMMonitor-$next-UPGRADE-CHECK-NOT-FOR-RELEASE.msi")
for input in "${inputs[@]}"; do basename "$input" >"$input"; done
kit() { "$root/tools/kit/kit.sh" "$work/build" "$work/packages" "$work/upgrade" "$1"; }

message="$(kit "$work/none" 2>&1)" && fail "a kit was made without KeslAcceptance.exe"
[ "$message" = "kit.sh: $work/build/KeslAcceptance.exe is missing: the acceptance program is built by the CMake target acceptance (tests/acceptance/)" ] ||
  fail "without KeslAcceptance.exe: $message"
! ls "$work"/none/*.zip 2>/dev/null || fail "a zip was left without KeslAcceptance.exe"
echo acceptance >"$work/build/KeslAcceptance.exe"
inputs+=("$work/build/KeslAcceptance.exe")

zip="$(umask 022 && TZ=UTC kit "$work/first")"
touch -d '2001-02-03 04:05:06' "${inputs[@]}"
second="$(umask 077 && TZ=CST-8 kit "$work/second")"
cmp "$zip" "$second" || fail "two kits from the same inputs differ"
[ "$(cd "$work/first" && sha256sum -c SHA256SUMS)" = "${zip##*/}: OK" ] || fail "SHA256SUMS: $(cat "$work/first/SHA256SUMS")"

/usr/bin/python3 - "$zip" "$(cat "$1/source_date_epoch")" "$version" "$next" "$root/docs/deploying.md" <<'PYTHON'
import re, sys, time, zipfile
import xml.etree.ElementTree as ET

path, epoch, version, next_version, deploying = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
failed = []
def expect(what, actual, expected):
    if actual != expected:
        failed.append(f"{what}\n  is:        {actual}\n  should be: {expected}")

kit = zipfile.ZipFile(path)
# What kit/ holds, make test's acceptance run takes from the unpacked zip; Sandbox needs report/ too.
expect("the report's folder", "KeslAcceptance/report/" in kit.namelist(), True)
# A zip's times have two-second steps, in no time zone: the kit's are SOURCE_DATE_EPOCH's in UTC,
# an odd second rounded up, as zip does.
expect("the entries' times", {entry.date_time for entry in kit.infolist()},
       {time.gmtime((epoch + 1) & ~1)[:6]})
expect("entries with extra fields", [entry.filename for entry in kit.infolist() if entry.extra], [])

readme_bytes = kit.read("KeslAcceptance/README-QA.txt")
expect("README-QA.txt's lines that do not end in CRLF", readme_bytes.replace(b"\r\n", b"").count(b"\n"), 0)
expect("README-QA.txt's characters that are not ASCII", [c for c in readme_bytes if c > 127], [])
readme = readme_bytes.decode("ascii", "replace")
expect("README-QA.txt's names for the packages",
       [name for name in (f"KeslWebATMMonitor-{version}.msi",
                          f"KeslWebATMMonitor-{next_version}-UPGRADE-CHECK-NOT-FOR-RELEASE.msi") if name not in readme], [])
expect("README-QA.txt's placeholders left", re.findall(r"@\w+@", readme), [])
entry, crlf = "KeslAcceptance/deploying.md", open(deploying, "rb").read().replace(b"\n", b"\r\n")
expect("deploying.md is docs/deploying.md in CRLF lines", kit.read(entry) == crlf if entry in kit.namelist() else "left out", True)

# Sandbox maps absolute host folders only: they are where README-QA.txt has the zip unpacked.
unpacked_at = "C:\\"
expect("where README-QA.txt has the zip unpacked", "Unpack the zip to C:\\ " in readme, True)
config = ET.fromstring(kit.read("KeslAcceptance/KeslAcceptance.wsb"))
expect("the Sandbox configuration's root", config.tag, "Configuration")
expect("networking", config.findtext("Networking"), "Disable")
folders = {folder.findtext("ReadOnly"): folder for folder in config.findall("MappedFolders/MappedFolder")}
expect("mapped folders, read-only and writable", sorted(folders), ["false", "true"])
expect("mapped folders", len(config.findall("MappedFolders/MappedFolder")), 2)
if sorted(folders) == ["false", "true"]:
    kit_host, report_host = (folders[mode].findtext("HostFolder") for mode in ("true", "false"))
    expect("the kit's host folder", kit_host, unpacked_at + "KeslAcceptance\\kit")
    expect("the report's host folder", report_host, unpacked_at + "KeslAcceptance\\report")
    for folder in (kit_host, report_host):
        expect(f"README-QA.txt names {folder}", folder in readme, True)
    kit_folder, report_folder = (folders[mode].findtext("SandboxFolder") for mode in ("true", "false"))
    command = config.findtext("LogonCommand/Command") or ""
    expect("the logon command runs the kit's program on the mapped folders",
           f"{kit_folder}\\KeslAcceptance.exe --kit {kit_folder} --out {report_folder} " in command, True)
    expect("the logon command keeps the exit code in the report folder",
           f"!errorlevel!>{report_folder}\\exit-code.txt" in command, True)

if failed:
    print("FAIL: " + "\nFAIL: ".join(failed))
    sys.exit(1)
PYTHON
