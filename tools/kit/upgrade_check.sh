#!/usr/bin/env bash
# The acceptance kit's upgrade-check package: these sources with the monitor stamped one version
# later (the version's last field one higher: its file version, its About box, and the package's
# version), so that the acceptance program can upgrade the package under test with a newer one.
#   tools/kit/upgrade_check.sh BUILD_DIR OUT_DIR
# BUILD_DIR is a Windows build folder (build/win32, or the x86-64 twin's for tests only), whose
# upgrade-check/ holds that monitor (the CMake target monitor_upgrade_check). The package is
# OUT_DIR/KeslWebATMMonitor-VERSION-UPGRADE-CHECK-NOT-FOR-RELEASE.msi, and its path is printed.
# It is never signed, even when a signing key is configured, and never written under
# build/package: nobody is to ship it. Like the package, it is the same bytes from the same commit.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "$1/upgrade-check" && pwd)"
mkdir -p "$2"
out="$(cd "$2" && pwd)"

field() { sed -n "s/^#define KESL_VERSION_$1 \([0-9][0-9]*\)\$/\1/p" "$root/res/version.h"; }
next_build=$(($(field BUILD) + 1))
version="$(field MAJOR).$(field MINOR).$(field PATCH).$next_build"

# The version the monitor carries, read back: a version.h that no longer takes the override would
# otherwise make an "upgrade" that is the same version.
monitor="$build/KeslWebATMMonitor.exe"
fixed="$(wrestool -x --raw -t 16 -n 1 "$monitor" | od -An -tu2 -j48 -N8 | xargs)"
about="$(wrestool -x --raw -t 5 "$monitor" | iconv -f UTF-16LE -t UTF-8 | grep -ao '[0-9.]* (001)' || true)"
IFS=. read -r major minor patch _ <<<"$version"
if [ "$fixed" != "$minor $major $next_build $patch" ] || [ "$about" != "$version (001)" ]; then
  echo "upgrade_check.sh: the monitor in $build is not stamped $version (file version: $fixed; About: $about)" >&2
  exit 1
fi

# Signing is for what ships: without any KESL_SIGN_ variable package.sh builds the package unsigned
# (and would say that no key is configured, which here is not the point).
for variable in $(compgen -e KESL_SIGN_ || true); do unset "$variable"; done
stage="$out/.package"
rm -rf "$stage"
msi="$("$root/tools/package/package.sh" "$build" "$stage" "$version" 2> >(grep -v '^package.sh: no signing key' >&2))"
upgrade_check="$out/KeslWebATMMonitor-$version-UPGRADE-CHECK-NOT-FOR-RELEASE.msi"
mv "$msi" "$upgrade_check"
rm -rf "$stage"
echo "$upgrade_check"
