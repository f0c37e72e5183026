#!/usr/bin/env bash
# Builds the Debian package (build-package/orvane-config_<version>_<arch>.deb):
# installs what is missing, builds with the install prefix /usr, and runs
# CPack (without the tests), which takes the package's dependencies from dpkg-shlibdeps.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" dpkg-dev file
"$root/scripts/build.sh" "$root/build-package" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF
(cd "$root/build-package" && cpack -G DEB)
deb="$(ls "$root"/build-package/orvane-config_*.deb)"
dpkg-deb --info "$deb"
echo "$deb"
