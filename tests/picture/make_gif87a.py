#!/usr/bin/python3
"""Writes GIF87a files with PIL's encoder for the decoder's differential test.

usage: make_gif87a.py OUTDIR

Each file has a global colour table, no extension blocks and one image: noise and smooth
pictures, two to 256 colours, odd widths, interlaced and not.
"""
import os
import random
import sys

from PIL import Image


def noise(w, h, colors, rng):
    im = Image.new("P", (w, h))
    im.putdata([rng.randrange(colors) for _ in range(w * h)])
    return im


def smooth(w, h, colors, rng):
    # Long runs and repeats: long strings and codes that repeat the previous string.
    im = Image.new("P", (w, h))
    im.putdata([((x // 7 + y // 5) * 3 + (x * y) // 97) % colors
                for y in range(h) for x in range(w)])
    return im


def palette(colors, rng):
    return [rng.randrange(256) for _ in range(3 * colors)]


def main(outdir):
    os.makedirs(outdir, exist_ok=True)
    rng = random.Random(4711)
    cases = [
        (1, 1, 2), (3, 1, 2), (5, 3, 4), (7, 13, 16), (17, 16, 16), (33, 40, 256),
        (64, 64, 256), (255, 17, 32), (301, 199, 256), (640, 480, 256), (1023, 37, 8),
        (2049, 20, 256), (16, 100, 2),
    ]
    for w, h, colors in cases:
        for kind, make in (("noise", noise), ("smooth", smooth)):
            im = make(w, h, colors, rng)
            im.putpalette(palette(colors, rng))
            for interlace in (0, 1):
                name = os.path.join(outdir, f"{kind}-{w}x{h}-{colors}-i{interlace}.gif")
                im.save(name, format="GIF", interlace=interlace, optimize=False)
                data = open(name, "rb").read()
                if not data.startswith(b"GIF87a"):
                    sys.exit(f"{name}: PIL did not write GIF87a")
                table = 3 << ((data[10] & 7) + 1)
                if not data[10] & 0x80 or data[13 + table] != 0x2C:
                    sys.exit(f"{name}: not a global table followed by the image")


if __name__ == "__main__":
    main(sys.argv[1])
