#!/usr/bin/env bash
# Installs the Debian packages the program needs, through sudo when not run
# as root (without sudo, it says what to run as root); installs nothing that
# is already there. It waits for another apt to finish rather than failing.
#   scripts/install-deps.sh          building and running the program
#   scripts/install-deps.sh --tests  that, and building and running every test
set -euo pipefail

packages=(
  build-essential cmake
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libicu-dev
  pkg-config libidn2-dev libpsl-dev libc-ares-dev zlib1g-dev publicsuffix xdg-utils
  fonts-liberation
)
if [ "${1:-}" = --tests ]; then
  packages+=(
    fonts-dejavu-core fonts-noto-color-emoji fonts-lohit-deva
    desktop-file-utils appstream
    dpkg-dev lintian man-db
    clang libclang-rt-14-dev bc acl
    python3 python3-email-validator python3-vobject python3-ldap mutt dnsmasq-base
  )
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Installing them needs root, and there is no sudo here. As root, run:" >&2
    echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
    echo "then run this again." >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

# apt waits for dpkg's lock by itself, but apt-get update fails at once
# while another apt holds the package lists: it is tried again, for up to
# ten minutes, saying that it waits.
apt() {
  local output status waited=0
  while :; do
    output=$("${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 "$@" 2>&1) && status=0 || status=$?
    if [ $status -ne 0 ] && grep -q 'Could not get lock' <<<"$output" && [ $waited -lt 600 ]; then
      [ $waited -eq 0 ] && echo "Another apt is running: waiting for it to finish ..." >&2
      sleep 5
      waited=$((waited + 5))
      continue
    fi
    [ -z "$output" ] || printf '%s\n' "$output"
    return $status
  done
}
apt update -qq
apt install -y -qq --no-install-recommends "${missing[@]}"
