#!/usr/bin/env bash
# Installs into a scratch folder and checks what a Linux desktop needs: the
# program in a folder of its own with its cursor beside it, a link on the
# PATH that leads to it, the icons, the manual page, and a valid desktop
# entry and AppStream metadata. Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr

program=$(readlink -f "$usr/bin/kestrava")
[ "$program" = "$usr/libexec/kestrava/kestrava" ] || { echo "bin/kestrava leads to $program"; exit 1; }
[ -x "$program" ] || { echo "program not executable"; exit 1; }
cmp "$(dirname "$program")/HAND-M.CUR" "$(dirname "$0")/../resources/HAND-M.CUR"
for size in 32 48 128 256; do
  [ -s "$usr/share/icons/hicolor/${size}x${size}/apps/com.example.Kestrava.png" ] || { echo "no ${size} icon"; exit 1; }
done
[ -s "$usr/share/man/man1/kestrava.1" ] || { echo "no manual page"; exit 1; }
desktop-file-validate "$usr/share/applications/com.example.Kestrava.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/com.example.Kestrava.metainfo.xml"
echo "install layout ok"
