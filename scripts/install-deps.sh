#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test the workstation.
# Idempotent and non-interactive; prints nothing when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake make pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libqt6charts6-dev qt6-charts-dev
  libqt6sql6-sqlite libgl-dev libglu1-mesa-dev libgl1-mesa-dri libxkbcommon-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev
  libturbojpeg0-dev libjpeg62-turbo-dev libxlsxwriter-dev
  libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdg-utils
  dcmtk libjpeg-turbo-progs libxml2-utils python3-openpyxl
  clang libclang-rt-14-dev
  libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
