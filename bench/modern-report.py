#!/usr/bin/python3
"""The summary of bench/modern-bench.sh: reads the runs it left in WORK and prints the
figures, the ratios and their targets; exits 1 when a target is missed, Vexil wrote a
picture wrongly or not at all, or a run needed for a ratio crashed.

usage: modern-report.py WORK SLICE ARTICLES SLICE_PICTURES ALL_PICTURES FACTOR DELAY_MS
Each run RUN left RUN.status, RUN.time ("seconds peak-KB"), RUN.out and, for a fetch,
RUN.pictures ("exact wrong missing").
"""
import glob
import json
import os
import sys

work = sys.argv[1]
slice_size, articles, slice_pictures, all_pictures = (int(a) for a in sys.argv[2:6])
factor, delay = float(sys.argv[6]), int(sys.argv[7])
failures = []


def read(run, ext):
    with open(os.path.join(work, "%s.%s" % (run, ext)), encoding="latin-1") as f:
        return f.read()


def crashed(run):
    return int(read(run, "status")) != 0


def measure(run, headers=None):
    """Seconds, peak MB, headers and articles of a run of vexil-nntp, None if it crashed."""
    if crashed(run):
        return None
    seconds, kb = read(run, "time").split()[-2:]
    out = read(run, "out").splitlines()
    return dict(seconds=max(float(seconds), 0.01), peak=int(kb) / 1024,
                headers=len(out) if headers is None else headers,
                articles=sum(1 for line in out if line.endswith("Article retrieved")))


def pictures(run):
    return [int(n) for n in read(run, "pictures").split()]


def rounds_of(prefix):
    return sorted(int(p.rsplit("-", 1)[1].split(".")[0])
                  for p in glob.glob(os.path.join(work, prefix + "-*.status")))


def best(runs):
    good = [r for r in runs if r is not None]
    return min(good, key=lambda r: r["seconds"]) if good else None


def show(name, r, headers=True):
    if r is None:
        print("%-34s CRASHED" % name)
        return
    text = "%-34s %7.2f s  " % (name, r["seconds"])
    text += ("%8.1f articles/s" % (r["articles"] / r["seconds"]) if r["articles"]
             else "%8s articles/s" % "-")
    if headers:
        text += "  %9.1f headers/s" % (r["headers"] / r["seconds"])
    print(text + "  peak %6.1f MB" % r["peak"])


def vexil_pictures(run, expected):
    exact, wrong, missing = pictures(run)
    if wrong or missing:
        failures.append("%s: Vexil wrote %d of the %d pictures exactly (%d differ, %d missing)"
                        % (run, exact, expected, wrong, missing))
    return exact


def ratio(name, ours, theirs, target, unit):
    target *= factor
    if ours is None or theirs is None:
        print("%s: no ratio, a run crashed (target at least %.2f)  FAILED" % (name, target))
        failures.append("no %s ratio" % name)
        return
    r = ours / theirs
    print("%s: %.2f (%s; target at least %.2f)%s" % (name, r, unit, target,
                                                     "" if r >= target else "  MISSED"))
    if r < target:
        failures.append("the %s ratio missed its target" % name)


def rate(r, what):
    return None if r is None else r[what] / r["seconds"]


print("== results: %d articles, %d of them pictures; %d ms each way through the proxy"
      % (articles, all_pictures, delay))
print("The classic walk and fetch read only the first %d articles (%d pictures): two round "
      "trips a header make the whole group take too long. Their rates are per header and per "
      "article, as are the others'." % (slice_size, slice_pictures))

classic_walk = measure("classic-walk")
classic_fetch = measure("classic-fetch", headers=slice_size)
slice_walk = measure("slice-walk")
slice_fetch = measure("slice-fetch", headers=slice_size)
show("classic walk (slice)", classic_walk)
show("classic fetch (slice)", classic_fetch)
print("  (a classic fetch walks as it goes: its seconds include its walk)")
for run in ("classic-fetch", "slice-fetch"):
    vexil_pictures(run, slice_pictures)
show("overview walk (slice)", slice_walk)
show("overview fetch, pipeline 8 (slice)", slice_fetch)

