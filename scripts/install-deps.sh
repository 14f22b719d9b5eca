#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# through sudo when not run as root. Installs nothing that is already there.
set -euo pipefail

packages=(
  build-essential cmake
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libicu-dev
  fonts-liberation fonts-dejavu-core fonts-noto-color-emoji fonts-lohit-deva
  desktop-file-utils appstream xdg-utils
  dpkg-dev lintian man-db
  clang libclang-rt-14-dev bc acl
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
