# Sourced by the scripts that run Wine: the project's own prefix and display, never ~/.wine.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${KESL_WINEPREFIX:-$root/build/wine}"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The virtual display the session started, if any.
display_file="$WINEPREFIX.display"
if [ -z "${KESL_KEEP_DISPLAY:-}" ] && [ -f "$display_file" ]; then
  export DISPLAY=":$(cat "$display_file")"
fi
# Where SHGetFolderPathA(CSIDL_PROGRAM_FILES) points for a 32-bit program in a 64-bit prefix.
export KESL_INSTALL_DIR="$WINEPREFIX/drive_c/Program Files (x86)/KESL/WebATM"
