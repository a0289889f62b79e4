#!/usr/bin/env bash
# Builds the Debian package build/trasovnik_<version>_<arch>.deb with
# Debian's build flags into build-package/ (or $PACKAGE_BUILD_DIR), then
# checks it with Debian's own tools: lintian (no errors), the desktop entry,
# the AppStream metadata and the manual page.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh dpkg-dev fakeroot file lintian desktop-file-utils appstream man-db

BUILD_DIR=${PACKAGE_BUILD_DIR:-build-package}
# Debian's hardening: stack protector, fortified calls, read-only
# relocations bound at start.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DTRASOVNIK_PACKAGE=ON -DTRASOVNIK_BUILD_TESTS=OFF -DTRASOVNIK_BUILD_BENCH=OFF "$@"
cmake --build "$BUILD_DIR" -j"$(nproc)"
rm -f "$BUILD_DIR"/cpack/*.deb
cpack --config "$BUILD_DIR/CPackConfig.cmake" -B "$BUILD_DIR/cpack"
mkdir -p build
rm -f build/trasovnik_*.deb
deb=$(ls "$BUILD_DIR"/cpack/trasovnik_*.deb)
cp "$deb" build/
deb=build/$(basename "$deb")
echo "== $deb"
dpkg-deb --info "$deb"
# The toolkit's plugins are loaded while the program runs: no link names them.
for plugin in libqt6svg6 libqt6sql6-sqlite; do
  dpkg-deb -f "$deb" Depends | grep -q "\b$plugin\b" || { echo "the package does not depend on $plugin"; exit 1; }
done

# The package's own files, where the desktop and man look for them.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for f in usr/bin/trasovnik "usr/lib/$arch/trasovnik/trasovnik-export.so" \
         usr/share/applications/trasovnik.desktop usr/share/icons/hicolor/scalable/apps/trasovnik.svg \
         usr/share/mime/packages/trasovnik.xml usr/share/metainfo/cz.trasovnik.Trasovnik.metainfo.xml \
         usr/share/man/man1/trasovnik.1.gz usr/share/doc/trasovnik/copyright usr/share/doc/trasovnik/changelog.gz \
         usr/share/trasovnik/screenshots/hlavni-okno.png; do
  [ -f "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done

echo "== desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/trasovnik.desktop"
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$root/usr/share/metainfo/cz.trasovnik.Trasovnik.metainfo.xml"
echo "== man -l"
page=$root/page.txt
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/trasovnik.1.gz" 2>&1 >"$page")
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
[ -s "$page" ] || { echo "man rendered no page"; exit 1; }
# Read whole before it is shown in part: a pipe into head could end man
# early with SIGPIPE, which pipefail would take for a failure.
head -5 "$page"
echo "== lintian"
lintian --fail-on error --info "$deb"
echo "package: $deb"
