#!/usr/bin/python3
"""The yEnc side of bench/yenc-decode.sh, over Debian's python3-sabyenc.

yenc-decode-peer.py make DIR COUNT: writes COUNT pictures of 1 MB (noise, fixed seed) into
DIR/originals and one single-part yEnc article for each into DIR/articles, half encoded by
sabyenc and half by python3-yenc, in the form a news server sends them (CR LF, a leading
dot doubled, the closing "." line).
yenc-decode-peer.py decode OUTDIR FILE...: the peer's job, the one vexil-decode does: reads
each article, decodes it with sabyenc and writes the file under its yEnc name into OUTDIR;
exits non-zero on a CRC error.
yenc-decode-peer.py time TIMES COMMAND...: runs COMMAND with its output thrown away and
writes "WALL USER SYSTEM" in seconds to TIMES (to the microsecond, where /usr/bin/time
gives hundredths, too coarse for runs of a twentieth of a second); exits with COMMAND's
status, 128 + the signal's number when a signal killed it.
"""
import os
import random
import resource
import subprocess
import sys
import time
import zlib

import _yenc
import sabyenc3

PICTURE_SIZE = 1048576


def encode(data, index):
    if index % 2 == 0:
        encoded, _crc = sabyenc3.encode(data)
    else:
        encoded, _crc, _column = _yenc.encode_string(data, 0, 0)
    return encoded if encoded.endswith(b"\r\n") else encoded + b"\r\n"


def server_form(text):
    lines = text.split(b"\r\n")[:-1]
    return b"".join((b"." + line if line.startswith(b".") else line) + b"\r\n"
                    for line in lines) + b".\r\n"


def make(folder, count):
    os.makedirs(os.path.join(folder, "originals"), exist_ok=True)
    os.makedirs(os.path.join(folder, "articles"), exist_ok=True)
    rng = random.Random(1996)
    for i in range(count):
        name = b"picture-%02d.jpg" % i
        data = rng.randbytes(PICTURE_SIZE)
        with open(os.path.join(folder, "originals", name.decode()), "wb") as f:
            f.write(data)
        head = (b"From: poster@example.invalid\r\nNewsgroups: alt.binaries.pictures.test\r\n"
                b"Subject: [%d/%d] - \"%s\" yEnc (1/1) %d\r\n"
                b"Message-ID: <yenc%d@example.invalid>\r\n\r\n"
                % (i + 1, count, name, len(data), i))
        body = (b"=ybegin line=128 size=%d name=%s\r\n" % (len(data), name) + encode(data, i)
                + b"=yend size=%d crc32=%08x\r\n" % (len(data), zlib.crc32(data)))
        with open(os.path.join(folder, "articles", "article-%02d.txt" % i), "wb") as f:
            f.write(server_form(head + body))


def decode(folder, files):
    for path in files:
        with open(path, "rb") as f:
            raw = f.read()
        data, name, crc_correct = sabyenc3.decode_usenet_chunks([raw])
        if not crc_correct:
            sys.exit("%s: CRC error" % path)
        with open(os.path.join(folder, os.path.basename(name)), "wb") as f:
            f.write(data)


def timed(times, command):
    start = time.perf_counter()
    status = subprocess.call(command, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    with open(times, "w") as f:
        f.write("%.6f %.6f %.6f\n" % (wall, usage.ru_utime, usage.ru_stime))
    sys.exit(128 - status if status < 0 else status)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]))
    elif len(sys.argv) >= 4 and sys.argv[1] == "time":
        timed(sys.argv[2], sys.argv[3:])
    elif len(sys.argv) >= 4 and sys.argv[1] == "decode":
        decode(sys.argv[2], sys.argv[3:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
