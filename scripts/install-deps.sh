#!/usr/bin/env bash
# Installs what building, running and testing Trasovník needs on Debian 12.
# Does nothing when everything is already there. Packages named on the
# command line are installed as well (scripts/fuzz.sh asks for clang).
set -euo pipefail

packages=(
  cmake g++ make
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-svg-dev libqt6svg6
  qt6-translations-l10n
  qt6-webengine-dev libqt6webenginewidgets6 libqt6webenginecore6-bin
  qt6-charts-dev libqt6charts6
  libgeographiclib-dev geographiclib-tools gpsbabel libqt6sql6-sqlite sqlite3
  libarchive-dev zlib1g-dev libdeflate-dev
  poppler-utils python3
  libgl-dev libbenchmark-dev
  xvfb xauth
  fonts-dejavu-core fonts-liberation
  locales shared-mime-info
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

# A Czech C-library locale, so that the tests can show that number texts do
# not depend on the process locale.
if ! locale -a 2>/dev/null | grep -qi '^cs_CZ\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO localedef -i cs_CZ -f UTF-8 cs_CZ.UTF-8 || echo "cs_CZ.UTF-8 could not be generated; a test will be skipped"
fi
