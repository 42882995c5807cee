#!/usr/bin/python3
"""Writes ready-made news articles for a picture group, to post with tools/inn/post-article.

usage: make-articles.py OUTDIR [--group GROUP] [--seed N] [--prefix P] [--photos DIR] SET...

It needs Pillow: run it with Debian's /usr/bin/python3 (package python3-pil).

SET is one of
  sample            a mixed picture group: a uuencoded JPEG, a MIME base64 PNG, a MIME
                    GIF in quoted-printable company, two uuencoded files in one article, a
                    multipart/alternative text, a plain text article, a post in three
                    uuencoded parts, an article too short for the line limits
  pictures:N[:KB]   N picture articles, uuencoded and MIME base64 JPEGs by turns, of about
                    KB kilobytes each (default 20)
  text:N            N plain text articles
  yenc:N[:KB]       N yEnc picture posts in one article each, of about KB kilobytes
                    (default 40)
  yparts:N[:KB[:PARTS]]
                    N yEnc picture posts of about KB kilobytes (default 120), each in PARTS
                    articles (default 3); every third post is posted last part first
  originals:N[:MIN:MAX]
                    no articles: N JPEGs in OUTDIR/originals/ (corpus-NNNN.jpg) of MIN to
                    MAX kilobytes (default 50 to 2048), smaller ones more often, for a
                    benchmark that encodes them with other tools

Each article is a file OUTDIR/NNNN-kind.txt, numbered in posting order; the pictures they
carry are also written to OUTDIR/originals/, and OUTDIR/manifest.tsv lists, one article a
line: file, kind, Lines, subject, and the attachment names (comma-separated, "-" for none).
The same seed gives the same articles.

The yEnc posts are written as today's posters write them: lines of 128 characters (129 when
an escape pair would be cut or a TAB or space ends the line), the bytes escaped as yEnc 1.3
asks (NUL, LF, CR and "=" always, TAB and space at either end of a line), "=ypart" and
"pcrc32" in every part and the whole file's "crc32" in the last one. Two posters take turns,
four posts each: one escapes a "." at the start of a line, the other leaves it for the
server to double. The subjects take turns among the
styles in use ('"name.jpg" yEnc (1/3)', '[2/5] - "name.jpg" yEnc (1/3)', 'Title -
"name.jpg" yEnc (1/3) 123456' with the file's size, 'Title - name.jpg (1/3)'). In the
manifest a post's picture is named on its first part. OUTDIR/posts.nzb lists every yEnc
post of the run as an NZB (file, groups, segments with bytes, number and Message-ID), for
programs that fetch a post from its NZB.

The pictures are made of coloured noise unless --photos DIR names a folder of photographs:
then each picture is a cut of one of DIR's JPEG and PNG files, scaled to the size its set
asks for; every photograph is used once before any is used again.
"""
import argparse
import base64
import binascii
import io
import os
import random
import re
import sys
import zlib
from xml.sax.saxutils import escape as xml_escape, quoteattr
from email.mime.base import MIMEBase
from email.mime.image import MIMEImage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email import encoders, policy

# Pillow is imported once the command line is known to be good (see need_pillow), so that
# --help and a wrong argument need no Pillow and a missing Pillow is named.
Image = ImageDraw = None

DATE = "Tue, 01 Dec 2026 12:00:00 +0000"
DATE_UNIX = 1796126400  # DATE in seconds, for the NZB

YENC_LINE = 128
# The byte each byte becomes before escaping: yEnc adds 42.
YENC_SHIFT = bytes((b + 42) % 256 for b in range(256))
YENC_CRITICAL = re.compile(rb"[\x00\n\r=]")
YENC_POSTERS = ("Picture Poster <pictures@example.invalid>",
                "Night Owl <owl@example.invalid>")
YENC_TITLES = ("Harbour at dusk", "Old town walk", "Garden in spring", "Mountain road")


def encode(img, kind):
    """The bytes of img as a file of kind jpg, png or gif."""
    buf = io.BytesIO()
    if kind == "jpg":
        img.save(buf, "JPEG", quality=90)
    elif kind == "png":
        img.save(buf, "PNG")
    else:
        img.convert("P", palette=Image.ADAPTIVE).save(buf, "GIF")
    return buf.getvalue()


