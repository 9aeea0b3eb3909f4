#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need.
# Idempotent and quiet when everything is already present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libpcap-dev libsqlite3-dev sqlite3
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev libqt6svg6 qt6-qpa-plugins
  libgl-dev libglx-dev libvulkan-dev
  libgtest-dev libgmock-dev
  iproute2 iputils-ping iperf3 tcpdump libcap2-bin tzdata python3
  clang libclang-rt-14-dev
  libxcb1-dev
  xvfb icewm x11-apps x11-utils xdotool imagemagick fonts-dejavu-core libglib2.0-bin
  fonts-urw-base35 poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: missing packages: ${missing[*]}; run as root to install them" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
