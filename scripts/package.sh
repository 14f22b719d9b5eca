#!/usr/bin/env bash
# Builds the program with Debian's hardening flags and makes the binary
# package build/kestrava_VERSION-1_ARCH.deb from what `cmake --install`
# puts in /usr, with the documentation Debian asks for. Prints the path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests >&2

version=$(sed -n 's/^set(KESTRAVA_VERSION "\(.*\)")$/\1/p' CMakeLists.txt)-1
arch=$(dpkg --print-architecture)
work=build-package
stage=$work/debian/kestrava
deb=build/kestrava_${version}_${arch}.deb

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S . -B $work -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DKESTRAVA_BENCHMARKS=OFF >&2
cmake --build $work --parallel "$(nproc)" --target kestrava >&2

rm -rf "$stage"
DESTDIR=$stage cmake --install $work --prefix /usr --strip >/dev/null
strip --remove-section=.comment "$stage/usr/libexec/kestrava/kestrava"
gzip -9n "$stage/usr/share/man/man1/kestrava.1"
doc=$stage/usr/share/doc/kestrava
install -d "$doc"
install -m 644 packaging/copyright "$doc/copyright"
gzip -9n <packaging/changelog >"$doc/changelog.Debian.gz"
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
chmod 755 "$stage/usr/libexec/kestrava/kestrava"

# dpkg-shlibdeps runs in a source tree and knows the package's folder by
# its DEBIAN folder.
install -d -m 755 "$stage/DEBIAN"
printf 'Source: kestrava\n\nPackage: kestrava\nArchitecture: any\n' >$work/debian/control
depends=$(cd $work && dpkg-shlibdeps -O debian/kestrava/usr/libexec/kestrava/kestrava | sed -n 's/^shlibs:Depends=//p')
size=$(du -sk --apparent-size "$stage/usr" | cut -f1)

sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  packaging/control.in >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"

mkdir -p build
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >&2
echo "$deb"
