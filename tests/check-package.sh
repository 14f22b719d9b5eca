#!/usr/bin/env bash
# Builds the Debian package and checks it as apt would see it: its control
# fields, its files, lintian's verdict, and the program and manual page
# unpacked into a scratch root, run from there.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "check-package: $*" >&2; exit 1; }

deb=$(scripts/package.sh)
version=$(sed -n 's/^set(KESTRAVA_VERSION "\(.*\)")$/\1/p' CMakeLists.txt)
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kestrava ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version-1" ] || fail "Version is $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is $(field Architecture)"
[[ "$(field Installed-Size)" =~ ^[0-9]+$ ]] || fail "Installed-Size is $(field Installed-Size)"
for needed in libqt6widgets6 libicu72 xdg-utils; do
  [[ ", $(field Depends)," == *", $needed "* || ", $(field Depends)," == *", $needed,"* ]] || fail "Depends lacks $needed"
done
[ "$(field Description | wc -l)" -gt 3 ] || fail "no long description"

expected="./usr/bin/kestrava -> ../libexec/kestrava/kestrava
./usr/libexec/kestrava/HAND-M.CUR
./usr/libexec/kestrava/kestrava
./usr/share/applications/com.example.Kestrava.desktop
./usr/share/doc/kestrava/changelog.Debian.gz
./usr/share/doc/kestrava/copyright
./usr/share/icons/hicolor/128x128/apps/com.example.Kestrava.png
./usr/share/icons/hicolor/256x256/apps/com.example.Kestrava.png
./usr/share/icons/hicolor/32x32/apps/com.example.Kestrava.png
./usr/share/icons/hicolor/48x48/apps/com.example.Kestrava.png
./usr/share/man/man1/kestrava.1.gz
./usr/share/metainfo/com.example.Kestrava.metainfo.xml"
files=$(dpkg-deb --contents "$deb" | grep -v '^d' | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' | sort)
[ "$files" = "$expected" ] || fail "files differ:
$(diff <(echo "$expected") <(echo "$files"))"

# The package is not meant for Debian's archive, so its first upload closes
# no request for packaging.
report=$(lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb" 2>&1) \
  || fail "lintian: $report"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root"
[ "$("$root/usr/bin/kestrava" --version)" = "kestrava $version" ] || fail "installed --version: $("$root/usr/bin/kestrava" --version)"
printf ' b@x.org\r\nA@x.org\r\n\r\na@x.org\r\nc@x.org \r\n' >"$root/list.txt"
joined=$("$root/usr/bin/kestrava" --join --trim --skip-empty --unique --sort --separator='; ' --batch=2 "$root/list.txt")
[ "$joined" = $'A@x.org; b@x.org\nc@x.org' ] || fail "installed --join printed: $joined"

# The window, offscreen, comes up from the installed command and stays.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/kestrava" "$root/list.txt" 2>/dev/null || status=$?
[ "$status" = 124 ] || fail "the installed window ended with status $status"

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$root/usr/share/man/man1/kestrava.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"
LC_ALL=C.UTF-8 man -l "$root/usr/share/man/man1/kestrava.1.gz" 2>/dev/null | grep -q -- "--separator=TEXT" \
  || fail "man page lacks --separator"
echo "package ok: $deb"
