#!/usr/bin/env bash
# Validates a CycloneDX 1.6 JSON bill of materials with the CycloneDX project's own strict JSON
# validator (npm's @cyclonedx/cyclonedx-library, with the JSON-schema packages it validates with),
# installed once at pinned versions, without its XML side, into build/cyclonedx (or KESL_CYCLONEDX, where the tests share
# one): 7.1.0 is the newest that still runs on Debian 12's Node.js 18. Prints what the validator
# says and fails when it says anything.
#   tools/package/validate_sbom.sh FILE
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
prefix="${KESL_CYCLONEDX:-$root/build/cyclonedx}"
modules=(@cyclonedx/cyclonedx-library@7.1.0 ajv@8.17.1 ajv-formats@3.0.1 ajv-formats-draft2019@1.6.1)
# Packages of both Windows builds and the signing test are made at once: one installs, the others
# wait for it.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ "$(cat "$prefix/installed" 2>/dev/null)" != "${modules[*]}" ]; then
  rm -rf "$prefix" && mkdir -p "$prefix"
  npm install --prefix "$prefix" --no-save --no-audit --no-fund --omit=optional --loglevel=error "${modules[@]}" >/dev/null
  echo "${modules[*]}" >"$prefix/installed"
fi
flock -u 9
NODE_PATH="$prefix/node_modules" node -e '
const cdx = require("@cyclonedx/cyclonedx-library");
const text = require("fs").readFileSync(process.argv[1], "utf8");
new cdx.Validation.JsonStrictValidator("1.6").validate(text).then((errors) => {
  if (errors) { console.error(process.argv[1] + ": not valid CycloneDX 1.6: " + JSON.stringify(errors)); process.exit(1); }
});' "$1"
