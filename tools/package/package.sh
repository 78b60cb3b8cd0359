#!/usr/bin/env bash
# Builds the monitor's Windows Installer package from package/KeslWebATMMonitor.wxs with wixl:
#   tools/package/package.sh BUILD_DIR OUT_DIR [VERSION]
# VERSION has the program's four fields and defaults to res/version.h's; the package is
# OUT_DIR/KeslWebATMMonitor-VERSION.msi, its path is printed; beside it, the buildinfo
# (KeslWebATMMonitor-VERSION.buildinfo: the commit, the time and the toolchain's versions), the
# bill of materials (KeslWebATMMonitor-VERSION.msi.cdx.json, CycloneDX 1.6), the third-party
# notices (KeslWebATMMonitor-VERSION-THIRD-PARTY-NOTICES.txt), and SHA256SUMS, which lists them all. With a signing key configured
# (signing.sh), the monitor and the hand-over library are signed before they go into the package,
# then the package. One commit always builds the same bytes: every time in the package is the
# build folder's SOURCE_DATE_EPOCH, the commit's time.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "$1" && pwd)"
out="$2"
source "$root/tools/package/signing.sh"
source "$root/tools/package/buildinfo.sh"

field() { sed -n "s/^#define KESL_VERSION_$1 \([0-9][0-9]*\)\$/\1/p" "$root/res/version.h"; }
version="${3:-$(field MAJOR).$(field MINOR).$(field PATCH).$(field BUILD)}"
IFS=. read -r major minor patch build_number <<<"$version"

# Windows Installer reads only three fields of a product version, each at most 255.255.65535,
# and sees two packages that differ in the fourth alone as the same version. The third field
# therefore carries the program's third and fourth: 1.0.0.7 is 1.0.7, 1.0.1.0 is 1.0.1000.
if ((major > 255 || minor > 255 || patch > 64 || build_number > 999)); then
  echo "package.sh: $version does not fit a package version (at most 255.255.64.999)" >&2
  exit 1
fi
package_version="$major.$minor.$((patch * 1000 + build_number))"
# One product code for each package version: a package rebuilt with an unchanged version is the
# product already installed, never a second entry beside it.
product_code="$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL, sys.argv[1])).upper())' \
  "KeslWebATMMonitor.msi/$package_version")"
epoch="$(cat "$build/source_date_epoch")"
commit="$(source_commit)"

