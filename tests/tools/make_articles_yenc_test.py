#!/usr/bin/python3
"""The yEnc posts of tools/make-articles.py, read by decoders nobody here wrote (Debian's
python3-sabyenc on the articles as a news server sends them, python3-yenc on the encoded
lines), and the NZB that lists them, read as an NZB reader reads it."""
import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zlib

import _yenc
import sabyenc3

SCRIPT = os.path.join(os.environ.get("VEXIL_SOURCE_DIR", os.path.join(
    os.path.dirname(__file__), "..", "..")), "tools", "make-articles.py")
NZB = "{http://www.newzbin.com/DTD/2003/nzb}"
GROUP = "alt.binaries.pictures.yenc"


def server_form(article):
    """The article as a server sends it: CR LF, a leading dot doubled."""
    lines = article.split(b"\n")[:-1]
    return b"".join((b"." + l if l.startswith(b".") else l) + b"\r\n" for l in lines)


def fields(line):
    return dict(re.findall(rb"(\w+)=(\S+)", line.split(b" name=")[0]))


class Post:
    """A yEnc article split into its header, its yEnc lines and the encoded lines."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.raw = f.read()
        head, _, body = self.raw.partition(b"\n\n")
        self.headers = dict(l.split(b": ", 1) for l in head.split(b"\n"))
        lines = body.split(b"\n")[:-1]
        self.begin = lines[0]
        self.ypart = lines[1] if lines[1].startswith(b"=ypart ") else None
        self.end = lines[-1]
        self.encoded = lines[2 if self.ypart else 1:-1]


class YEncSetsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.out = cls.tmp.name
        subprocess.run([sys.executable, SCRIPT, cls.out, "--group", GROUP, "--seed", "5",
                        "yenc:8:30", "yparts:6:90:3", "yparts:2:40:5", "pictures:1:10"],
                       check=True)
        with open(os.path.join(cls.out, "manifest.tsv"), encoding="latin-1") as f:
            cls.rows = [l.rstrip("\n").split("\t") for l in f]
        cls.posts = {r[0]: Post(os.path.join(cls.out, r[0]))
                     for r in cls.rows if r[1] in ("yenc", "ypart")}

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def original(self, name):
        with open(os.path.join(self.out, "originals", name), "rb") as f:
            return f.read()

    def files(self):
        """The posts by file name: {name: {part number: (manifest row, Post)}}."""
        files = {}
        for row in self.rows:
            if row[0] in self.posts:
                post = self.posts[row[0]]
                name = post.begin.split(b" name=", 1)[1].decode()
                part = int(fields(post.begin).get(b"part", b"1"))
                self.assertNotIn(part, files.setdefault(name, {}), row)
                files[name][part] = (row, post)
        return files

    def test_peer_decoders_give_back_every_picture(self):
        files = self.files()
        self.assertEqual(len(files), 16)
        for name, parts in files.items():
            whole = bytearray(len(self.original(name)))
            for number, (row, post) in parts.items():
                data, decoded_name, crc_ok = sabyenc3.decode_usenet_chunks(
                    [server_form(post.raw.partition(b"\n\n")[2])])
                self.assertTrue(crc_ok, row)
                self.assertEqual(decoded_name, name)
                again, crc, _ = _yenc.decode_string(b"".join(post.encoded), 0, 0)
                self.assertEqual(again, data, row)
                end = fields(post.end)
                self.assertEqual(int(end[b"size"]), len(data), row)
                if post.ypart:
                    self.assertEqual(int(end[b"pcrc32"], 16), zlib.crc32(data), row)
                    self.assertEqual(int(end[b"part"]), number, row)
                    first = int(fields(post.ypart)[b"begin"])
                    last = int(fields(post.ypart)[b"end"])
                    self.assertEqual(last - first + 1, len(data), row)
                    whole[first - 1:last] = data
                else:
                    whole[:] = data
                self.assertEqual((b"crc32" in end), number == len(parts), row)
                if b"crc32" in end:
                    self.assertEqual(int(end[b"crc32"], 16), zlib.crc32(self.original(name)))
            self.assertEqual(bytes(whole), self.original(name), name)

    def test_lines_follow_the_posters_rules(self):
        starts = {}
        for post in self.posts.values():
            self.assertRegex(post.begin, rb" line=128 ")
            for line in post.encoded:
                self.assertLessEqual(len(line), 129)
                # Only an escape pair may take a line past 128 characters.
                if len(line) == 129:
                    self.assertEqual(line[-2:-1], b"=", line)
                self.assertTrue(line and line[:1] not in b"\t " and line[-1:] not in b"\t ")
                self.assertNotRegex(line, rb"[\x00\r]")
                self.assertIsNone(re.search(rb"=(?![@JM}`In])", line), line)
                poster = post.headers[b"From"]
                starts.setdefault(poster, set()).add(line[:1])
        # One poster escapes a leading dot, the other leaves it to the server's doubling.
        self.assertEqual(len(starts), 2)
        self.assertEqual(sum(b"." in s for s in starts.values()), 1)

    def test_subjects_count_the_parts_in_the_styles_in_use(self):
        styles = set()
        for row in self.rows:
            if row[0] not in self.posts:
                continue
            post = self.posts[row[0]]
            counter = re.findall(r"[(\[](\d+)/(\d+)[)\]]", row[3])[-1]
            b = fields(post.begin)
            self.assertEqual((int(counter[0]), int(counter[1])),
                             (int(b.get(b"part", b"1")), int(b.get(b"total", b"1"))), row)
            self.assertEqual(row[4] != "-", counter[0] == "1", row)
            style = re.sub(r"^[A-Z][a-z ]+ - ", "T - ", re.sub(r"[a-z]+\d+\.jpg", "F", row[3]))
            styles.add(re.sub(r"\d+", "9", style))
        self.assertEqual(styles, {'"F" yEnc (9/9)', '[9/9] - "F" yEnc (9/9)',
                                  'T - "F" yEnc (9/9) 9', 'T - F (9/9)'})

    def test_some_posts_come_last_part_first(self):
        orders = [[n for n, _ in sorted(((int(fields(p.begin).get(b"part", b"1")), r[0])
                                         for r, p in parts.values()), key=lambda x: x[1])]
                  for parts in self.files().values() if len(parts) > 1]
        self.assertIn([3, 2, 1], orders)
        self.assertIn([1, 2, 3], orders)

    def test_nzb_lists_every_post_with_its_segments(self):
        root = ET.parse(os.path.join(self.out, "posts.nzb")).getroot()
        self.assertEqual(root.tag, NZB + "nzb")
        by_id = {p.headers[b"Message-ID"].decode(): p for p in self.posts.values()}
        files = self.files()
        listed = set()
        for f in root.iter(NZB + "file"):
            self.assertEqual([g.text for g in f.iter(NZB + "group")], [GROUP])
            segments = list(f.iter(NZB + "segment"))
            self.assertEqual([s.get("number") for s in segments],
                             [str(i) for i in range(1, len(segments) + 1)])
            name = re.search(r"[a-z]+\d+\.jpg", f.get("subject")).group(0)
            self.assertEqual(len(segments), len(files[name]))
            for s in segments:
                post = by_id["<%s>" % s.text]
                self.assertEqual(int(s.get("bytes")), len(post.raw) + post.raw.count(b"\n"))
                self.assertEqual(int(fields(post.begin).get(b"part", b"1")), int(s.get("number")))
                self.assertEqual(post.headers[b"From"].decode(), f.get("poster"))
            listed.add(name)
        self.assertEqual(listed, set(files))


if __name__ == "__main__":
    unittest.main()
