#!/usr/bin/env bash
# Installs every Debian package qrtool needs to build, test, benchmark and run.
# Idempotent: packages already installed are not touched; apt runs only when something is missing.
set -euo pipefail

PACKAGES=(
  # toolchain; dpkg-dev finds the Debian package's dependencies
  cmake ninja-build g++ make pkg-config clang libclang-rt-14-dev dpkg-dev
  # the mutation check (scripts/mutation-check)
  python3 ccache
  # libraries of the product
  libjpeg62-turbo-dev libpng-dev
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6multimedia6 libqt6opengl6-dev
  # WebP (and TIFF) pictures on the decode page
  qt6-image-formats-plugins
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  # Chinese text in the window, and in Qt's own dialogs
  fonts-wqy-microhei qt6-translations-l10n
  # tests, oracles, benchmark peers
  libgtest-dev libgmock-dev libbenchmark-dev libzxing-dev libqrencode-dev
  librsvg2-bin
  # real windows, screen grabs and the clipboard in tests
  xvfb xauth x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
APT_OPTS=(-o DPkg::Lock::Timeout=300 -y --no-install-recommends)
$SUDO apt-get -o DPkg::Lock::Timeout=300 update -qq
$SUDO apt-get "${APT_OPTS[@]}" install "${missing[@]}"
