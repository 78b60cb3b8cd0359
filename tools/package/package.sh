#!/usr/bin/env bash
# Builds the monitor's Windows Installer package from package/KeslWebATMMonitor.wxs with wixl:
#   tools/package.sh BUILD_DIR OUT_DIR [VERSION]
# VERSION has the program's four fields and defaults to res/version.h's; the package is
# OUT_DIR/KeslWebATMMonitor-VERSION.msi, and its path is printed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
out="$2"

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

mkdir -p "$out"
msi="$(cd "$out" && pwd)/KeslWebATMMonitor-$version.msi"
# wixl and msibuild store the database's strings in the code page of the locale WINDOWS_LANGUAGE
# names, and fail on Chinese text in any other. wixl 0.101 does not mark the database with that
# code page, writes the summary's strings in UTF-8 under code page 950, and sets neither the
# summary's languages nor a file's version: msibuild mends all of it afterwards.
export WINDOWS_LANGUAGE=zh_TW
# wixl takes no absolute Source path: it runs in the build folder and finds the program there.
(cd "$build" && wixl --arch x86 -D PackageVersion="$package_version" -D ProductCode="$product_code" \
  -D MonitorProgram=KeslWebATMMonitor.exe -o "$msi" "$root/package/KeslWebATMMonitor.wxs")
codepage="$(mktemp -d)"
trap 'rm -rf "$codepage"' EXIT
property() { msiinfo export "$msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"; }
big5() { printf '%s' "$1" | iconv -f UTF-8 -t CP950; }
printf '\n\n950\t_ForceCodepage\n' >"$codepage/_ForceCodepage.idt"
msibuild "$msi" -i "$codepage/_ForceCodepage.idt" \
  -q "UPDATE \`File\` SET \`Version\` = '$version', \`Language\` = '1028' WHERE \`File\` = 'MonitorProgram'" \
  -s "$(big5 "$(property ProductName)")" "$(big5 "$(property Manufacturer)")" "Intel;$(property ProductLanguage)"
echo "$msi"
