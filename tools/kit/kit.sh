#!/usr/bin/env bash
# Puts the acceptance kit together, the zip that a bank's QA runs on a disposable Windows machine:
#   tools/kit/kit.sh BUILD_DIR PACKAGE_DIR UPGRADE_CHECK_DIR OUT_DIR
# From BUILD_DIR (build/win32): the acceptance program KeslAcceptance.exe, the two stand-ins and
# the build's SOURCE_DATE_EPOCH; from PACKAGE_DIR (build/package) the package that make package
# built, from UPGRADE_CHECK_DIR (upgrade_check.sh's folder) the upgrade-check package. Writes
# OUT_DIR/KeslWebATMMonitor-VERSION-acceptance.zip and OUT_DIR/SHA256SUMS, and prints the zip's
# path. The zip unpacks to one folder, KeslAcceptance, meant for C:\ (README-QA.txt):
#   KeslAcceptance/README-QA.txt          for QA, in CRLF lines
#   KeslAcceptance/KeslAcceptance.wsb     Windows Sandbox's configuration
#   KeslAcceptance/deploying.md           for desktop engineers, docs/deploying.md in CRLF lines
#   KeslAcceptance/kit/                   the acceptance program and all it installs and starts, with
#                                         the package's bill of materials and third-party notices
#   KeslAcceptance/report/                empty: where the Sandbox run writes its report
# One commit gives the same zip, byte for byte: entries in one order, every time SOURCE_DATE_EPOCH,
# fixed permissions, no extra fields; built from the same packages and programs.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$1" packages="$2" upgrade_checks="$3" out="$4"

field() { sed -n "s/^#define KESL_VERSION_$1 \([0-9][0-9]*\)\$/\1/p" "$root/res/version.h"; }
version="$(field MAJOR).$(field MINOR).$(field PATCH).$(field BUILD)"
next="$(field MAJOR).$(field MINOR).$(field PATCH).$(($(field BUILD) + 1))"
package="$packages/KeslWebATMMonitor-$version.msi"
upgrade_check="$upgrade_checks/KeslWebATMMonitor-$next-UPGRADE-CHECK-NOT-FOR-RELEASE.msi"
acceptance="$build/KeslAcceptance.exe"

missing() { echo "kit.sh: $1 is missing: $2" >&2; exit 1; }
[ -f "$acceptance" ] || missing "$acceptance" "the acceptance program is built by the CMake target acceptance (tests/acceptance/)"
[ -f "$package" ] || missing "$package" "make package builds it"
for beside in "$package.cdx.json" "${package%.msi}-THIRD-PARTY-NOTICES.txt"; do
  [ -f "$beside" ] || missing "$beside" "make package writes it beside the package"
done
[ -f "$upgrade_check" ] || missing "$upgrade_check" "tools/kit/upgrade_check.sh builds it"
for standin in KeslWebATMAgent.exe KeslTerminateService.exe; do
  [ -f "$build/$standin" ] || missing "$build/$standin" "the Windows build makes it"
done
[ -f "$build/source_date_epoch" ] || missing "$build/source_date_epoch" "configuring the Windows build writes it"
epoch="$(cat "$build/source_date_epoch")"

mkdir -p "$out"
out="$(cd "$out" && pwd)"
zip="$out/KeslWebATMMonitor-$version-acceptance.zip"
rm -f "$zip"
stage="$(mktemp -d "$out/.building.XXXXXX")"
list_kits() {
  (cd "$out" && shopt -s nullglob && set -- KeslWebATMMonitor-*-acceptance.zip &&
    if (($#)); then sha256sum -- "$@"; fi >SHA256SUMS)
}
trap 'rm -rf "$stage"; list_kits' EXIT

top="$stage/KeslAcceptance"
mkdir -p "$top/kit/standins" "$top/report"
cp "$acceptance" "$package" "$package.cdx.json" "${package%.msi}-THIRD-PARTY-NOTICES.txt" "$upgrade_check" "$top/kit/"
cp "$build/KeslWebATMAgent.exe" "$build/KeslTerminateService.exe" "$top/kit/standins/"
# Text for Windows: CRLF line ends; the README names this version's files.
sed -e "s/@VERSION@/$version/g" -e "s/@NEXT_VERSION@/$next/g" -e 's/$/\r/' "$root/tools/kit/README-QA.txt" \
  >"$top/README-QA.txt"
sed -e 's/$/\r/' "$root/tools/kit/KeslAcceptance.wsb" >"$top/KeslAcceptance.wsb"
sed -e 's/$/\r/' "$root/docs/deploying.md" >"$top/deploying.md"

find "$top" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
find "$top" -exec touch -d "@$epoch" {} +
# zip keeps local times: in UTC they are the epoch's wherever the kit is made. -X leaves out the
# extra fields (owner, access times); -D is not given, so the empty report folder has its entry.
(cd "$stage" && find KeslAcceptance | LC_ALL=C sort | TZ=UTC zip -q -X -@ "$stage/kit.zip")
mv "$stage/kit.zip" "$zip"
echo "$zip"
