#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the demo and the packaging
# need, only when one is missing.
set -euo pipefail
packages=(
  # the build and the unit tests
  g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev
  # the bridge's windows (Qt 6 Widgets on X11)
  qt6-base-dev libxcb1-dev fonts-dejavu-core
  # tests of the real program on an X server: the server, a tray for its icon,
  # clicks, screenshots and window lookups
  xvfb xauth trayer xdotool imagemagick x11-utils
  # the program benchmark reads peak memory from GNU time
  time
  # the .deb: dpkg-deb and dpkg-shlibdeps; CPack runs `file` on every packed
  # file to find the programs whose libraries give the dependencies, and
  # dpkg-shlibdeps reads them with objdump
  dpkg-dev file binutils
)
if [ -n "${VELTAR_EXTRA_PACKAGES:-}" ]; then
  read -r -a extra <<<"$VELTAR_EXTRA_PACKAGES"
  packages+=("${extra[@]}")
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  # sudo drops the environment, so the variable goes through env.
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    "${missing[@]}"
fi
