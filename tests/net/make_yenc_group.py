#!/usr/bin/python3
"""Writes the articles of a picture group as posters make them today, for the tests of a
whole run with joining on: yEnc by Debian's encoders (python3-sabyenc, python3-yenc),
uuencode by Python's binascii (grave accents for zero, as sharutils writes), and one yEnc file by hand whose lines start with ".".

make_yenc_group.py GROUP OUTDIR: writes OUTDIR/articles/NN.txt in posting order and
OUTDIR/pictures/NAME for every picture a client must end up with, under the name it is
saved as ("hostile.jpg" holds the bytes of the post whose yEnc name is hostile), with a line
"NAME WIDTH HEIGHT" for each in OUTDIR/pictures.txt.
The group holds: a single-part post; a post in three parts posted 3, 1, 2; a picture whose
crc32 is wrong (kept all the same); a file whose encoded lines start with "." (the server
doubles them); a post in three parts whose second part is never posted; a uuencoded post
in three parts; a yEnc name that climbs out of the folder.
"""
import binascii
import io
import os
import sys
import zlib

import _yenc
import sabyenc3
from PIL import Image, ImageDraw

LINE = 128


SIZES = {}


def picture(seed, size):
    image = Image.new("RGB", size)
    draw = ImageDraw.Draw(image)
    for x in range(0, size[0], 6):
        draw.rectangle([x, 0, x + 5, size[1]],
                       fill=((x * seed) % 256, (x * 3 + seed * 40) % 256, 255 - x % 256))
    image = image.effect_spread(6 + seed)
    out = io.BytesIO()
    image.save(out, "JPEG", quality=88)
    SIZES[out.getvalue()] = size
    return out.getvalue()


def sabyenc(data):
    encoded, _crc = sabyenc3.encode(data)
    return encoded if encoded.endswith(b"\r\n") else encoded + b"\r\n"


def pyyenc(data):
    encoded, _crc, column = _yenc.encode_string(data, 0, 0)
    return encoded if column == 0 else encoded + b"\r\n"


def dotted(data):
    """yEnc with only the critical bytes escaped, a line ended early wherever the next
    character is an unescaped ".", so that many lines start with one."""
    lines, line = [], bytearray()
    for byte in data:
        out = (byte + 42) % 256
        if len(line) >= LINE // 2 and out == ord("."):
            lines.append(bytes(line))
            line = bytearray()
        if out in (0, 10, 13, 61):
            line += bytes((61, (out + 64) % 256))
        else:
            line.append(out)
        if len(line) >= LINE:
            lines.append(bytes(line))
            line = bytearray()
    if line:
        lines.append(bytes(line))
    if sum(1 for l in lines if l.startswith(b".")) < 3:
        sys.exit("the dotted picture has too few lines that start with \".\"")
    return b"".join(l + b"\r\n" for l in lines)


class Group:
    def __init__(self, name, out):
        self.name, self.out, self.count = name, out, 0
        os.makedirs(os.path.join(out, "articles"), exist_ok=True)
        os.makedirs(os.path.join(out, "pictures"), exist_ok=True)

    def post(self, subject, body):
        self.count += 1
        head = ("From: poster@example.com\r\nNewsgroups: %s\r\nSubject: %s\r\n"
                "Message-ID: <yenc%d.%s@example.invalid>\r\nLines: %d\r\n\r\n"
                % (self.name, subject, self.count, self.name, body.count(b"\n"))).encode()
        with open(os.path.join(self.out, "articles", "%02d.txt" % self.count), "wb") as f:
            f.write(head + body)

    def expect(self, name, data):
        with open(os.path.join(self.out, "pictures", name), "wb") as f:
            f.write(data)
        with open(os.path.join(self.out, "pictures.txt"), "a") as f:
            f.write("%s %d %d\n" % ((name,) + SIZES[data]))


def single(name, data, encode, crc=None):
    crc = zlib.crc32(data) if crc is None else crc
    return (b"=ybegin line=128 size=%d name=%s\r\n" % (len(data), name.encode()) + encode(data)
            + b"=yend size=%d crc32=%08x\r\n" % (len(data), crc))


def parts(name, data, count, encode):
    step = (len(data) + count - 1) // count
    bodies = []
    for index in range(1, count + 1):
        begin = (index - 1) * step
        piece = data[begin:begin + step]
        bodies.append(
            b"=ybegin part=%d total=%d line=128 size=%d name=%s\r\n"
            % (index, count, len(data), name.encode())
            + b"=ypart begin=%d end=%d\r\n" % (begin + 1, begin + len(piece)) + encode(piece)
            + b"=yend size=%d part=%d pcrc32=%08x crc32=%08x\r\n"
            % (len(piece), index, zlib.crc32(piece), zlib.crc32(data)))
    return bodies


def uu_parts(name, data, count):
    lines = [binascii.b2a_uu(data[i:i + 45], backtick=True).replace(b"\n", b"\r\n")
             for i in range(0, len(data), 45)]
    step = (len(lines) + count - 1) // count
    bodies = [b"".join(lines[i:i + step]) for i in range(0, len(lines), step)]
    bodies[0] = b"begin 644 %s\r\n" % name.encode() + bodies[0]
    bodies[-1] += b"`\r\nend\r\n"
    return bodies


def main():
    group = Group(sys.argv[1], sys.argv[2])
    one = picture(1, (320, 240))
    group.post('[1/7] - "single.jpg" yEnc (1/1) %d' % len(one), single("single.jpg", one, sabyenc))
    group.expect("single.jpg", one)

    multi = picture(2, (480, 360))
    bodies = parts("multi.jpg", multi, 3, pyyenc)
    for index in (3, 1, 2):
        group.post('[2/7] - "multi.jpg" yEnc (%d/3) %d' % (index, len(multi)), bodies[index - 1])
    group.expect("multi.jpg", multi)

    bad = picture(3, (300, 200))
    group.post('[3/7] - "badcrc.jpg" yEnc (1/1) %d' % len(bad),
               single("badcrc.jpg", bad, sabyenc, zlib.crc32(bad) ^ 0x5A5A))
    group.expect("badcrc.jpg", bad)

    dots = picture(4, (320, 240))
    group.post('[4/7] - "dots.jpg" yEnc (1/1) %d' % len(dots), single("dots.jpg", dots, dotted))
    group.expect("dots.jpg", dots)

    missing = picture(5, (400, 300))
    bodies = parts("missing.jpg", missing, 3, sabyenc)
    for index in (1, 3):
        group.post('[5/7] - "missing.jpg" yEnc (%d/3) %d' % (index, len(missing)),
                   bodies[index - 1])

    uu = picture(6, (360, 270))
    for index, body in enumerate(uu_parts("uu.jpg", uu, 3), start=1):
        group.post("uu.jpg (%d/3)" % index, body)
    group.expect("uu.jpg", uu)

    hostile = picture(7, (200, 150))
    group.post('[7/7] - "escape.jpg" yEnc (1/1) %d' % len(hostile),
               single("../../escape.jpg", hostile, pyyenc))
    group.expect("hostile.jpg", hostile)


if __name__ == "__main__":
    main()
