#!/usr/bin/env bash
# The Windows half of make test: the 32-bit build that ships, under Wine where the host runs 32-bit
# programs (elsewhere only its files' own checks), and on every host the x86-64 twin, as a host
# without 32-bit programs runs it (tools/wine/no-32bit.sh). Ends with which builds the tests ran on
# and every step a test could not take here.
set -uo pipefail
source "$(dirname "$0")/../wine/env.sh"
rm -f "$KESL_SKIPPED_STEPS"
status=0
# The twin's tests run meanwhile, in a prefix and on a display of their own; said when they end.
twin_log="$root/build/win64/windows-tests.log"
KESL_WINDOWS_BUILD=win64 "$root/tools/wine/no-32bit.sh" ctest --test-dir "$root/build/win64" --output-on-failure \
  </dev/null >"$twin_log" 2>&1 &
twin=$!
if [ "$KESL_HOST_RUNS_32BIT" = yes ]; then
  echo "== Windows tests under Wine, on the 32-bit build that ships (build/win32)"
  ctest --test-dir "$root/build/win32" --output-on-failure || status=1
  ran="the 32-bit build that ships (build/win32), and its x86-64 twin (build/win64, 64-bit Wine)"
else
  echo "== the shipped 32-bit files (build/win32)"
  ctest --test-dir "$root/build/win32" --output-on-failure -LE wine || status=1
  ran="the x86-64 twin (build/win64, 64-bit Wine), since $KESL_NO_32BIT_REASON${KESL_TWIN:+ (KESL_TWIN is set)}; the shipped files' own checks on build/win32"
fi
echo "== Windows tests under 64-bit Wine, on the x86-64 twin (build/win64), as on a host without 32-bit programs"
wait $twin || status=1
cat "$twin_log"
echo "== The Windows tests ran on $ran."
if [ -s "$KESL_SKIPPED_STEPS" ]; then
  echo "== Skipped here, $(wc -l <"$KESL_SKIPPED_STEPS") steps:"
  sed 's/^/   /' "$KESL_SKIPPED_STEPS"
else
  echo "== Nothing was skipped."
fi
exit $status
