#!/usr/bin/env bash
# Installs the Debian packages the workstation needs.
#   install-deps.sh run    what building and running the workstation needs (the default)
#   install-deps.sh test   that, plus the test, benchmark and reference tools
# Idempotent and non-interactive: when every package is installed it prints nothing and
# runs no apt at all. Runs as root, or through sudo as a user. Needs only bash and apt,
# so it also sets up a fresh machine that has no `make` yet.
set -euo pipefail

# Real package names only (no virtual ones): each must show as installed in dpkg-query.
RUN_PACKAGES=(
  build-essential make cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-charts-dev qt6-qpa-plugins
  libqt6sql6-sqlite libgl-dev libglu1-mesa-dev libgl1-mesa-dri libxkbcommon-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev
  libturbojpeg0-dev libjpeg62-turbo-dev libxlsxwriter-dev
  xdg-utils
)

TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  sqlite3 libxml2-utils
  dcmtk libjpeg-turbo-progs
  clang libclang-rt-14-dev
  libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev
  python3 python3-numpy python3-openpyxl
)

mode="${1:-run}"
case "$mode" in
  run) packages=("${RUN_PACKAGES[@]}") ;;
  test) packages=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

# One dpkg-query for the whole list; a name it has never seen prints nothing (and makes
# it fail, hence the `|| true`).
installed="$( (dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true) |
  awk '$NF == "installed" { print $1 }')"
missing=()
for p in "${packages[@]}"; do
  grep -qxF "$p" <<<"$installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them as root (sudo is not available to this user)." >&2
    exit 1
  fi
  SUDO=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Wait for another apt or dpkg run to finish instead of failing on its lock.
APT=(apt-get -o DPkg::Lock::Timeout=600 -qq)
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive "${APT[@]}" update
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive "${APT[@]}" install -y --no-install-recommends \
  "${missing[@]}" >/dev/null
