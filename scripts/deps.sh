#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Vandrel need,
# skipping those already present. Runs apt-get through sudo when not root.
# With --test also what only the tests need (the package check).
set -euo pipefail

PACKAGES=(
  cmake g++ make ninja-build ccache pkg-config
  unixodbc unixodbc-dev odbcinst tdsodbc libsqliteodbc
  qt6-base-dev libqt6sql6-odbc libqt6svg6 qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  libsoci-dev libsoci-odbc4.0
  nlohmann-json3-dev
  zlib1g-dev
  locales
  xvfb xauth
  desktop-file-utils xdg-utils
)
TEST_PACKAGES=(
  lintian
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
