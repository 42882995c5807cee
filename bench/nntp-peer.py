#!/usr/bin/python3
"""The peer of the news client's benchmark: Python's nntplib doing the same exchange.

usage: nntp-peer.py HOST PORT GROUP ROUNDS LIMIT [quickack]
Prints one JSON object: headers_per_s for the walk (STAT first, then HEAD and NEXT, for at
most LIMIT headers) and MB_per_s for fetching the first LIMIT articles (STAT, HEAD,
ARTICLE), best of ROUNDS. The rates do not depend on LIMIT; it keeps a slow peer short.
With "quickack", every read of the socket renews TCP_QUICKACK, as Vexil's socket library
does, so that a server writing under Nagle's rule is not held up by delayed ACKs.
"""
import io
import json
import socket
import sys
import time
import warnings

warnings.simplefilter("ignore", DeprecationWarning)
import nntplib  # noqa: E402


class QuickAckReader(io.RawIOBase):
    def __init__(self, sock):
        self.sock = sock

    def readable(self):
        return True

    def readinto(self, buffer):
        n = self.sock.recv_into(buffer)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
        return n


class SocketWriter(io.RawIOBase):
    def __init__(self, sock):
        self.sock = sock

    def writable(self):
        return True

    def write(self, data):
        self.sock.sendall(data)
        return len(data)


def walk(s, group, limit):
    _, _, first, _, _ = s.group(group)
    s.stat(first)
    count = 0
    while count < limit:
        s.head()
        count += 1
        try:
            s.next()
        except nntplib.NNTPTemporaryError:
            break
    return count


def fetch(s, group, limit):
    _, _, first, last, _ = s.group(group)
    total = 0
    for n in range(first, min(last, first + limit - 1) + 1):
        s.stat(n)
        s.head()
        _, info = s.article()
        total += sum(len(line) + 2 for line in info.lines) + 3
    return total


def best(rounds, run):
    result = None
    for _ in range(rounds):
        start = time.perf_counter()
        amount = run()
        rate = amount / (time.perf_counter() - start)
        result = rate if result is None else max(result, rate)
    return result


def main():
    host, port, group = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    rounds, limit = int(sys.argv[4]), int(sys.argv[5])
    s = nntplib.NNTP(host, port, readermode=False)
    if len(sys.argv) > 6 and sys.argv[6] == "quickack":
        s.file = io.BufferedRWPair(QuickAckReader(s.sock), SocketWriter(s.sock))
    headers = best(rounds, lambda: walk(s, group, limit))
    mbs = best(rounds, lambda: fetch(s, group, limit)) / 1e6
    s.quit()
    print(json.dumps({"headers_per_s": headers, "MB_per_s": mbs}))


if __name__ == "__main__":
    main()
