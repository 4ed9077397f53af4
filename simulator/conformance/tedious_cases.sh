#!/usr/bin/env bash
# tedious_cases.sh DIR: installs Node's tedious into DIR (once) from the npm registry and runs
# tedious_cases.js against msde-sim; run through with-sim.sh. A skip (77), with the reason,
# when Node.js or npm is missing or the registry cannot be reached.
set -uo pipefail
dir=$1
here=$(dirname "$0")
command -v node >/dev/null || { echo "SKIP: Node.js is not installed (Debian: nodejs)"; exit 77; }
if [ ! -f "$dir/node_modules/tedious/package.json" ]; then
  command -v npm >/dev/null || { echo "SKIP: npm is not installed (Debian: npm)"; exit 77; }
  mkdir -p "$dir"
  if ! timeout 180 npm install --prefix "$dir" --cache "$dir/.npm-cache" --no-audit --no-fund \
      --loglevel=error tedious@18 >"$dir/npm.log" 2>&1; then
    echo "SKIP: tedious could not be installed from the npm registry:"
    tail -5 "$dir/npm.log"
    exit 77
  fi
fi
NODE_PATH="$dir/node_modules" exec node "$here/tedious_cases.js"
