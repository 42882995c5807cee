#!/usr/bin/python3
"""Writes yEnc articles made by Debian's yEnc encoders (python3-yenc and python3-sabyenc),
single and multi-part, for the yEnc decoder's tests.

make_yenc_articles.py OUTDIR [--picture PATH] FILE...: for each FILE and each encoder, one
single-part article and one post in three parts; prints one line per article: article path,
TAB, original path. --picture first writes a JPEG photo-like picture to PATH and encodes it
too.
"""
import io
import os
import sys
import zlib

import _yenc
import sabyenc3


def encode_yenc(data):
    encoded, _crc, column = _yenc.encode_string(data, 0, 0)
    return encoded if column == 0 else encoded + b"\r\n"


def encode_sabyenc(data):
    encoded, _crc = sabyenc3.encode(data)
    return encoded if encoded.endswith(b"\r\n") or not encoded else encoded + b"\r\n"


ENCODERS = {"yenc": encode_yenc, "sabyenc": encode_sabyenc}


def article(subject, lines):
    head = ("From: poster@example.invalid\r\nNewsgroups: alt.binaries.pictures.test\r\n"
            "Subject: %s\r\n\r\n" % subject).encode()
    return head + b"".join(lines)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def make_picture(path):
    from PIL import Image, ImageDraw
    image = Image.new("RGB", (640, 480))
    draw = ImageDraw.Draw(image)
    for i in range(0, 640, 8):
        draw.rectangle([i, 0, i + 7, 479], fill=((i * 7) % 256, (i * 3) % 256, 255 - i % 256))
    image = image.effect_spread(12)
    buffer = io.BytesIO()
    image.save(buffer, "JPEG", quality=90)
    write(path, buffer.getvalue())


def main():
    out = sys.argv[1]
    files = sys.argv[2:]
    if files[:1] == ["--picture"]:
        make_picture(files[1])
        files = files[1:]
    for original in files:
        with open(original, "rb") as f:
            data = f.read()
        name = os.path.basename(original).encode()
        crc = zlib.crc32(data)
        for label, encode in ENCODERS.items():
            stem = os.path.join(out, "%s-%s" % (label, os.path.basename(original)))
            single = article("%s yEnc (1/1)" % name.decode(), [
                b"=ybegin line=128 size=%d name=%s\r\n" % (len(data), name),
                encode(data),
                b"=yend size=%d crc32=%08x\r\n" % (len(data), crc)])
            write(stem + ".single", single)
            print("%s.single\t%s" % (stem, original))
            step = max(1, (len(data) + 2) // 3)
            for index, begin in enumerate(range(0, len(data), step), start=1):
                piece = data[begin:begin + step]
                lines = [
                    b"=ybegin part=%d total=3 line=128 size=%d name=%s\r\n" % (index, len(data), name),
                    b"=ypart begin=%d end=%d\r\n" % (begin + 1, begin + len(piece)),
                    encode(piece),
                    b"=yend size=%d part=%d pcrc32=%08x crc32=%08x\r\n" % (
                        len(piece), index, zlib.crc32(piece), crc)]
                path = "%s.part%d" % (stem, index)
                write(path, article("%s yEnc (%d/3)" % (name.decode(), index), lines))
                print("%s\t%s" % (path, original))


if __name__ == "__main__":
    main()
