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
  originals:N[:MIN:MAX]
                    no articles: N JPEGs in OUTDIR/originals/ (corpus-NNNN.jpg) of MIN to
                    MAX kilobytes (default 50 to 2048), smaller ones more often, for a
                    benchmark that encodes them with other tools

Each article is a file OUTDIR/NNNN-kind.txt, numbered in posting order; the pictures they
carry are also written to OUTDIR/originals/, and OUTDIR/manifest.tsv lists, one article a
line: file, kind, Lines, subject, and the attachment names (comma-separated, "-" for none).
The same seed gives the same articles.

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
import sys
from email.mime.base import MIMEBase
from email.mime.image import MIMEImage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email import encoders, policy

# Pillow is imported once the command line is known to be good (see need_pillow), so that
# --help and a wrong argument need no Pillow and a missing Pillow is named.
Image = ImageDraw = None

DATE = "Tue, 01 Dec 2026 12:00:00 +0000"


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
    def headers(self, subject, lines, extra=""):
        self.count += 1
        msgid = "<%s.%d.%d@example.invalid>" % (self.prefix, self.seed, self.count)
        return ("From: Vexil Test <poster@example.invalid>\n"
                "Newsgroups: %s\nSubject: %s\nMessage-ID: %s\nDate: %s\nLines: %d\n%s"
                % (self.group, subject, msgid, DATE, lines, extra))

    def write(self, kind, subject, head, body, attachments):
        lines = body.count("\n")
        header = head(lines)
        name = "%04d-%s.txt" % (self.count, kind)
        with open(os.path.join(self.out, name), "w", encoding="latin-1", newline="\n") as f:
            f.write(header + "\n" + body)
        self.manifest.append((name, kind, str(lines), subject, ",".join(attachments) or "-"))

    def plain(self, kind, subject, body, attachments=()):
        self.write(kind, subject, lambda n: self.headers(subject, n), body, attachments)

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
    most = {"sample": 0, "pictures": 2, "text": 1, "originals": 3}.get(kind)
    if most is None:
        sys.exit("make-articles.py: unknown set '%s' (sets: sample, pictures:N[:KB], text:N, "
                 "originals:N[:MIN:MAX])" % text)
    if (len(fields) > most or not all(f.isdigit() for f in fields)
            or (kind == "originals" and len(fields) == 2)):
        sys.exit("make-articles.py: set '%s': expected %s" % (
            text, {0: "no numbers", 1: "text:N with N a whole number",
                   2: "pictures:N[:KB] with whole numbers",
                   3: "originals:N[:MIN:MAX] with whole numbers"}[most]))
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
        else:
            for i in range(nums[0] if nums else 1):
                maker.text_article(maker.count)
    maker.finish()


if __name__ == "__main__":
    main()
