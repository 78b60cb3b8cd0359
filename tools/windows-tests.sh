#!/usr/bin/env bash
# The Windows half of make test, on the build windows-build.sh picks, ending with which build the
# tests ran on and every step a test could not take here.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
rm -f "$KESL_SKIPPED_STEPS"
status=0
if [ "$KESL_WINDOWS_BUILD" = win64 ]; then
  echo "== the shipped 32-bit files (build/win32)"
  ctest --test-dir "$root/build/win32" --output-on-failure -LE wine || status=1
  echo "== Windows tests under 64-bit Wine, on the x86-64 twin (build/win64)"
  ctest --test-dir "$root/build/win64" --output-on-failure || status=1
  ran="the x86-64 twin (build/win64, 64-bit Wine), since $KESL_TWIN_REASON; the shipped files' own checks on build/win32"
else
  echo "== Windows tests (under Wine)"
  ctest --test-dir "$root/build/win32" --output-on-failure || status=1
  ran="the 32-bit build that ships (build/win32)"
fi
echo "== The Windows tests ran on $ran."
if [ -s "$KESL_SKIPPED_STEPS" ]; then
  echo "== Skipped here, $(wc -l <"$KESL_SKIPPED_STEPS") steps:"
  sed 's/^/   /' "$KESL_SKIPPED_STEPS"
else
  echo "== Nothing was skipped."
fi
exit $status
