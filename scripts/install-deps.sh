#!/usr/bin/env bash
# Installs the Debian packages the program needs, through sudo when not run
# as root; installs nothing that is already there. apt waits for another
# apt to finish rather than failing.
#   scripts/install-deps.sh          building and running the program
#   scripts/install-deps.sh --tests  that, and building and running every test
set -euo pipefail

packages=(
  build-essential cmake
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libicu-dev
  pkg-config libidn2-dev
  fonts-liberation
)
if [ "${1:-}" = --tests ]; then
  packages+=(
    fonts-dejavu-core fonts-noto-color-emoji fonts-lohit-deva
    desktop-file-utils appstream xdg-utils
    dpkg-dev lintian man-db
    clang libclang-rt-14-dev bc acl
    python3 python3-email-validator
  )
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
wait=(-o DPkg::Lock::Timeout=600)
"${sudo[@]}" apt-get "${wait[@]}" update -qq
"${sudo[@]}" apt-get "${wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
