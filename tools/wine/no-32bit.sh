#!/usr/bin/env bash
# Runs a command as a host that runs no 32-bit programs would: Wine's 32-bit loader fails to start
# with "Exec format error", as the kernel answers there. On a host that can run it, the loader is
# hidden in a private mount namespace (as root, or in a user namespace where the host allows
# one) behind a copy of its ELF header that names no machine, which the kernel refuses the same way.
#   no-32bit.sh COMMAND...   runs COMMAND so
#   no-32bit.sh --say        one line: whether the twin's runs here can reach the 32-bit loader
# Inside, KESL_NO_32BIT is "hidden"; on a host that runs none, "none"; where no namespace can be
# made, "reachable: WHY".
set -euo pipefail
loader=/usr/lib/wine/wine
hidden=("$loader" /usr/lib/wine/wineserver32)  # the 32-bit programs of Debian's Wine

runs_here() { [ -e "$loader" ] && "$loader" --version >/dev/null 2>&1; }

# The unshare options that make a private mount namespace here; else why there is none.
namespace_options() {
  local options why
  for options in "--mount --propagation private" "--user --map-root-user --mount --propagation private"; do
    # shellcheck disable=SC2086
    if why="$(unshare $options true 2>&1)"; then echo "$options" && return 0; fi
  done
  echo "no private mount namespace can be made here (${why##*: })"
  return 1
}

# Runs COMMAND in a new namespace where each 32-bit program's path is that refused copy.
hide() {  # unshare options, COMMAND...
  local options=$1 stub="${TMPDIR:-/tmp}/kesl-no-32bit-loader" new mounts="" p
  shift
  if [ ! -s "$stub" ]; then
    new="$(mktemp "$stub.XXXXXX")"
    head -c 64 "$loader" >"$new"
    printf '\0\0' | dd of="$new" bs=1 seek=18 conv=notrunc status=none  # e_machine: EM_NONE
    chmod 755 "$new" && mv -f "$new" "$stub"
  fi
  for p in "${hidden[@]}"; do [ -e "$p" ] && mounts+="mount --bind '$stub' '$p' && "; done
  # shellcheck disable=SC2086
  exec unshare $options sh -c "$mounts"'exec "$@"' no-32bit "$@"
}

if [ "${1:-}" = --say ]; then
  if ! runs_here; then
    echo "this host runs no 32-bit programs"
  elif ! options="$(namespace_options)"; then
    echo "the twin's 32-bit loader stays reachable: $options"
  elif (KESL_NO_32BIT=hidden hide "$options" "$loader" --version) >/dev/null 2>&1; then
    echo "the twin's 32-bit loader stays reachable: it still starts in a private mount namespace"
  else
    echo "the twin runs as on a host without 32-bit programs (Wine's 32-bit loader hidden in a private mount namespace)"
  fi
  exit 0
fi

if [ -n "${KESL_NO_32BIT:-}" ]; then exec "$@"; fi
if ! runs_here; then export KESL_NO_32BIT=none && exec "$@"; fi
if options="$(namespace_options)"; then
  export KESL_NO_32BIT=hidden
  hide "$options" "$@"
fi
export KESL_NO_32BIT="reachable: $options"
exec "$@"
