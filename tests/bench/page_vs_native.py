#!/usr/bin/env python3
"""The page's frame times beside the native show's, measured back to back in
the same conditions: `velmora-trailer-tool bench` (llvmpipe, glFinish per
frame) and the page's own bench (index.html?bench=1 in headless Chromium on
SwiftShader, each frame waited for to its last pixel), alternately, RUNS
times each. Prints every run, then per scene the mean of the means with their
spread (lowest to highest), the p99s likewise, and page / native.

    page_vs_native.py BUILD_DIR [RUNS] [QUERY]

BUILD_DIR holds velmora-trailer-tool and web/ (make web). QUERY is added to
the page's URL (e.g. "&start=60"). The machine has two cores: run it when
`uptime` shows little else going on; the load is printed with every run.
"""
import http.server
import os
import re
import subprocess
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "web"))
from cdp import Browser  # noqa: E402

SCENES = ["title", "hand", "castle", "flight", "credits"]
PAGE_LINE = re.compile(r"velmora: frame times (\w+): (\d+) frames, mean ([\d.]+) ms, median ([\d.]+) ms, "
                       r"p99 ([\d.]+) ms")


def load():
    return os.getloadavg()[0]


def native_run(build):
    out = subprocess.run([os.path.join(build, "velmora-trailer-tool"), "bench", "--frames", "120", "--csv"],
                         cwd=build, capture_output=True, text=True, check=True).stdout
    rows = {}
    for line in out.splitlines():
        cells = line.split(",")
        if cells[0] in SCENES:
            rows[cells[0]] = (float(cells[4]), float(cells[6]))  # mean, p99
    return rows


def page_run(url):
    with Browser(size=(640, 480)) as browser:
        page = browser.open(url, viewport=(640, 480))
        page.wait_console("velmora: ended", timeout=600)
        rows = {}
        for line in page.lines("velmora: frame times"):
            m = PAGE_LINE.match(line)
            if m:
                rows[m.group(1)] = (float(m.group(3)), float(m.group(5)))
        return rows


def serve(folder):
    handler = lambda *a, **k: http.server.SimpleHTTPRequestHandler(*a, directory=folder, **k)  # noqa: E731
    http.server.SimpleHTTPRequestHandler.log_message = lambda *a: None
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def spread(values):
    return "%7.2f (%.2f-%.2f)" % (sum(values) / len(values), min(values), max(values))


def main():
    build = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    query = sys.argv[3] if len(sys.argv) > 3 else ""
    server = serve(os.path.join(build, "web"))
    url = "http://127.0.0.1:%d/index.html?bench=1%s" % (server.server_address[1], query)
    native, web = [], []
    for run in range(runs):
        # Alternate which goes first, so that a drift in the load falls on both.
        order = [("native", lambda: native_run(build)), ("page", lambda: page_run(url))]
        if run % 2:
            order.reverse()
        for name, measure in order:
            before = load()
            rows = measure()
            (native if name == "native" else web).append(rows)
            print("run %d %-6s (load %.2f -> %.2f): %s" % (run + 1, name, before, load(), "  ".join(
                "%s %.1f/%.1f" % (s, rows[s][0], rows[s][1]) for s in SCENES if s in rows)), flush=True)
    server.shutdown()
    print("\nscene    native mean (spread)   page mean (spread)     page/native   native p99 (spread)   "
          "page p99 (spread)")
    for s in SCENES:
        n = [r[s][0] for r in native if s in r]
        w = [r[s][0] for r in web if s in r]
        if not n or not w:
            continue
        np99 = [r[s][1] for r in native if s in r]
        wp99 = [r[s][1] for r in web if s in r]
        print("%-8s %-22s %-22s %5.2f x       %-21s %s" % (s, spread(n), spread(w), (sum(w) / len(w)) / (sum(n) / len(n)),
                                                     spread(np99), spread(wp99)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
