#!/usr/bin/python3
"""The peer of bench/modern-bench.sh: Python's nntplib reading a group the way today's tools
do, with the server's overview, then fetching one article at a time (uudeview then decodes
what it saved).

usage: modern-peer.py HOST PORT GROUP OUTDIR
Reads the overview of the whole group with one over() call, then fetches with article()
each article whose Lines lies strictly between 150 and 100000 and whose subject marks no
later part of a post in several parts (the rules of browse-peer.py), writing it to
OUTDIR/NNNNNN.txt. Prints one JSON object: walk_seconds (from connecting to the end of the
overview), seconds (to the last article written), headers, articles, bytes.
"""
import importlib.util
import json
import os
import sys
import time
import warnings

warnings.simplefilter("ignore", DeprecationWarning)
import nntplib  # noqa: E402

_spec = importlib.util.spec_from_file_location(
    "browse_peer", os.path.join(os.path.dirname(os.path.abspath(__file__)), "browse-peer.py"))
browse_peer = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(browse_peer)


def wanted(fields):
    # INN's overview names the line count ":lines"; older servers "lines".
    lines = browse_peer.lines_of(fields.get(":lines", fields.get("lines", "")))
    return (browse_peer.MIN_LINES < lines < browse_peer.MAX_LINES
            and not browse_peer.later_part(fields.get("subject", "")))


def main():
    host, port, group, out = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    os.makedirs(out, exist_ok=True)
    start = time.perf_counter()
    s = nntplib.NNTP(host, port, readermode=False)
    _, _, first, last, _ = s.group(group)
    _, overviews = s.over((first, last))
    walked = time.perf_counter()
    articles = total = 0
    for number, fields in overviews:
        if not wanted(fields):
            continue
        _, info = s.article(number)
        with open(os.path.join(out, "%06d.txt" % number), "wb") as f:
            f.write(b"\n".join(info.lines) + b"\n")
        articles += 1
        total += sum(len(line) + 2 for line in info.lines) + 3
    done = time.perf_counter()
    s.quit()
    print(json.dumps({"walk_seconds": walked - start, "seconds": done - start,
                      "headers": len(overviews), "articles": articles, "bytes": total}))


if __name__ == "__main__":
    main()
