#!/usr/bin/env bash
# The twin's tests run as on a host without 32-bit programs: a call that reaches Wine's 32-bit
# loader, here Debian's winepath with nothing of the project's on PATH, fails and names the loader.
set -uo pipefail
source "$(dirname "$0")/../../tools/wine/env.sh"
if [[ "$KESL_NO_32BIT" == reachable* ]] || [ ! -e /usr/lib/wine/wine ]; then
  why="${KESL_NO_32BIT#reachable: }" && [ -e /usr/lib/wine/wine ] || why="Wine's 32-bit loader is not installed"
  echo "win64 wine.no-32bit: the 32-bit loader kept from the twin: skipped, $why" | tee -a "$KESL_SKIPPED_STEPS"
  exit 0
fi
# Where the host itself runs none, as here, a twin script starts once, not again and again.
script="$(mktemp)" && trap 'rm -f "$script"' EXIT && echo "source '$root/tools/wine/env.sh'; echo \$KESL_NO_32BIT" >"$script"
[ "$(env -u KESL_NO_32BIT KESL_WINDOWS_BUILD=win64 timeout 30 bash "$script")" = none ] ||
  { echo "FAIL: a twin script does not start on a host that runs no 32-bit programs"; exit 1; }
said="$(env PATH=/usr/bin:/bin winepath -w 'C:\' 2>&1)" &&
  { echo "FAIL: Debian's winepath started the 32-bit loader under the twin: $said"; exit 1; }
echo "$said"
grep -q '/usr/lib/wine/wine: Exec format error' <<<"$said"
