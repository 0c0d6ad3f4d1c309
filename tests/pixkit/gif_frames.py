"""Decodes every image of a GIF file with an independent decoder, each image
on its own (no compositing, no transparency): the raw frame a GIF decoder
produces from its indices and the colour table that applies.

usage: gif_frames.py pillow|giflib|magick FILE OUTDIR
       gif_frames.py pillow|giflib|magick --list LISTFILE OUTROOT

Writes OUTDIR/<n>.ppm (RGB) for n = 1, 2, ... and, for the decoders that
expose them, OUTDIR/<n>.pgm (palette indices); prints the number of images.
Exits non-zero when the decoder rejects the file. With --list, the files
named one a line in LISTFILE go to OUTROOT/<line number from 1>/, each with
a file "count" holding the number of images when the decoder read the file.
"""
import glob
import os
import subprocess
import sys


def write_pnm(path, magic, w, h, data):
    with open(path, "wb") as f:
        f.write(b"%s\n%d %d\n255\n" % (magic, w, h))
        f.write(bytes(data))


def rgb_of(w, h, indices, palette):
    from PIL import Image

    frame = Image.frombytes("P", (w, h), bytes(indices))
#Indices beyond a short table read as black.
    frame.putpalette((bytes(palette) + bytes(768))[:768])
    return frame.convert("RGB").tobytes()


def pillow(path, outdir):
    from PIL import Image

    im = Image.open(path)
    n = getattr(im, "n_frames", 1)
    for k in range(n):
        im.seek(k)
        _, (x0, y0, x1, y1), offset, args = im.tile[0]
        w, h = x1 - x0, y1 - y0
#Pillow drops colour tables that are the identity grey ramp.
        pal = im._frame_palette
        palette = list(pal.palette) if pal else [v for i in range(256) for v in (i, i, i)]
        frame = Image.new("P", (w, h))
        decoder = Image._getdecoder("P", "gif", (args[0], args[1], -1))
        decoder.setimage(frame.im, (0, 0, w, h))
        with open(path, "rb") as f:
            f.seek(offset)
            decoder.decode(f.read())
        indices = frame.tobytes()
        write_pnm(os.path.join(outdir, "%d.pgm" % (k + 1)), b"P5", w, h, indices)
        write_pnm(os.path.join(outdir, "%d.ppm" % (k + 1)), b"P6", w, h, rgb_of(w, h, indices, palette))
    return n


def parse_map(lines, i):
    """Reads 'rgb R G B [is K]' lines up to 'end'; returns palette, keys, i."""
    palette, keys = [], {}
    while lines[i].strip() != "end":
        parts = lines[i].split()
        if parts and parts[0] == "rgb":
            if len(parts) >= 6 and parts[4] == "is":
                keys[parts[5]] = len(palette) // 3
            palette += [int(parts[1]), int(parts[2]), int(parts[3])]
        i += 1
    return palette, keys, i + 1


def giflib(path, outdir):
    dump = subprocess.run(["gifbuild", "-d", path], capture_output=True, text=True)
    if dump.returncode != 0:
        sys.exit(1)
    lines = dump.stdout.split("\n")
    screen, screen_keys, frame, local = [], {}, 0, None
    i = 0
    while i < len(lines):
        line = lines[i].strip()
        if line == "screen map":
            screen, screen_keys, i = parse_map(lines, i + 1)
            continue
        if line.startswith("image #"):
            local = None
        elif line == "image map":
            local = parse_map(lines, i + 1)
            i = local[2]
            continue
        elif line.startswith("image bits"):
            parts = line.split()
            w, h, hexa = int(parts[2]), int(parts[4]), parts[-1] == "hex"
            palette, keys = (local[0], local[1]) if local else (screen, screen_keys)
            rows = lines[i + 1:i + 1 + h]
            indices = bytearray()
            for row in rows:
                if hexa:
                    indices += bytes.fromhex(row.strip())
                else:
                    indices += bytes(keys[ch] for ch in row.strip())
            frame += 1
            write_pnm(os.path.join(outdir, "%d.pgm" % frame), b"P5", w, h, indices)
            write_pnm(os.path.join(outdir, "%d.ppm" % frame), b"P6", w, h, rgb_of(w, h, indices, palette))
            i += 1 + h
            continue
        i += 1
    return frame


def magick(path, outdir):
#The frames as stored(no - coalesce); PPM drops the alpha channel, so
#a transparent index shows its table colour.
    result = subprocess.run(["/usr/bin/convert", path, os.path.join(outdir, "m%d.ppm")],
                            capture_output=True)
    names = glob.glob(os.path.join(outdir, "m*.ppm"))
    if result.returncode != 0 or not names:
        sys.exit(1)
    for k in range(len(names)):
        os.rename(os.path.join(outdir, "m%d.ppm" % k), os.path.join(outdir, "%d.ppm" % (k + 1)))
    return len(names)


def decode(tool, path, outdir):
    """The number of images, or None when the decoder rejects the file."""
    try:
        return {"pillow": pillow, "giflib": giflib, "magick": magick}[tool](path, outdir)
    except SystemExit:
        return None
    except Exception as e:
        print(path, e, file=sys.stderr)
        return None


def main():
    tool = sys.argv[1]
    if sys.argv[2] == "--list":
        with open(sys.argv[3]) as names:
            for k, path in enumerate(names.read().splitlines(), 1):
                outdir = os.path.join(sys.argv[4], str(k))
                os.makedirs(outdir, exist_ok=True)
                count = decode(tool, path, outdir)
                if count is not None:
                    with open(os.path.join(outdir, "count"), "w") as f:
                        f.write("%d\n" % count)
        return
    count = decode(tool, sys.argv[2], sys.argv[3])
    if count is None:
        sys.exit(1)
    print(count)


main()
