#!/usr/bin/env bash
# Installs the Debian packages that laserpanel and its tests need and this
# machine lacks.
# Usage: scripts/deps.sh [extra-package ...]
set -euo pipefail

packages=(cmake g++ make pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5sql5-sqlite libqt5svg5-dev qttools5-dev qttools5-dev-tools libqwt-qt5-dev fonts-wqy-microhei dpkg-dev xvfb xdotool "$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