class Photographs:
    """The JPEG and PNG photographs of a folder, cut and scaled into pictures of a size."""
    LONGEST = 1600  # each photograph is decoded once, no larger than this
    BITS_PER_PIXEL = {"jpg": 2.0, "png": 14.0, "gif": 6.0}  # first guesses for a photograph

    def __init__(self, folder):
        try:
            names = sorted(n for n in os.listdir(folder)
                           if n.lower().endswith((".jpg", ".jpeg", ".png")))
        except OSError as e:
            sys.exit("make-articles.py: --photos %s: %s" % (folder, e.strerror))
        if not names:
            sys.exit("make-articles.py: --photos %s: no JPEG or PNG files there" % folder)
        self.paths = [os.path.join(folder, n) for n in names]
        self.decoded = {}
        self.order = []

    def load(self, path):
        if path not in self.decoded:
            try:
                with Image.open(path) as img:
                    img.draft("RGB", (self.LONGEST, self.LONGEST))
                    photo = img.convert("RGB")
            except (OSError, ValueError, Image.DecompressionBombError) as e:
                sys.exit("make-articles.py: --photos: cannot read %s: %s" % (path, e))
            photo.thumbnail((self.LONGEST, self.LONGEST), Image.LANCZOS)
            self.decoded[path] = photo
        return self.decoded[path]

    def next_photo(self, rng):
        # Every photograph once, in an order of the seed, before any comes again.
        if not self.order:
            self.order = self.paths[:]
            rng.shuffle(self.order)
        return self.load(self.order.pop())

    def picture(self, rng, kind, kb):
        """The bytes of a picture of about kb kilobytes cut from the next photograph."""
        photo = self.next_photo(rng)
        # A cut of 70 to 100 per cent at a place of the seed, so that a photograph that
        # comes again makes another picture.
        width, height = photo.size
        share = rng.uniform(0.7, 1.0)
        cut_w, cut_h = max(1, int(width * share)), max(1, int(height * share))
        x, y = rng.randrange(width - cut_w + 1), rng.randrange(height - cut_h + 1)
        cut = photo.crop((x, y, x + cut_w, y + cut_h))
        # Never smaller than asked, where the cut allows: the size decides which articles
        # pass a reader's line limits.
        least, aim = kb * 1024, kb * 1024 * 1.1
        scale = min(1.0, (aim * 8 / self.BITS_PER_PIXEL[kind] / (cut_w * cut_h)) ** 0.5)
        for _ in range(8):
            size = (max(8, round(cut_w * scale)), max(8, round(cut_h * scale)))
            data = encode(cut.resize(size, Image.LANCZOS), kind)
            if least <= len(data) < least * 1.25 or (scale == 1.0 and len(data) < least):
                break
            scale = min(1.0, scale * (aim / len(data)) ** 0.5)
        return data


