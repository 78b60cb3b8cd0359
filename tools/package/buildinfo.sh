# What a package is made of, for package.sh and verify.sh (sourced, with $root the source tree).

# The Debian packages whose versions shape the package's bytes: the compiler, binutils and the
# MinGW run-time, the icons' renderers, cmake, wixl, msitools and the libraries that write the
# database and the cabinet, and osslsigncode.
buildinfo_packages=(gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix-runtime
  gcc-mingw-w64-base binutils-mingw-w64-i686 mingw-w64-i686-dev mingw-w64-common librsvg2-bin librsvg2-2
  imagemagick-6.q16 libmagickcore-6.q16-6 icoutils cmake wixl wixl-data msitools libmsi0 gir1.2-libmsi-1.0
  libgsf-1-114 libgcab-1.0-0 zlib1g libglib2.0-0 osslsigncode)

# The commit of the source tree: git's in a clone; in a tree unpacked from git archive, the one
# git archive wrote into archived-commit with its time (export-subst).
source_commit() {
  local commit
  read -r commit _ <"$root/tools/package/archived-commit"
  if [[ "$commit" != '$Format'* ]]; then echo "$commit"
  elif commit="$(git -C "$root" rev-parse HEAD 2>/dev/null)"; then
    [ -z "$(git -C "$root" status --porcelain)" ] || commit="$commit with uncommitted changes"
    echo "$commit"
  else echo "$root is neither a git clone nor a tree from git archive" >&2; return 1
  fi
}

# Writes the buildinfo of a package: VERSION EPOCH COMMIT, in the manner of Debian's.
write_buildinfo() {
  echo "Format: 1.0"
  echo "Source: KeslWebATMMonitor"
  echo "Version: $1"
  echo "Commit: $3"
  echo "Source-Date-Epoch: $2"
  echo "Installed-Build-Depends:"
  dpkg-query -W -f=' ${Package} (= ${Version}),\n' "${buildinfo_packages[@]}" 2>/dev/null | uniq | sed '$ s/,$//'
}

# The first package whose version in buildinfo $1 is not this host's: "NAME THERE HERE", HERE
# "none" when it is not installed; nothing when all agree.
toolchain_difference() {
  awk 'NR == FNR { here[$1] = $2; next } here[$1] != $2 { print $1, $2, ($1 in here ? here[$1] : "none"); exit }' \
    <(dpkg-query -W -f='${Package} ${Version}\n' "${buildinfo_packages[@]}" 2>/dev/null) \
    <(sed -n 's/^ \([^ ]*\) (= \([^)]*\)).*/\1 \2/p' "$1")
}
