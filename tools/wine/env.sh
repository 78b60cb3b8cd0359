# Sourced by the scripts that run Wine: the project's own prefix and display, never ~/.wine, for
# the Windows build that runs here (build.sh). A script for the x86-64 twin runs as a host without
# 32-bit programs runs it: it starts itself again where the 32-bit loader cannot (no-32bit.sh).
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/tools/wine/build.sh"
if [ "$KESL_WINDOWS_BUILD" = win64 ] && [ -z "${KESL_NO_32BIT:-}" ]; then
  exec "$root/tools/wine/no-32bit.sh" bash "$0" "$@"
fi
export KESL_BUILD_DIR="$root/build/$KESL_WINDOWS_BUILD"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The programs the tests run look for the agent under the Program Files folder of their own kind.
program_files="Program Files (x86)"
if [ "$KESL_WINDOWS_BUILD" = win64 ]; then
  # The twin has a prefix of its own, made by 64-bit Wine alone. Its tools come first on PATH,
  # whatever else is there: Debian's would start the 32-bit loader.
  export WINEPREFIX="${KESL_WINEPREFIX:-$root/build/wine64}"
  export WINELOADER=/usr/lib/wine/wine64
  export PATH="$root/tools/wine/bin64:$PATH"
  program_files="Program Files"
else
  export WINEPREFIX="${KESL_WINEPREFIX:-$root/build/wine}"
fi
# The virtual display the session started, if any.
display_file="$WINEPREFIX.display"
if [ -z "${KESL_KEEP_DISPLAY:-}" ] && [ -f "$display_file" ]; then
  export DISPLAY=":$(cat "$display_file")"
fi
# Where SHGetFolderPathA(CSIDL_PROGRAM_FILES) points for the programs that run here.
export KESL_INSTALL_DIR="$WINEPREFIX/drive_c/$program_files/KESL/WebATM"
# The steps a test could not take here, one line each, listed when the tests end.
export KESL_SKIPPED_STEPS="$root/build/skipped-steps.txt"
