#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the installed tree as
# a desktop sees it: desktop entry, AppStream data, MIME XML, manual pages,
# launchers that start kv and pixconv from there, and pixkit.pc.
# usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
src=$(realpath "$2")
id=org.vellumatic.Vellumatic
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dest=$work/dest
usr=$dest/usr
py=/usr/bin/python3 # Debian's, with python3-pil
fail() { echo "install test: $*" >&2; exit 1; }

DESTDIR=$dest cmake --install "$build" --prefix /usr >"$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install failed"; }

for f in bin/kv bin/pixconv lib/vellumatic/kv lib/vellumatic/libpixkit.so \
    lib/vellumatic/pixconv lib/vellumatic/English.lng share/applications/$id.desktop \
    share/metainfo/$id.metainfo.xml share/mime/packages/$id.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/16x16/apps/$id.png \
    share/icons/hicolor/256x256/apps/$id.png share/man/man1/kv.1.gz \
    share/man/man1/pixconv.1.gz include/pixkit/buffer.h lib/pkgconfig/pixkit.pc; do
    [ -e "$usr/$f" ] || fail "missing $f"
done
[ -L "$usr/bin/kv" ] && [ "$(readlink "$usr/bin/kv")" = ../lib/vellumatic/kv ] ||
    fail "bin/kv is not a relative link into the program directory"
ls "$usr"/lib/vellumatic/fonts/*.rfn >/dev/null || fail "no raster fonts installed"
# The component runner, the template of Make and the sample components, by
# category.
[ -x "$usr/lib/vellumatic/kvcrun" ] || fail "no component runner installed"
[ -f "$usr/lib/vellumatic/fftemplate.kvc" ] || fail "no Filter Factory component template installed"
[ "$(ls "$usr"/lib/vellumatic/Comps/*/*.kvc | wc -l)" -ge 10 ] || fail "sample components missing"

desktop-file-validate "$usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >"$work/as.log" ||
    { cat "$work/as.log"; fail "AppStream data does not validate"; }
xmllint --noout "$usr/share/mime/packages/$id.xml"
grep -q "<release version=\"$("$usr/bin/pixconv" --version | cut -d' ' -f2)\"" \
    "$usr/share/metainfo/$id.metainfo.xml" || fail "metainfo release is not the program version"
# Every MIME type the desktop entry offers is one the shared database or our
# own XML defines.
for t in $(sed -n 's/^MimeType=//p' "$usr/share/applications/$id.desktop" | tr ';' ' '); do
    grep -q "type=\"$t\"" /usr/share/mime/packages/freedesktop.org.xml \
        "$usr/share/mime/packages/$id.xml" || fail "unknown MIME type $t in the desktop entry"
done
# The rendered icons have the size their folder names.
"$py" - "$usr/share/icons/hicolor" "$id" <<'PY'
import sys, glob, os
from PIL import Image
root, id = sys.argv[1], sys.argv[2]
pngs = glob.glob(f"{root}/*x*/apps/{id}.png")
assert len(pngs) >= 6, pngs
for p in pngs:
    n = int(os.path.basename(os.path.dirname(os.path.dirname(p))).split("x")[0])
    im = Image.open(p)
    assert im.size == (n, n), (p, im.size)
    assert im.mode == "RGBA" and im.getextrema()[3][1] == 255, p
PY

for page in kv pixconv; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    LC_ALL=C.UTF-8 man -l "$usr/share/man/man1/$page.1.gz" | grep -q "SYNOPSIS" ||
        fail "man $page renders no synopsis"
done

# pixconv from the launcher converts a file.
"$py" -c "
from PIL import Image
im = Image.new('RGB', (5, 3), (200, 30, 90)); im.putpixel((4, 2), (1, 2, 3))
im.save('$work/in.bmp')"
"$usr/bin/pixconv" convert "$work/in.bmp" "$work/out.png"
"$py" -c "
from PIL import Image
im = Image.open('$work/out.png').convert('RGB')
assert im.size == (5, 3) and im.getpixel((0, 0)) == (200, 30, 90) and im.getpixel((4, 2)) == (1, 2, 3)"

# A program built against the installed headers through pkg-config loads the BMP.
cat >"$work/load.cpp" <<'CPP'
#include <pixkit/buffer.h>
#include <pixkit/gfxfile.h>
#include <cstdio>
int main(int, char** argv) {
    pixkit::Buffer b;
    pixkit::GFXtra32 x{0, 0, 0, 0xFFFFFF, 1};
    pixkit::GFXFile::Load(b, argv[1], &x);
    std::printf("%dx%d %06x\n", b.Width(), b.Height(), static_cast<unsigned>(*b.At(0, 0) & 0xFFFFFF));
}
CPP
flags=$(PKG_CONFIG_PATH=$usr/lib/pkgconfig pkg-config --cflags --libs pixkit)
case "$flags" in *"$build"*|*"$src"*) fail "pixkit.pc points into the build: $flags" ;; esac
c++ "$work/load.cpp" -o "$work/load" $flags
[ "$(env -u LD_LIBRARY_PATH "$work/load" "$work/in.bmp")" = "5x3 c81e5a" ] ||
    fail "the pkg-config program did not load the BMP"

# The installed kv starts offscreen from its launcher and writes its log into
# the program directory.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.state
export QT_QPA_PLATFORM=offscreen
log=$usr/lib/vellumatic/KV.LOG
"$usr/bin/kv" -l >"$work/kv.out" 2>&1 &
kv=$!
for _ in $(seq 300); do
    grep -qs "Initialization finished" "$log" && break
    kill -0 $kv 2>/dev/null || break
    sleep 0.2
done
kill $kv 2>/dev/null || true
wait $kv 2>/dev/null || true
[ -s "$log" ] || { cat "$work/kv.out"; fail "installed kv wrote no log"; }
grep -q "Initialization finished" "$log" || { cat "$log"; fail "kv did not finish starting"; }
grep -q "GaussianBlur.kvc found" "$log" || { cat "$log"; fail "kv did not find the installed components"; }
grep -q "refused" "$log" && { cat "$log"; fail "kv refused an installed component"; }
echo "install test: passed"
