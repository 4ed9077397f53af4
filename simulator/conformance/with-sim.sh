#!/usr/bin/env bash
# with-sim.sh MSDE_SIM DATA_SET COMMAND...: runs COMMAND against a private msde-sim on a free
# loopback port (given to it as $MSDE_PORT, its process id as $MSDE_PID), with FreeTDS and
# unixODBC pointed at an empty
# temporary directory, and stops that server afterwards. Exit status 77 (a skip for CTest)
# when the client program the command needs is not installed.
set -uo pipefail
sim=$1 data=$2
shift 2
work=$(mktemp -d "${TMPDIR:-/tmp}/msde-conformance.XXXXXX")
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export FREETDSCONF="$work/freetds.conf" ODBCSYSINI="$work" ODBCINI="$work/odbc.ini" HOME="$work"
: >"$FREETDSCONF"
mkfifo "$work/port"
# The share \\TEST\kopie is a directory of the run, so backups write nowhere else.
mkdir "$work/share"
"$sim" --port 0 --data "$data" --trace "$work/statements.trace" --errorlog "$work/ERRORLOG" --share "\\\\TEST\\kopie=$work/share" >"$work/port" 2>"$work/stderr" &
pid=$!
exec 3<"$work/port"
# The first line the server writes is its port.
read -r -t 30 -u 3 MSDE_PORT || { echo "msde-sim did not report its port: $(cat "$work/stderr")"; exit 1; }
[ -n "$MSDE_PORT" ] || { echo "msde-sim did not report its port"; exit 1; }
export MSDE_PORT MSDE_TRACE="$work/statements.trace" MSDE_PID="$pid"
"$@"
