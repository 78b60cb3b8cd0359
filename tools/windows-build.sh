#!/usr/bin/env bash
# Which Windows build the tests, `make run` and `make bench` drive under Wine:
#   win32  the 32-bit build that ships, where the host runs 32-bit programs;
#   win64  its x86-64 twin, under 64-bit Wine, where it does not (some kernels switch 32-bit
#          programs off; sandboxes and WSL 1 have none), or when KESL_TWIN=1 asks for it.
# Sourced, it sets KESL_WINDOWS_BUILD (unless already set) and KESL_TWIN_REASON; run, it prints
# the build's name, or with --say one line for people when it is the twin.
loader=/usr/lib/wine/wine  # Wine's 32-bit loader, which the wine command always tries first

if [ -n "${KESL_WINDOWS_BUILD:-}" ]; then
  KESL_TWIN_REASON="KESL_WINDOWS_BUILD is $KESL_WINDOWS_BUILD"  # as each build's tests are told
else
  KESL_WINDOWS_BUILD=win64
  if [ -n "${KESL_TWIN:-}" ] && [ "$KESL_TWIN" != 0 ]; then
    KESL_TWIN_REASON="KESL_TWIN is set"
  elif [ ! -e "$loader" ]; then
    KESL_TWIN_REASON="Wine's 32-bit loader $loader is not installed"
  else
    # Running it is the only real check: uname, the kernel's configuration and binfmt_misc each
    # tell only part of the story.
    if error="$("$loader" --version 2>&1 >/dev/null)"; then
      KESL_WINDOWS_BUILD=win32 KESL_TWIN_REASON=""
    else
      error="$(tail -n1 <<<"$error")"
      KESL_TWIN_REASON="this host runs no 32-bit programs ($loader: ${error##*: })"
    fi
  fi
fi
export KESL_WINDOWS_BUILD

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  if [ "${1:-}" != --say ]; then echo "$KESL_WINDOWS_BUILD"
  elif [ "$KESL_WINDOWS_BUILD" = win64 ]; then
    echo "Windows build: the x86-64 twin (build/win64, under 64-bit Wine), since $KESL_TWIN_REASON"
  fi
fi
