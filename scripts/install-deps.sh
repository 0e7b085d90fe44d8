#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. As root it uses apt-get; otherwise it says what to install.
#   install-deps.sh           the Linux build, its tests and the demo
#   install-deps.sh windows   the Windows build of the core and wine for its tests
set -euo pipefail

if [ "${1:-}" = windows ]; then
  packages=(
    cmake ninja-build
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    googletest firebird-dev
    wine64
  )
else
  packages=(
    build-essential cmake ninja-build pkg-config
    file lintian
    qt6-base-dev libgl-dev fonts-wine
    xvfb x11vnc openbox
    libgtest-dev
    firebird3.0-server-core firebird3.0-utils libfbclient2 firebird-dev
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
