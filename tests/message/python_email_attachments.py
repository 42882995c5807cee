#!/usr/bin/python3
"""Writes e-mail messages in the form a news server sends them, with the attachments that
Python's email package finds in each, for a test that decodes the same messages with
vexil-decode.

usage: python_email_attachments.py OUT_DIR MESSAGE...

For each MESSAGE it writes OUT_DIR/NAME (CR LF line ends, leading dots doubled, the final
"." line) and, for every part that Python gives a file name and a payload, the payload's
bytes as OUT_DIR/expected/NAME/FILE, where FILE is the name Vexil's decoder gives the part:
the "name" parameter of its Content-Type, else the "filename" of its Content-Disposition.
It prints one line "NAME<TAB>FILE" per such part.
"""

import email
import email.policy
import os
import sys


def trim(text):
    # Blanks and control characters, codes 0 to 32, as the decoder trims.
    start, end = 0, len(text)
    while start < end and ord(text[start]) <= 32:
        start += 1
    while end > start and ord(text[end - 1]) <= 32:
        end -= 1
    return text[start:end]


def get_parameter(param, value):
    """The decoder's parameter rule: the first occurrence of the name anywhere (ignoring
    case), one more character skipped, then a quoted value or one up to the first blank."""
    at = value.upper().find(param.upper())
    if at < 0:
        return ""
    rest = trim(value[at + len(param) + 1:])
    if rest.startswith('"'):
        close = rest.find('"', 1)
        rest = rest[1:] if close < 0 else rest[1:close]
    else:
        blank = rest.find(" ")
        rest = rest if blank < 0 else rest[:blank]
    if rest.endswith(";"):
        rest = rest[:-1]
    return trim(rest)[:255]


def unfolded(part, header):
    # The decoder joins folded lines with one blank.
    value = part.get(header, "")
    return " ".join(trim(line) for line in str(value).splitlines())


def server_form(raw):
    lines = raw.replace(b"\r\n", b"\n").split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    out = bytearray()
    for line in lines:
        out += (b"." + line if line.startswith(b".") else line) + b"\r\n"
    return bytes(out + b".\r\n")


def main():
    out_dir, messages = sys.argv[1], sys.argv[2:]
    for path in messages:
        name = os.path.basename(path)
        with open(path, "rb") as f:
            raw = f.read()
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(server_form(raw))
        # Python reads the article as the decoder sees it: CR LF line ends, no stuffing.
        article = raw.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        message = email.message_from_bytes(article, policy=email.policy.compat32)
        for part in message.walk():
            if not part.get_filename():
                continue
            payload = part.get_payload(decode=True)
            if payload is None:
                continue
            file_name = get_parameter("name", unfolded(part, "Content-Type")) or \
                get_parameter("filename", unfolded(part, "Content-Disposition"))
            folder = os.path.join(out_dir, "expected", name)
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, file_name), "wb") as f:
                f.write(payload)
            print(f"{name}\t{file_name}")


if __name__ == "__main__":
    main()
