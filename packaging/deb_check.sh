#!/usr/bin/env bash
# Checks the Debian package make deb built: its file list, its library
# dependencies, and lintian without errors.
# usage: deb_check.sh PACKAGE.deb
set -euo pipefail
deb=$1
id=org.vellumatic.Vellumatic
fail() { echo "deb check: $*" >&2; exit 1; }

files=$(dpkg-deb -c "$deb")
for f in ./usr/bin/kv ./usr/bin/pixconv ./usr/lib/vellumatic/kv ./usr/lib/vellumatic/libpixkit.so \
    ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
    ./usr/share/mime/packages/$id.xml ./usr/share/icons/hicolor/scalable/apps/$id.svg \
    ./usr/share/icons/hicolor/48x48/apps/$id.png ./usr/share/man/man1/kv.1.gz \
    ./usr/share/man/man1/pixconv.1.gz ./usr/lib/pkgconfig/pixkit.pc \
    ./usr/share/doc/vellumatic/copyright; do
    grep -q " $f\( ->.*\)\?$" <<<"$files" || fail "the package lacks $f"
done
info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for lib in libc6 libstdc++6 libqt6widgets6 libfreetype6 libfontconfig1 libpng16-16; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends does not name $lib: $depends"
done
# Errors fail; warnings are shown. Run as root, lintian needs to be told so.
lintian --allow-root --fail-on error --tag-display-limit 0 "$deb"
echo "deb check: passed ($deb)"