class Maker:
    def __init__(self, out, group, seed, prefix):
        self.out = out
        self.group = group
        self.prefix = prefix
        self.rng = random.Random(seed)
        self.seed = seed
        self.count = 0
        self.manifest = []
        self.nzb_files = []
        os.makedirs(os.path.join(out, "originals"), exist_ok=True)

    # ---------------------------------------------------------------- pictures
    photos = None  # a Photographs when the pictures come from --photos

    def picture(self, name, kind, kb):
        """A picture of about kb kilobytes whose bytes are kept in originals/."""
        if self.photos:
            data = self.photos.picture(self.rng, kind, kb)
        else:
            data = self.generated(kind, kb)
        with open(os.path.join(self.out, "originals", name), "wb") as f:
            f.write(data)
        return data

    def generated(self, kind, kb):
        side = max(8, int((kb * 1024 / 1.6) ** 0.5))
        for _ in range(4):
            noise = Image.frombytes("RGB", (side, side), self.rng.randbytes(side * side * 3))
            img = Image.new("RGB", (side, side), (self.rng.randrange(256), 80, 160))
            img = Image.blend(img, noise, 0.6)
            ImageDraw.Draw(img).ellipse((side // 4, side // 4, side * 3 // 4, side * 3 // 4),
                                        fill=(250, 220, 40))
            data = encode(img, kind)
            if kind != "jpg" or abs(len(data) - kb * 1024) < kb * 1024 * 0.2:
                break
            side = max(8, int(side * (kb * 1024 / len(data)) ** 0.5))
        return data

    # ---------------------------------------------------------------- articles
    def headers(self, subject, lines, extra="", poster="Vexil Test <poster@example.invalid>"):
        self.count += 1
        self.msgid = "<%s.%d.%d@example.invalid>" % (self.prefix, self.seed, self.count)
        return ("From: %s\n"
                "Newsgroups: %s\nSubject: %s\nMessage-ID: %s\nDate: %s\nLines: %d\n%s"
                % (poster, self.group, subject, self.msgid, DATE, lines, extra))

    def write(self, kind, subject, head, body, attachments):
        """Writes the article; returns its size in bytes as the server sends it (CR LF)."""
        lines = body.count("\n")
        header = head(lines)
        name = "%04d-%s.txt" % (self.count, kind)
        text = header + "\n" + body
        with open(os.path.join(self.out, name), "w", encoding="latin-1", newline="\n") as f:
            f.write(text)
        self.manifest.append((name, kind, str(lines), subject, ",".join(attachments) or "-"))
        return len(text) + text.count("\n")

    def plain(self, kind, subject, body, attachments=(), poster=None):
        extra = {} if poster is None else {"poster": poster}
        return self.write(kind, subject, lambda n: self.headers(subject, n, **extra), body,
                          attachments)

    def mime(self, kind, subject, message, attachments=()):
        text = message.as_string(policy=policy.compat32.clone(linesep="\n"))
        head, _, body = text.partition("\n\n")
        if not body.endswith("\n"):
            body += "\n"
        mime_head = "\n".join(l for l in head.split("\n") if l) + "\n"
        self.write(kind, subject, lambda n: self.headers(subject, n, mime_head), body,
                   attachments)

    @staticmethod
    def uuencode(name, data):
        out = ["begin 644 %s" % name]
        for i in range(0, len(data), 45):
            out.append(binascii.b2a_uu(data[i:i + 45], backtick=True).decode("ascii").rstrip("\n"))
        out += ["`", "end"]
        return "\n".join(out) + "\n"

    def uu_picture(self, name, kb):
        data = self.picture(name, "jpg", kb)
        body = "Here is %s.\n\n%s" % (name, self.uuencode(name, data))
        self.plain("uu", "%s - uuencoded picture (1/1)" % name, body, [name])

    def mime_picture(self, name, kind, kb, text="A picture for the group."):
        data = self.picture(name, kind, kb)
        msg = MIMEMultipart()
        msg.attach(MIMEText(text, "plain", "us-ascii"))
        part = MIMEImage(data, {"jpg": "jpeg"}.get(kind, kind))
        part.add_header("Content-Disposition", "attachment", filename=name)
        msg.attach(part)
        self.mime("mime", "%s - MIME picture" % name, msg, [name])

    def text_article(self, i):
        words = ["picture", "group", "scan", "colour", "request", "thanks", "series", "old"]
        body = "\n".join(" ".join(self.rng.choice(words) for _ in range(12)) for _ in range(20))
        self.plain("text", "Discussion %d about the pictures" % i, body + "\n")

    def sample(self):
        n = self.count
        self.uu_picture("sunset%d.jpg" % n, 12)
        self.mime_picture("meadow%d.png" % n, "png", 8)
        # A GIF beside a quoted-printable text with 8-bit characters.
        data = self.picture("banner%d.gif" % n, "gif", 4)
        msg = MIMEMultipart()
        qp = MIMEText("Gr\xfc\xdfe aus M\xfcnchen = Munich, a line long enough to be wrapped "
                      "by the quoted-printable encoder because it runs past seventy-six "
                      "characters.", "plain", "iso-8859-1")
        msg.attach(qp)
        gif = MIMEImage(data, "gif")
        gif.add_header("Content-Disposition", "attachment", filename="banner%d.gif" % n)
        msg.attach(gif)
        self.mime("mime-qp", "banner%d.gif - GIF with a QP text" % n, msg, ["banner%d.gif" % n])
        # Two uuencoded files in one article.
        a = self.picture("pair%da.jpg" % n, "jpg", 6)
        b = self.picture("pair%db.jpg" % n, "jpg", 6)
        body = ("Two pictures.\n\n" + self.uuencode("pair%da.jpg" % n, a) + "\n"
                + self.uuencode("pair%db.jpg" % n, b))
        self.plain("uu-two", "pair%d - two uuencoded pictures (1/1)" % n, body,
                   ["pair%da.jpg" % n, "pair%db.jpg" % n])
        alt = MIMEMultipart("alternative")
        alt.attach(MIMEText("Plain words about the pictures.", "plain"))
        alt.attach(MIMEText("<p>Plain words about the pictures.</p>", "html"))
        self.mime("alternative", "Alternative text %d" % n, alt)
        self.text_article(n)
        # A post in three parts: every part says /3 and is passed over by the browser.
        big = self.picture("series%d.jpg" % n, "jpg", 30)
        uu = self.uuencode("series%d.jpg" % n, big).split("\n")
        third = len(uu) // 3 + 1
        for part in range(3):
            chunk = "\n".join(uu[part * third:(part + 1) * third]).strip("\n") + "\n"
            self.plain("part", "series%d.jpg (%d/3)" % (n, part + 1), chunk,
                       ["series%d.jpg" % n] if part == 0 else [])
        self.plain("short", "Short note %d" % n, "ok\n")

    # ---------------------------------------------------------------- yEnc
    @staticmethod
    def yencode(data, escape_dot):
        """The yEnc lines of data, each ended by a line feed."""
        stream = YENC_CRITICAL.sub(lambda m: b"=" + bytes(((m[0][0] + 64) % 256,)),
                                   data.translate(YENC_SHIFT))
        escaped = {c: b"=" + bytes(((c + 64) % 256,)) for c in b"\t ."}
        lines, pos = [], 0
        while pos < len(stream):
            line = b""
            if stream[pos] in b"\t " or (escape_dot and stream[pos] == ord(".")):
                line, pos = escaped[stream[pos]], pos + 1
            end = pos + YENC_LINE - len(line)
            # "=" only ever starts an escape pair (escaped bytes are "@", "J", "M", "}"):
            # such a pair is never cut.
            if end <= len(stream) and stream[end - 1] == ord("="):
                end += 1
            line += stream[pos:end]
            pos = end
            if line[-1] in b"\t ":
                line = line[:-1] + escaped[line[-1]]
            lines.append(line + b"\n")
        return b"".join(lines).decode("latin-1")

    @staticmethod
    def yenc_subject(style, name, size, part, parts, index, posts):
        title = YENC_TITLES[index // 4 % len(YENC_TITLES)]
        return ['"%s" yEnc (%d/%d)' % (name, part, parts),
                '[%d/%d] - "%s" yEnc (%d/%d)' % (index + 1, posts, name, part, parts),
                '%s - "%s" yEnc (%d/%d) %d' % (title, name, part, parts, size),
                '%s - %s (%d/%d)' % (title, name, part, parts)][style % 4]

    def yenc_post(self, index, posts, kb, parts):
        """One yEnc picture post of parts articles; its parts are listed in the NZB."""
        n = self.count
        name = "%s%05d.jpg" % ("yparts" if parts > 1 else "yenc", n)
        data = self.picture(name, "jpg", kb)
        poster = index // 4 % 2
        style = index % 4
        parts = min(parts, len(data))  # no part without a byte
        bounds = [len(data) * i // parts for i in range(parts + 1)]
        pieces = [data[bounds[i]:bounds[i + 1]] for i in range(parts)]
        order = list(range(parts))
        if parts > 1 and index % 3 == 2:
            order.reverse()
        crc = zlib.crc32(data)
        segments = {}
        for i in order:
            piece, part = pieces[i], i + 1
            subject = self.yenc_subject(style, name, len(data), part, parts, index, posts)
            if parts == 1:
                body = "=ybegin line=%d size=%d name=%s\n" % (YENC_LINE, len(data), name)
                tail = "=yend size=%d crc32=%08x\n" % (len(data), crc)
            else:
                body = ("=ybegin part=%d total=%d line=%d size=%d name=%s\n"
                        "=ypart begin=%d end=%d\n"
                        % (part, parts, YENC_LINE, len(data), name, bounds[i] + 1, bounds[i + 1]))
                tail = "=yend size=%d part=%d pcrc32=%08x%s\n" % (
                    len(piece), part, zlib.crc32(piece),
                    " crc32=%08x" % crc if part == parts else "")
            body += self.yencode(piece, escape_dot=poster == 0) + tail
            size = self.plain("ypart" if parts > 1 else "yenc", subject, body,
                              [name] if part == 1 else [], YENC_POSTERS[poster])
            segments[part] = (size, self.msgid)
        first = self.yenc_subject(style, name, len(data), 1, parts, index, posts)
        self.nzb_files.append((YENC_POSTERS[poster], first,
                               [segments[p] for p in sorted(segments)]))

    def yenc_posts(self, count, kb, parts):
        for i in range(count):
            self.yenc_post(i, count, kb, parts)

    def write_nzb(self):
        out = ['<?xml version="1.0" encoding="iso-8859-1"?>',
               '<!DOCTYPE nzb PUBLIC "-//newzBin//DTD NZB 1.1//EN" '
               '"http://www.newzbin.com/DTD/nzb/nzb-1.1.dtd">',
               '<nzb xmlns="http://www.newzbin.com/DTD/2003/nzb">']
        for poster, subject, segments in self.nzb_files:
            out.append(' <file poster=%s date="%d" subject=%s>'
                       % (quoteattr(poster), DATE_UNIX, quoteattr(subject)))
            out.append('  <groups><group>%s</group></groups>' % xml_escape(self.group))
            out.append('  <segments>')
            for number, (size, msgid) in enumerate(segments, start=1):
                out.append('   <segment bytes="%d" number="%d">%s</segment>'
                           % (size, number, xml_escape(msgid[1:-1])))
            out += ['  </segments>', ' </file>']
        out.append('</nzb>')
        with open(os.path.join(self.out, "posts.nzb"), "w", encoding="latin-1") as f:
            f.write("\n".join(out) + "\n")

    def pictures(self, count, kb):
        for i in range(count):
            n = self.count
            if i % 2 == 0:
                self.uu_picture("bulk%05d.jpg" % n, kb)
            else:
                self.mime_picture("bulk%05d.jpg" % n, "jpg", kb)

    def originals(self, count, least, most):
        for i in range(count):
            r = self.rng.random()
            self.picture("corpus-%04d.jpg" % i, "jpg", least + int(r * r * (most - least)))

    def finish(self):
        path = os.path.join(self.out, "manifest.tsv")
        with open(path, "a", encoding="latin-1") as f:
            for row in self.manifest:
                f.write("\t".join(row) + "\n")
        if self.nzb_files:
            self.write_nzb()


def need_pillow():
    global Image, ImageDraw
    try:
        from PIL import Image, ImageDraw
    except ImportError:
        sys.exit("make-articles.py: needs Pillow (PIL), which this Python (%s) lacks: run it "
                 "with Debian's /usr/bin/python3 after 'apt-get install python3-pil'"
                 % sys.executable)


def parse_set(text):
    """A SET argument as (kind, numbers); exits with a message naming it when it is wrong."""
    kind, _, rest = text.partition(":")
    fields = rest.split(":") if rest else []
    forms = {"sample": "no numbers", "pictures": "pictures:N[:KB]", "text": "text:N",
             "originals": "originals:N[:MIN:MAX]", "yenc": "yenc:N[:KB]",
             "yparts": "yparts:N[:KB[:PARTS]]"}
    form = forms.get(kind)
    if form is None:
        sys.exit("make-articles.py: unknown set '%s' (sets: sample, pictures:N[:KB], text:N, "
                 "originals:N[:MIN:MAX], yenc:N[:KB], yparts:N[:KB[:PARTS]])" % text)
    most = form.count(":")
    if (len(fields) > most or not all(f.isdigit() for f in fields)
            or (kind == "originals" and len(fields) == 2)
            or (kind == "yparts" and len(fields) > 2 and int(fields[2]) < 1)):
        sys.exit("make-articles.py: set '%s': expected %s" % (
            text, {"no numbers": "no numbers", "text:N": "text:N with N a whole number",
                   "yparts:N[:KB[:PARTS]]": "yparts:N[:KB[:PARTS]] with whole numbers, "
                                            "PARTS at least 1"}.get(
                       form, form + " with whole numbers")))
    return kind, [int(f) for f in fields]


def main():
    description = "\n\n".join(__doc__.split("\n\n")[2:])  # without the usage line
    ap = argparse.ArgumentParser(prog="make-articles.py", description=description,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out", metavar="OUTDIR")
    ap.add_argument("sets", nargs="+", metavar="SET")
    ap.add_argument("--group", default="alt.binaries.pictures.test")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--prefix", default="vexil-gen")
    ap.add_argument("--photos", metavar="DIR")
    args = ap.parse_args()
    sets = [parse_set(s) for s in args.sets]
    need_pillow()
    photos = Photographs(args.photos) if args.photos else None
    random.seed(args.seed)  # MIME boundaries too
    os.makedirs(args.out, exist_ok=True)
    maker = Maker(args.out, args.group, args.seed, args.prefix)
    maker.photos = photos
    for kind, nums in sets:
        if kind == "sample":
            maker.sample()
        elif kind == "originals":
            least, most = (nums[1], nums[2]) if len(nums) > 2 else (50, 2048)
            maker.originals(nums[0] if nums else 10, least, max(least, most))
        elif kind == "pictures":
            maker.pictures(nums[0] if nums else 10, nums[1] if len(nums) > 1 else 20)
        elif kind == "yenc":
            maker.yenc_posts(nums[0] if nums else 10, nums[1] if len(nums) > 1 else 40, 1)
        elif kind == "yparts":
            maker.yenc_posts(nums[0] if nums else 10, nums[1] if len(nums) > 1 else 120,
                             nums[2] if len(nums) > 2 else 3)
        else:
            for i in range(nums[0] if nums else 1):
                maker.text_article(maker.count)
    maker.finish()


if __name__ == "__main__":
    main()
