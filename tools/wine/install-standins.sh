#!/usr/bin/env bash
# Installs the stand-in agent and terminate program where the monitor looks for them:
# C:\Program Files (x86)\KESL\WebATM\ of the project's Wine prefix
# (C:\Program Files\KESL\WebATM\ for the x86-64 twin, which looks there).
set -euo pipefail
source "$(dirname "$0")/env.sh"
build="${1:-$KESL_BUILD_DIR}"
mkdir -p "$KESL_INSTALL_DIR"
cp "$build/KeslWebATMAgent.exe" "$build/KeslTerminateService.exe" "$KESL_INSTALL_DIR/"
