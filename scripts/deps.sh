#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing. Safe to run again.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev libsqlite3-dev libsodium-dev sqlite3
    xvfb xauth xdotool xclip x11-utils imagemagick
    cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils
    clang libclang-rt-14-dev util-linux
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=300 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends "${missing[@]}"
