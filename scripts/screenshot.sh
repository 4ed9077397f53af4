#!/usr/bin/env bash
# Makes docs/main-window.png: the tool under Xvfb, connected to the demo server, with the
# database list shown. Needs xvfb, xdotool and imagemagick (installed when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
for p in xvfb xauth xdotool imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
bash scripts/run.sh --build-only >/dev/null 2>&1 || true
out=${1:-docs/main-window.png}
xvfb-run -a -s "-screen 0 1024x640x24" bash -c '
  bash scripts/run.sh >/dev/null 2>&1 &
  runner=$!
  dialog=$(xdotool search --sync --onlyvisible --name "Połączenie z serwerem MSSQL" | head -n 1)
  sleep 1
  xdotool windowfocus "$dialog"
  sleep 0.5
  xdotool key Return
  main=$(xdotool search --sync --onlyvisible --name "wersja" | head -n 1)
  xdotool windowmove "$main" 0 0 windowsize "$main" 1024 640
  sleep 5
  import -window root "'"$out"'"
  # Only the copy started here ends: the process that owns its window.
  tool=$(xdotool getwindowpid "$main")
  kill "$tool" 2>/dev/null || true
  wait $runner || true
'
echo "Zapisano $out"
