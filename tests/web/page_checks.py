#!/usr/bin/env python3
"""The page in headless Chromium, against the native show:

  pictures   held moments in every scene (words, fog, flashes, the closing
             lines) against velmora-trailer-tool's frames of them: at most 1 %
             of the pixels may differ by more than 8 levels in any channel
  sound      the browser's decode of the soundtrack against the show's own:
             the same sample at the same frame, so every mark lands
  own data   a folder of the viewer's own with a broken model gives the
             native message in the page's dialog; a folder without the
             soundtrack is refused, naming why
  escape     Escape ends a viewing and brings the start screen back

    page_checks.py BUILD_DIR URL [CHECK...]
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cdp import Browser  # noqa: E402
from png import compare, read_png  # noqa: E402

# Moments in stream bytes, with what they show.
MOMENTS = [
    (1000000, "title: fade-in, a caption"),
    (4300000, "title: the mirrored ride, a caption"),
    (5420000, "hand: pose 0 with 'Mi dios'"),
    (5700000, "hand: the second line of words"),
    (5900000, "hand: 'Senor' under a flash"),
    (6700000, "castle: fog"),
    (7200000, "castle: clear"),
    (9000000, "flight: on the path"),
    (9700000, "credits"),
    (11200000, "credits, late"),
    (11600000, "closing lines under the fading flash"),
    (11700000, "closing lines"),
]
BYTES_PER_SECOND = 88200
RATE = 44100
failures = []


def fail(text):
    print("FAIL: " + text, flush=True)
    failures.append(text)


def check_pictures(build, url, browser):
    tool = os.path.join(build, "velmora-trailer-tool")
    scratch = tempfile.mkdtemp()
    try:
        for position, what in MOMENTS:
            native = os.path.join(scratch, "native.png")
            subprocess.run([tool, "frame", str(position), native], check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            seconds = "%.9f" % (position / BYTES_PER_SECOND)
            page = browser.open("%s?hold=1&start=%s" % (url, seconds), viewport=(640, 480))
            page.wait_console("velmora: first frame")
            page.pump(0.5)  # a few frames of the held moment
            shot = page.screenshot()
            page.send("Page.close")
            fraction, largest, box = compare(read_png(shot), read_png(open(native, "rb").read()))
            print("picture %8d (%s): %.3f %% of pixels differ by more than 8 levels, largest %d, in %s" %
                  (position, what, 100 * fraction, largest, box), flush=True)
            if fraction > 0.01:
                open(os.path.join(build, "web-%d.png" % position), "wb").write(shot)
                fail("the page at %d differs from the native frame in %.2f %% of its pixels (kept as web-%d.png)"
                     % (position, 100 * fraction, position))
    finally:
        shutil.rmtree(scratch)


DECODE_JS = """(async () => {
  const index = await (await fetch('data.json')).json();
  const entry = index.files.find((f) => f.name === 'TrailerLOW.mp3');
  const pack = await (await fetch('data.bin')).arrayBuffer();
  const buffer = await new OfflineAudioContext(2, 1, %d).decodeAudioData(pack.slice(entry.offset, entry.offset + entry.length));
  const from = %d, n = %d, pcm = new Int16Array(2 * n);
  const left = buffer.getChannelData(0), right = buffer.getChannelData(1);
  for (let i = 0; i < n; ++i) {
    pcm[2 * i] = Math.round(left[from + i] * 32767);
    pcm[2 * i + 1] = Math.round(right[from + i] * 32767);
  }
  let text = '';
  const bytes = new Uint8Array(pcm.buffer);
  for (let i = 0; i < bytes.length; ++i) text += String.fromCharCode(bytes[i]);
  return [buffer.length, btoa(text)];
})()"""


def check_sound(build, url, browser):
    import base64
    page = browser.open(url)
    page.pump(0.5)
    scratch = tempfile.mkdtemp()
    try:
        for seconds in (2.0, 60.5, 131.0):
            frames, data = page.evaluate(DECODE_JS % (RATE, round(seconds * RATE), RATE // 2), timeout=60)
            raw = os.path.join(scratch, "decoded.raw")
            open(raw, "wb").write(base64.b64decode(data))
            match = subprocess.run([os.path.join(build, "soundcheck"), "match", os.path.join(build, "TrailerLOW.mp3"),
                                    raw, str(seconds)], check=True, capture_output=True, text=True).stdout.strip()
            print("sound at %.1f s (%d frames decoded): %s" % (seconds, frames, match), flush=True)
            lag, correlation = int(match.split()[2]), float(match.split()[-1])
            if abs(lag) > 1 or correlation < 0.99:
                fail("the browser's decode at %.1f s is not the show's: %s" % (seconds, match))
    finally:
        page.send("Page.close")
        shutil.rmtree(scratch)


def dialog(page):
    return page.evaluate("document.getElementById('dialog').open ? "
                         "document.getElementById('dialog-title').textContent + ': ' + "
                         "document.getElementById('dialog-text').textContent : ''")


def check_own_data(build, url, browser):
    scratch = tempfile.mkdtemp()
    try:
        folder = os.path.join(scratch, "MyShow")
        shutil.copytree(os.path.join(build, "Data"), os.path.join(folder, "Data"))
        shutil.copy(os.path.join(build, "TrailerLOW.mp3"), os.path.join(folder, "trailerlow.MP3"))
        with open(os.path.join(folder, "Data", "Nena1.3DS"), "wb") as broken:
            broken.write(b"\x4d\x4d\x06\x00\x00\x00" + bytes(range(64)))
        page = browser.open(url, viewport=(640, 480))
        page.wait_console("velmora: ready")
        page.set_input_files("#folder", [folder])
        page.wait_console("velmora: ready: MyShow")
        page.key(" ", "Space", 32)
        page.wait_console("velmora: ended")
        shown = dialog(page)
        print("own data with a broken model: dialog '%s'" % shown, flush=True)
        if shown != "Loading error: Data\\Nena1.3ds is not a 3DS model!":
            fail("a broken model in the viewer's folder gave the dialog '%s'" % shown)
        page.send("Page.close")

        empty = os.path.join(scratch, "NoSound")
        os.makedirs(os.path.join(empty, "Data"))
        page = browser.open(url, viewport=(640, 480))
        page.wait_console("velmora: ready")
        page.set_input_files("#folder", [empty])
        page.pump(1)
        shown = dialog(page)
        print("a folder without the soundtrack: dialog '%s'" % shown, flush=True)
        if "holds no TrailerLOW.mp3" not in shown:
            fail("a folder without the soundtrack gave the dialog '%s'" % shown)
        page.send("Page.close")
    finally:
        shutil.rmtree(scratch)


def check_escape(build, url, browser):
    page = browser.open(url + "?play=1&silent=1&start=30", viewport=(640, 480))
    page.wait_console("velmora: first frame")
    page.pump(0.5)
    page.key("Escape", "Escape", 27)
    ended = page.wait_console("velmora: ended", timeout=10)
    start_screen = page.evaluate("!document.getElementById('start').hidden")
    print("escape: '%s', start screen shown: %s" % (ended, start_screen), flush=True)
    if ended != "velmora: ended (exit 0)" or not start_screen:
        fail("Escape did not end the viewing back on the start screen")
    page.send("Page.close")


CHECKS = {"pictures": check_pictures, "sound": check_sound, "own-data": check_own_data, "escape": check_escape}


def main():
    build, url = os.path.abspath(sys.argv[1]), sys.argv[2]
    wanted = sys.argv[3:] or list(CHECKS)
    with Browser(size=(640, 480)) as browser:
        for name in wanted:
            CHECKS[name](build, url, browser)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
