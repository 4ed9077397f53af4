#!/usr/bin/env bash
# Installs what is missing, builds, and opens the tool against the bundled simulated server
# msde-sim with its demo site. The simulator and the tool get a private unixODBC and FreeTDS
# configuration under a demo directory: the machine's own configuration is never changed.
#
#   bash scripts/run.sh             the tool against msde-sim (user sa, no password: press OK)
#   bash scripts/run.sh --no-sim    the tool alone, with the machine's own ODBC configuration,
#                                   for a real server (see README)
#   bash scripts/run.sh ODBC        the "ODBC" start-up: choose a data source instead
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VANDREL_BUILD_DIR:-build}
bash scripts/deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target vandrel msde-sim
[ "${1:-}" = "--build-only" ] && exit 0

if [ "${1:-}" = "--no-sim" ]; then
  shift
  exec "$build/app/vandrel" "$@"
fi

demo="${XDG_RUNTIME_DIR:-/tmp}/vandrel-demo-$(id -u)"
mkdir -p "$demo"
rm -rf "$demo/files" && cp -r simulator/data/files "$demo/files"

# Port 1433 when it is free, else any free port.
port=1433
if (exec 3<>/dev/tcp/127.0.0.1/1433) 2>/dev/null; then port=0; fi
"$build/simulator/msde-sim" --port "$port" --data simulator/data/demo.json --files "$demo/files" \
  --trace "$demo/statements.trace" > "$demo/msde-sim.out" 2> "$demo/msde-sim.log" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -s "$demo/msde-sim.out" ] && break
  sleep 0.1
done
port=$(head -n 1 "$demo/msde-sim.out")
[ -n "$port" ] || { echo "msde-sim nie wystartował (zob. $demo/msde-sim.log)"; exit 1; }

driver=$(find /usr/lib -name libtdsodbc.so -path '*odbc*' | head -n 1)
cat > "$demo/odbcinst.ini" <<INI
[SQL Server]
Description = FreeTDS, registered under the name the tool looks for
Driver = $driver
INI
cat > "$demo/odbc.ini" <<INI
[ODBC Data Sources]
Vandrel demo = SQL Server

[Vandrel demo]
Driver = SQL Server
Server = 127.0.0.1
Port = $port
TDS_Version = 7.1
ClientCharset = UTF-8
Database = master
INI
cat > "$demo/freetds.conf" <<INI
[global]
	tds version = 7.1
	client charset = UTF-8
INI
mkdir -p "$demo/registry"
export ODBCSYSINI="$demo" ODBCINI="$demo/odbc.ini" FREETDSCONF="$demo/freetds.conf"
export VANDREL_REGISTRY_DIR="$demo/registry"
# FreeTDS takes the port of a server named without one ("(local)") from TDSPORT.
export TDSPORT="$port"

echo "msde-sim słucha na 127.0.0.1:$port. Serwer demonstracyjny: użytkownik sa bez hasła, wystarczy OK."
echo "Polecenia wysyłane do serwera: $demo/statements.trace"
"$build/app/vandrel" "$@"
