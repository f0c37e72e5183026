#!/usr/bin/env bash
# Installs the Debian packages the tool, its tests (ser2net: a real device
# server in front of the simulator; python3, iproute2 and util-linux's
# unshare: a name server that never answers, in a network of its own;
# groff-base: the manual pages checked as man shows them) and its
# screenshots need,
# and any named as arguments, only when one is missing. Uses sudo when not
# run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev
  libminizip-dev zlib1g-dev
  fonts-wqy-microhei
  xvfb xauth
  ser2net
  python3 iproute2 util-linux
  groff-base
)
packages+=("$@") # what a caller needs on top, e.g. the packaging tools

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
