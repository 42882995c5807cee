#!/usr/bin/python3
"""The fetching half of the browse run's peer pipeline: Python's nntplib doing what Vexil's
first Go does on a group (uudeview then decodes what it saved).

usage: browse-peer.py HOST PORT GROUP OUTDIR [quickack]
Walks GROUP as a first Smart Download run does (STAT on the first article, then HEAD and
NEXT for it and every article after it) and fetches with STAT, HEAD and ARTICLE each article
whose Lines lies strictly between 150 and 100000 and whose subject marks no later part of a
post in several parts, writing it to OUTDIR/NNNNNN.txt. Prints one JSON object: seconds,
headers, articles, bytes. "quickack" renews TCP_QUICKACK on every read, as Vexil's socket
library does (see nntp-peer.py).
"""
import importlib.util
import io
import json
import os
import re
import sys
import time
import warnings

warnings.simplefilter("ignore", DeprecationWarning)
import nntplib  # noqa: E402

_spec = importlib.util.spec_from_file_location(
    "nntp_peer", os.path.join(os.path.dirname(os.path.abspath(__file__)), "nntp-peer.py"))
nntp_peer = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(nntp_peer)

MIN_LINES, MAX_LINES = 150, 100000


def header(lines, name):
    prefix = name.lower().encode() + b":"
    for line in lines:
        if line.lower().startswith(prefix):
            return line[len(prefix):].strip().decode("latin-1")
    return ""


def lines_of(text):
    kept = re.sub(r"[^0-9.\-]", "", text)
    try:
        return float(kept) if kept else 0.0
    except ValueError:
        return 0.0


def later_part(subject):
    return "HTTP" not in subject.upper() and any("/%d" % d in subject for d in range(2, 10))


def run(s, group, out):
    _, _, first, _, _ = s.group(group)
    _, number, _ = s.stat(first)
    headers = articles = total = 0
    while True:
        _, info = s.head()
        headers += 1
        lines = lines_of(header(info.lines, "Lines"))
        if MIN_LINES < lines < MAX_LINES and not later_part(header(info.lines, "Subject")):
            s.stat(number)
            s.head()
            _, art = s.article()
            with open(os.path.join(out, "%06d.txt" % number), "wb") as f:
                f.write(b"\n".join(art.lines) + b"\n")
            articles += 1
            total += sum(len(line) + 2 for line in art.lines) + 3
        try:
            _, number, _ = s.next()
        except nntplib.NNTPTemporaryError:
            break
    return headers, articles, total


def main():
    host, port, group, out = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    os.makedirs(out, exist_ok=True)
    start = time.perf_counter()
    s = nntplib.NNTP(host, port, readermode=False)
    if len(sys.argv) > 5 and sys.argv[5] == "quickack":
        s.file = io.BufferedRWPair(nntp_peer.QuickAckReader(s.sock),
                                   nntp_peer.SocketWriter(s.sock))
    headers, articles, total = run(s, group, out)
    s.quit()
    print(json.dumps({"seconds": time.perf_counter() - start, "headers": headers,
                      "articles": articles, "bytes": total}))


if __name__ == "__main__":
    main()
