#!/usr/bin/env bash
# Starts the built program on a virtual X server and saves a screenshot of
# its window: scripts/screenshot.sh [output.png] [program folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/window.png}
program_dir=${2:-build}

need=()
for package in xvfb xauth imagemagick x11-utils; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || need+=("$package")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

mkdir -p "$(dirname "$out")"
xvfb-run -a -s '-screen 0 800x700x24 -dpi 96' bash -c '
  "$1/kestrava" & pid=$!
  for _ in $(seq 50); do
    id=$(xwininfo -root -tree | awk "/Kestrava E-mail List Joiner/ {print \$1; exit}")
    [ -n "$id" ] && break
    sleep 0.2
  done
  sleep 1
  import -window "$id" "$2"
  kill "$pid"
' _ "$program_dir" "$out"
echo "saved $out"
