#!/usr/bin/env bash
# Starts the built program on a virtual X server, loads the sample list,
# joins it and saves a screenshot of the window.
#   scripts/screenshot.sh [--dark] [--skin FILE] [output.png]
# With --skin the program runs from a scratch folder holding FILE as x/o.cjs;
# with --dark it runs in GTK's dark Adwaita theme.
set -euo pipefail
cd "$(dirname "$0")/.."
skin=
theme=()
if [ "${1:-}" = --dark ]; then theme=(env QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark); shift; fi
if [ "${1:-}" = --skin ]; then skin=$(readlink -f "$2"); shift 2; fi
out=$(readlink -f "${1:-docs/window.png}")

need=()
for package in xvfb xauth imagemagick x11-utils xdotool qt6-gtk-platformtheme; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || need+=("$package")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  # Waiting for another apt to finish rather than failing.
  wait=(-o DPkg::Lock::Timeout=600)
  "${sudo[@]}" apt-get "${wait[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get "${wait[@]}" install -y -qq --no-install-recommends "${need[@]}"
fi

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp build/kestrava build/HAND-M.CUR "$folder/"
if [ -n "$skin" ]; then mkdir "$folder/x" && cp "$skin" "$folder/x/o.cjs"; fi

mkdir -p "$(dirname "$out")"
xvfb-run -a -s '-screen 0 800x700x24 -dpi 96' bash -c '
  "${@:3}" "$1/kestrava" & pid=$!
  for _ in $(seq 50); do
    id=$(xdotool search --name "Kestrava E-mail List Joiner" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && break
    sleep 0.2
  done
  sleep 1
  xdotool mousemove --window "$id" 392 219 click 1   # Load Sample/Example File
  sleep 0.3
  xdotool mousemove --window "$id" 268 267 click 1   # Start Joining
  sleep 0.5
  import -window "$id" "$2"
  kill "$pid"
' _ "$folder" "$out" "${theme[@]}"
echo "saved $out"
