#!/usr/bin/env bash
# Installs what is missing, builds the window, the simulated server and the command-line
# programs (vandrel-health, vandrel-backup), and opens
# the tool against msde-sim with its demo site (`vandrel --demo`). The demo and the tool keep
# everything they write (the server's files, registry, user and system ODBC data sources,
# FreeTDS configuration, Wine prefix) in one demo directory, made afresh at each start: the
# machine's own configuration is never changed.
#
#   bash scripts/run.sh               the tool against msde-sim (user sa, no password: press OK)
#   bash scripts/run.sh ODBC          the "ODBC" start-up: choose a data source ("Vandrel demo")
#   bash scripts/run.sh --no-sim      the tool alone, with the machine's own ODBC configuration,
#                                     for a real server (see README)
#   bash scripts/run.sh --build-only  only builds
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
build=${VANDREL_BUILD_DIR:-build}
bash scripts/deps.sh
configure_tree "$build"
build_tree "$build" vandrel msde-sim vandrel-health vandrel-backup
# Without a session's runtime directory Qt would make /tmp/runtime-<user> and the demo would
# live in /tmp: both stay in the build tree instead.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$PWD/$build/runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
case "${1:-}" in
  --build-only) exit 0 ;;
  --no-sim) shift; exec "$build/app/vandrel" "$@" ;;
  *) exec "$build/app/vandrel" --demo "$@" ;;
esac
