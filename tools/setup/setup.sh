#!/usr/bin/env bash
# Installs what the build and the tests need, and nothing when it is all present.
# Safe to run any number of times; quiet unless it has something to install.
set -euo pipefail

packages=(
  make cmake g++ googletest libgtest-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine64 wine32:i386 fonts-wine xvfb xdotool
  librsvg2-bin imagemagick icoutils
  fonts-noto-cjk python3-pefile python3-pil
  # The third-party notices read the Debian packages' copyright files with python3-debian.
  python3-debian
  wixl msitools gir1.2-libmsi-1.0 python3-gi
  osslsigncode libengine-pkcs11-openssl softhsm2 gnutls-bin
  zip
  # The x86-64 twin's compiler: make test runs the twin on every host.
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
)
# npm installs the workflows' linter (tools/workflows/lint.sh); Node.js's own packages bring it too.
command -v npm >/dev/null || packages+=(npm)

install_missing() {
  local missing=() p sudo=""
  for p; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"