# The package appears under its name only when it is whole (and signed, when that was asked for).
mkdir -p "$out"
out="$(cd "$out" && pwd)"
msi="$out/KeslWebATMMonitor-$version.msi"
buildinfo="${msi%.msi}.buildinfo"
sbom="$msi.cdx.json"
notices="${msi%.msi}-THIRD-PARTY-NOTICES.txt"
rm -f "$msi" "$buildinfo" "$sbom" "$notices"
stage="$(mktemp -d "$out/.building.XXXXXX")"
# SHA256SUMS lists what the folder holds in the end, a package that failed no more.
list_packages() {
  (cd "$out" && shopt -s nullglob && set -- KeslWebATMMonitor-*.msi KeslWebATMMonitor-*.buildinfo \
    KeslWebATMMonitor-*.cdx.json KeslWebATMMonitor-*-THIRD-PARTY-NOTICES.txt &&
    if (($#)); then sha256sum -- "$@"; fi >SHA256SUMS)
}
trap 'signing_stop; rm -rf "$stage"; list_packages' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if signing_configured; then
  signing_prepare "$stage"
else
  echo "package.sh: no signing key configured: the package is unsigned" >&2
fi

# The monitor, and the hand-over library that the install runs: both signed, for the many banks
# that let only signed code run.
for program in KeslWebATMMonitor.exe KeslMonitorHandover.dll; do
  cp "$build/$program" "$stage/"
  if signing_configured; then sign_file "$stage/$program"; fi
  # The cabinet keeps the file's time, in local time.
  touch -d "@$epoch" "$stage/$program"
done
# The installed programs show the emblem in colour, as the build rendered it (the upgrade-check
# build, a folder of the Windows build's, uses its icons).
icon="$build/icons/running.ico"
[ -f "$icon" ] || icon="$build/../icons/running.ico"
cp "$icon" "$stage/emblem.ico"
export TZ=UTC

# wixl and msibuild store the database's strings in the code page of the locale WINDOWS_LANGUAGE
# names, and fail on Chinese text in any other. wixl 0.101 does not mark the database with that
# code page, writes the summary's strings in UTF-8 under code page 950, and sets neither the
# summary's languages nor a file's version, and gives the monitor, a versioned file, a row in
# MsiFileHash, which Windows Installer keeps for unversioned files; it writes a rollback action
# that runs from the Binary table without its script and rollback bits, the monitor's file name
# without the short name that a file name must begin with (ICE03: KESLMON.EXE, which no other file
# in the folder has or is given by Windows, whose short names have a tilde), and no _Validation
# table, which ICE validation reads for every column: msibuild mends all of it afterwards.
export WINDOWS_LANGUAGE=zh_TW
# wixl takes no absolute Source path: it runs where the monitor is staged.
(cd "$stage" && wixl --arch x86 -D PackageVersion="$package_version" -D ProductCode="$product_code" \
  -D MonitorProgram=KeslWebATMMonitor.exe -D MonitorHandover=KeslMonitorHandover.dll -D EmblemIcon=emblem.ico -o package.msi \
  "$root/package/KeslWebATMMonitor.wxs")
property() { msiinfo export "$stage/package.msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"; }
big5() { printf '%s' "$1" | iconv -f UTF-8 -t CP950; }
printf '\n\n950\t_ForceCodepage\n' >"$stage/_ForceCodepage.idt"
# The hand-over's rollback action: a DLL of the Binary table (1), its result not checked (64), in
# the install script (1024), as rollback (256), as LocalSystem (2048).
rollback=$((1 + 64 + 1024 + 256 + 2048))
msibuild "$stage/package.msi" -i "$stage/_ForceCodepage.idt" \
  -q "UPDATE \`File\` SET \`FileName\` = 'KESLMON.EXE|KeslWebATMMonitor.exe', \`Version\` = '$version', \`Language\` = '1028' WHERE \`File\` = 'MonitorProgram'" \
  -q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = 'MonitorProgram'" \
  -q "UPDATE \`CustomAction\` SET \`Type\` = $rollback WHERE \`Action\` = 'StartMonitorsAfterRollback'" \
  -s "$(big5 "$(property ProductName)")" "$(big5 "$(property Manufacturer)")" "Intel;$(property ProductLanguage)"
"$root/tools/package/validation.py" "$stage/package.msi" "$root/package/validation.tsv" >"$stage/_Validation.idt"
msibuild "$stage/package.msi" -i "$stage/_Validation.idt"
"$root/tools/package/stamp_msi.py" "$stage/package.msi" "$epoch"
if signing_configured; then sign_file "$stage/package.msi"; fi

write_buildinfo "$version" "$epoch" "$commit" >"$stage/buildinfo"
# What the programs contain, from their link maps: the notices their run-time libraries ask a
# binary copy to carry, and the bill of materials of the published bytes, signed ones included.
"$root/tools/package/inventory.py" notices "$version" "$build/maps" "$stage/notices"
SOURCE_DATE_EPOCH="$epoch" "$root/tools/package/inventory.py" sbom "$stage/package.msi" "$stage/buildinfo" "$version" \
  "$build/maps" "$stage" "$stage/sbom"
[ -n "${KESL_SBOM_UNCHECKED:-}" ] || "$root/tools/package/validate_sbom.sh" "$stage/sbom"
mv "$stage/buildinfo" "$buildinfo"
mv "$stage/notices" "$notices"
mv "$stage/sbom" "$sbom"
mv "$stage/package.msi" "$msi"
echo "$msi"
