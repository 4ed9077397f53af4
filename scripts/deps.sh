#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Vandrel need,
# skipping those already present. Runs apt-get through sudo when not root.
# With --test also what only the tests need (the package check).
set -euo pipefail

PACKAGES=(
  cmake g++ make ninja-build ccache pkg-config
  unixodbc unixodbc-dev odbcinst tdsodbc libsqliteodbc
  postgresql odbc-postgresql
  qt6-base-dev libqt6sql6-odbc libqt6svg6 qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  libsoci-dev libsoci-odbc4.0
  nlohmann-json3-dev
  zlib1g-dev
  locales
  xvfb xauth
  desktop-file-utils xdg-utils
  freetds-bin python3-pyodbc nodejs
)
# npm fetches Node's tedious for its conformance test; a Node.js that brings its own npm
# (NodeSource's) needs none from Debian, and would refuse it.
command -v npm >/dev/null || PACKAGES+=(npm)
TEST_PACKAGES=(
  lintian
  prometheus  # promtool checks the file vandrel-health writes for node_exporter
  openjdk-17-jdk-headless libjtds-java  # the jTDS conformance run of msde-sim
)
[ "${1:-}" = "--test" ] && PACKAGES+=("${TEST_PACKAGES[@]}")

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Instaluję brakujące pakiety: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
