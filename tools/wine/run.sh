#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix; the tests use it as their emulator.
source "$(dirname "$0")/env.sh"
exec wine "$@"
