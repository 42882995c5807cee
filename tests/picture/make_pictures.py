#!/usr/bin/python3
"""Writes sample pictures of every picture type for the picture and display tests.

usage: make_pictures.py OUTDIR

pattern.EXT: 64 x 48, left half red, right half blue, in each of the nine picture types
(the rle file is a bitmap with run-length encoded rows, the dib file a plain bitmap, the
jpe file a JPEG), plus a PNG, files that are not pictures at all, a cut JPEG and pictures
of the sizes the display tests fit into the window.
"""
import os
import struct
import sys

from PIL import Image

W, H = 64, 48


def pattern(w=W, h=H):
    im = Image.new("RGB", (w, h), (255, 0, 0))
    im.paste((0, 0, 255), (w // 2, 0, w, h))
    return im


def rle8_bitmap(path):
    # PIL writes no compressed bitmaps: rows of two runs, index 0 red and 1 blue.
    rows = b""
    for _ in range(H):
        rows += bytes([W // 2, 0, W // 2, 1, 0, 0])
    rows += bytes([0, 1])
    palette = bytes([0, 0, 255, 0, 255, 0, 0, 0]) + bytes(4 * 254)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 1, len(rows), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    head = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    open(path, "wb").write(head + info + palette + rows)


def main(out):
    os.makedirs(out, exist_ok=True)
    im = pattern()
    for ext, fmt in (("jpg", "JPEG"), ("jpeg", "JPEG"), ("JPEG", "JPEG"), ("jpe", "JPEG"),
                     ("bmp", "BMP"), ("dib", "BMP"), ("pcx", "PCX"), ("tga", "TGA"),
                     ("png", "PNG")):
        im.save(os.path.join(out, "pattern." + ext), fmt, **({"quality": 95} if fmt == "JPEG" else {}))
    im.convert("P", palette=Image.ADAPTIVE, colors=4).save(os.path.join(out, "pattern.gif"), "GIF")
    rle8_bitmap(os.path.join(out, "pattern.rle"))
    # The 256-colour path opens icons as well.
    pattern(32, 32).save(os.path.join(out, "pattern.ico"), "ICO", sizes=[(32, 32)])

    jpeg = open(os.path.join(out, "pattern.jpg"), "rb").read()
    open(os.path.join(out, "disguised.gif"), "wb").write(jpeg)
    open(os.path.join(out, "garbage.jpg"), "wb").write(b"this is no picture at all\n" * 40)
    open(os.path.join(out, "empty.gif"), "wb").write(b"")
    open(os.path.join(out, "notes.txt"), "wb").write(b"just text\n")
    # A header that claims a picture far larger than any that is sent.
    open(os.path.join(out, "huge.bmp"), "wb").write(
        b"BM" + struct.pack("<IHHI", 0, 0, 0, 54)
        + struct.pack("<IiiHHIIiiII", 40, 1000000, 1000000, 1, 24, 0, 0, 0, 0, 0, 0))

    # JPEG variants for the JPEG picture class.
    im.save(os.path.join(out, "progressive.jpg"), "JPEG", progressive=True, quality=90)
    im.convert("L").save(os.path.join(out, "grey.jpg"), "JPEG")
    im.convert("CMYK").save(os.path.join(out, "cmyk.jpg"), "JPEG", quality=95)

    for w, h in ((100, 100), (400, 1000), (800, 600)):
        pattern(w, h).save(os.path.join(out, f"size-{w}x{h}.jpg"), "JPEG")
    # Cut inside the picture data: the upper part is there, the rest is missing.
    big = open(os.path.join(out, "size-800x600.jpg"), "rb").read()
    open(os.path.join(out, "cut.jpg"), "wb").write(big[: len(big) * 2 // 3])


if __name__ == "__main__":
    main(sys.argv[1])
