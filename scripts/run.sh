#!/usr/bin/env bash
# Installs what is missing, builds and starts the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [ ! -x build/app/vandrel ]; then
  echo "Okno główne programu nie jest jeszcze zbudowane: ta wersja zawiera tylko biblioteki i ich testy."
  echo "The main window is not built yet: this version holds the libraries and their tests only."
  exit 1
fi
exec build/app/vandrel "$@"
