#!/usr/bin/python3
"""Writes MIME articles with Python's email package around the given picture files.

usage: make_mime_articles.py OUTDIR PICTURE...
Writes OUTDIR/mixed.txt (a text part and every picture), OUTDIR/single.txt (the first
picture as the whole article), OUTDIR/nested.txt (a text/HTML alternative, then the
pictures) and OUTDIR/latin1.txt (a quoted-printable Latin-1 text with the first picture).
"""
import os
import sys
from email import policy
from email.mime.application import MIMEApplication
from email.mime.image import MIMEImage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

HEAD = {
    "From": "Python Poster <python@example.invalid>",
    "Newsgroups": "alt.binaries.pictures.test",
}


def picture_part(path):
    with open(path, "rb") as f:
        data = f.read()
    name = os.path.basename(path)
    part = MIMEApplication(data, "octet-stream", name=name)
    part.add_header("Content-Disposition", "attachment", filename=name)
    return part


def finish(msg, subject, path):
    for key, value in HEAD.items():
        msg[key] = value
    msg["Subject"] = subject
    with open(path, "wb") as f:
        f.write(msg.as_bytes(policy=policy.compat32.clone(linesep="\r\n")))


def main():
    out, pictures = sys.argv[1], sys.argv[2:]
    mixed = MIMEMultipart()
    mixed.attach(MIMEText("Pictures from Python.\nSecond line.\n"))
    for p in pictures:
        mixed.attach(picture_part(p))
    finish(mixed, "python mixed", os.path.join(out, "mixed.txt"))

    finish(picture_part(pictures[0]), "python single", os.path.join(out, "single.txt"))

    nested = MIMEMultipart()
    alt = MIMEMultipart("alternative")
    alt.attach(MIMEText("Plain words.\n"))
    alt.attach(MIMEText("<p>Plain words.</p>\n", "html"))
    nested.attach(alt)
    for p in pictures:
        nested.attach(picture_part(p))
    finish(nested, "python nested", os.path.join(out, "nested.txt"))

    latin = MIMEMultipart()
    latin.attach(MIMEText("Gr\u00fc\u00dfe aus K\u00f6ln = Cologne.\n", "plain", "iso-8859-1"))
    latin.attach(picture_part(pictures[0]))
    finish(latin, "python latin1", os.path.join(out, "latin1.txt"))


if __name__ == "__main__":
    main()
