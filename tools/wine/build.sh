#!/usr/bin/env bash
# Which Windows build runs under Wine here:
#   win32  the 32-bit build that ships, where the host runs 32-bit programs;
#   win64  its x86-64 twin, under 64-bit Wine, where it does not (some kernels switch 32-bit
#          programs off; sandboxes and WSL 1 have none), or when KESL_TWIN=1 asks for it.
# make test runs the twin on every host, as a host without 32-bit programs runs it (no-32bit.sh),
# and the 32-bit build too where the host can run it; make run and make bench drive one of them.
# Sourced, it sets KESL_WINDOWS_BUILD (unless already set), KESL_HOST_RUNS_32BIT (yes or no) and
# KESL_TWIN_REASON; run, it prints the driven build's name, or with --say one line for people.
loader=/usr/lib/wine/wine  # Wine's 32-bit loader, which Debian's wine command tries first

if [ ! -e "$loader" ]; then
  KESL_HOST_RUNS_32BIT=no KESL_NO_32BIT_REASON="Wine's 32-bit loader $loader is not installed"
# Running it is the only real check: uname, the kernel's configuration and binfmt_misc each tell
# only part of the story.
elif error="$("$loader" --version 2>&1 >/dev/null)"; then
  KESL_HOST_RUNS_32BIT=yes KESL_NO_32BIT_REASON=""
else
  error="$(tail -n1 <<<"$error")"
  KESL_HOST_RUNS_32BIT=no KESL_NO_32BIT_REASON="this host runs no 32-bit programs ($loader: ${error##*: })"
fi
if [ -n "${KESL_WINDOWS_BUILD:-}" ]; then
  KESL_TWIN_REASON="KESL_WINDOWS_BUILD is $KESL_WINDOWS_BUILD"  # as each build's tests are told
elif [ "$KESL_HOST_RUNS_32BIT" = no ]; then
  KESL_WINDOWS_BUILD=win64 KESL_TWIN_REASON="$KESL_NO_32BIT_REASON"
elif [ -n "${KESL_TWIN:-}" ] && [ "$KESL_TWIN" != 0 ]; then
  KESL_WINDOWS_BUILD=win64 KESL_TWIN_REASON="KESL_TWIN is set"
else
  KESL_WINDOWS_BUILD=win32 KESL_TWIN_REASON=""
fi
export KESL_WINDOWS_BUILD KESL_HOST_RUNS_32BIT

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  if [ "${1:-}" != --say ]; then
    echo "$KESL_WINDOWS_BUILD"
  else
    # Whether the twin's runs here are faithful: where the host runs 32-bit programs, only a private
    # mount namespace keeps them from reaching the 32-bit loader.
    faithful=""
    [ "$KESL_HOST_RUNS_32BIT" = no ] || faithful="; $(bash "$(dirname "${BASH_SOURCE[0]}")/no-32bit.sh" --say)"
    if [ "$KESL_WINDOWS_BUILD" = win64 ]; then
      echo "Windows build: the x86-64 twin (build/win64, under 64-bit Wine), since $KESL_TWIN_REASON$faithful"
    else
      echo "Windows builds: the 32-bit build that ships (build/win32), and for make test its x86-64 twin (build/win64, under 64-bit Wine)$faithful"
    fi
  fi
fi