walks = [measure("overview-walk-%d" % n) for n in rounds_of("overview-walk")]
fetches = [measure("overview-fetch-%d" % n, headers=articles) for n in rounds_of("overview-fetch")]
for n in rounds_of("overview-fetch"):
    vexil_pictures("overview-fetch-%d" % n, all_pictures)
overview_walk, overview_fetch = best(walks), best(fetches)
show("overview walk (whole group)", overview_walk)
show("overview fetch, pipeline 8", overview_fetch)

peers = []
for n in rounds_of("peer-fetch"):
    run, decode = "peer-fetch-%d" % n, "peer-decode-%d" % n
    if crashed(run) or crashed(decode):
        print("round %d: the peer CRASHED; its time is not used" % n)
        continue
    p = json.loads(read(run, "out").splitlines()[0])
    uu_seconds, uu_kb = read(decode, "time").split()[-2:]
    fetch_kb = read(run, "time").split()[-1]
    exact, wrong, missing = pictures(decode)
    peers.append(dict(seconds=p["seconds"] + float(uu_seconds), walk=p["walk_seconds"],
                      fetch=p["seconds"], decode=float(uu_seconds), headers=p["headers"],
                      articles=p["articles"], peak=max(int(uu_kb), int(fetch_kb)) / 1024,
                      exact=exact))
    if wrong or missing:
        print("round %d: the peer wrote %d of the %d pictures exactly (%d differ, %d missing)"
              % (n, exact, all_pictures, wrong, missing))
peer = best(peers)
if peer is None:
    print("%-34s CRASHED in every round" % "peer: nntplib + uudeview")
else:
    print("%-34s %7.2f s  %8.1f articles/s  %9.1f headers/s  peak %6.1f MB  (over() %.2f s, "
          "article() %.2f s, uudeview %.2f s; %d pictures exact)"
          % ("peer: nntplib + uudeview", peer["seconds"], peer["articles"] / peer["seconds"],
             peer["headers"] / peer["walk"], peer["peak"], peer["walk"],
             peer["fetch"] - peer["walk"], peer["decode"], peer["exact"]))
if overview_fetch and peer and overview_fetch["articles"] != peer["articles"]:
    failures.append("Vexil fetched %d articles, the peer %d"
                    % (overview_fetch["articles"], peer["articles"]))

secure = {}
for kind in ("plain", "tls"):
    runs = []
    for n in rounds_of(kind + "-fetch"):
        runs.append(measure("%s-fetch-%d" % (kind, n), headers=articles))
        vexil_pictures("%s-fetch-%d" % (kind, n), all_pictures)
    secure[kind] = best(runs)
show("loopback fetch, plain", secure["plain"])
show("loopback fetch, TLS", secure["tls"])

print("(best of the rounds; Vexil's runs are whole processes, with connecting and QUIT; the "
      "peer's fetch is timed from its connecting, without Python's start)")
print("== ratios")
ratio("overview walk / classic walk", rate(overview_walk, "headers"),
      rate(classic_walk, "headers"), 100, "headers per second")
ratio("overview fetch / classic fetch", rate(overview_fetch, "articles"),
      rate(classic_fetch, "articles"), 10, "articles per second")
ratio("Vexil / peer", None if peer is None else peer["seconds"],
      None if overview_fetch is None else overview_fetch["seconds"], 3,
      "peer's seconds to Vexil's")
ratio("TLS / plain", None if secure["plain"] is None else secure["plain"]["seconds"],
      None if secure["tls"] is None else secure["tls"]["seconds"], 0.7,
      "plain seconds to TLS seconds")
# On a slice this short, connecting and learning the overview's format weigh as much as the
# headers themselves; the whole group shows the rate a large group gets.
for name, ours, theirs in (("walk", rate(slice_walk, "headers"), rate(classic_walk, "headers")),
                           ("fetch", rate(slice_fetch, "articles"),
                            rate(classic_fetch, "articles"))):
    if ours is not None and theirs is not None:
        print("on the same slice, overview %s / classic %s: %.2f (information: the fixed cost of "
              "a connection weighs more on %d articles)" % (name, name, ours / theirs, slice_size))
for failure in failures:
    print("FAILED: " + failure)
print("modern-bench: " + ("FAILED" if failures else "every target met"))
sys.exit(1 if failures else 0)
