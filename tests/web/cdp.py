"""Drives Debian's headless Chromium through the DevTools protocol over a pipe
(--remote-debugging-pipe): no network port, no packages beyond Python's own.

    with Browser(size=(640, 480)) as browser:
        page = browser.open("http://127.0.0.1:8000/index.html?hold=1")
        page.wait_console("velmora: first frame")
        png = page.screenshot()

Every console line the page logs is kept (page.console) and, with echo,
printed as it comes. SwiftShader draws WebGL, as on a machine without a GPU.
"""
import base64
import json
import os
import select
import shutil
import subprocess
import tempfile
import time

CHROMIUM_FLAGS = [
    "--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
    "--hide-scrollbars", "--no-first-run", "--disable-background-networking", "--disable-component-update",
    "--disable-sync", "--disable-default-apps", "--remote-debugging-pipe",
]


class ProtocolError(RuntimeError):
    pass


class Browser:
    def __init__(self, size=(640, 480), autoplay=False, extra_flags=(), env=None, echo=False):
        self.profile = tempfile.mkdtemp(prefix="velmora-chromium-")
        flags = CHROMIUM_FLAGS + ["--window-size=%d,%d" % size, "--user-data-dir=" + self.profile]
        if autoplay:
            flags.append("--autoplay-policy=no-user-gesture-required")
        flags += list(extra_flags)
        to_child_r, self._to_child = os.pipe()
        self._from_child, from_child_w = os.pipe()

        def map_fds():
            os.dup2(to_child_r, 3)
            os.dup2(from_child_w, 4)

        self.process = subprocess.Popen(
            [shutil.which("chromium") or "chromium"] + flags + ["about:blank"], stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=map_fds, pass_fds=(3, 4),
            env=env)
        os.close(to_child_r)
        os.close(from_child_w)
        self._buffer = b""
        self._next_id = 0
        self._events = []
        self.echo = echo

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        try:
            self.send("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        for fd in (self._to_child, self._from_child):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)

    # -- the protocol -------------------------------------------------------
    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self._from_child], [], [], left)
            if not ready:
                return None
            chunk = os.read(self._from_child, 1 << 20)
            if not chunk:
                raise ProtocolError("chromium went away")
            self._buffer += chunk
        raw, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(raw)

    def _dispatch(self, message):
        if "id" in message:
            return message
        self._events.append(message)
        if self.echo and message.get("method") == "Runtime.consoleAPICalled":
            print("console:", console_text(message), flush=True)
        return None

    def send(self, method, params=None, session=None, timeout=30):
        self._next_id += 1
        command = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            command["sessionId"] = session
        os.write(self._to_child, json.dumps(command).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            message = self._read_message(deadline)
            if message is None:
                raise ProtocolError("no answer to %s within %s s" % (method, timeout))
            if self._dispatch(message) and message["id"] == command["id"]:
                if "error" in message:
                    raise ProtocolError("%s: %s" % (method, message["error"].get("message")))
                return message.get("result", {})

    def pump(self, seconds):
        """Takes events for `seconds`."""
        deadline = time.monotonic() + seconds
        while True:
            message = self._read_message(deadline)
            if message is None:
                return
            self._dispatch(message)

    def take_events(self):
        events, self._events = self._events, []
        return events

    def open(self, url, viewport=None):
        """A new tab at `url`; with `viewport` (width, height) its page has
        exactly that many CSS pixels, one device pixel each."""
        target = self.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        page = Page(self, session)
        for domain in ("Runtime", "Page", "DOM"):
            self.send(domain + ".enable", session=session)
        if viewport:
            self.send("Emulation.setDeviceMetricsOverride", {"width": viewport[0], "height": viewport[1],
                                                              "deviceScaleFactor": 1, "mobile": False},
                      session=session)
        self.send("Page.navigate", {"url": url}, session=session)
        return page


def console_text(event):
    args = event["params"].get("args", [])
    return " ".join(str(a.get("value", a.get("description", ""))) for a in args)


class Page:
    def __init__(self, browser, session):
        self.browser = browser
        self.session = session
        self.console = []  # (monotonic seconds, text) of every console line so far

    def send(self, method, params=None, timeout=30):
        return self.browser.send(method, params, self.session, timeout)

    def _collect(self):
        for event in self.browser.take_events():
            if event.get("sessionId") == self.session and event.get("method") == "Runtime.consoleAPICalled":
                self.console.append((time.monotonic(), console_text(event)))

    def pump(self, seconds):
        self.browser.pump(seconds)
        self._collect()

    def wait_console(self, prefix, timeout=60):
        """The first console line starting with `prefix`; waits for it."""
        deadline = time.monotonic() + timeout
        while True:
            self._collect()
            for _, text in self.console:
                if text.startswith(prefix):
                    return text
            if time.monotonic() >= deadline:
                raise ProtocolError("no console line '%s' within %s s; had: %s" %
                                    (prefix, timeout, [t for _, t in self.console][-8:]))
            self.browser.pump(0.1)

    def lines(self, prefix):
        self._collect()
        return [text for _, text in self.console if text.startswith(prefix)]

    def evaluate(self, expression, timeout=30):
        result = self.send("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, timeout)
        if "exceptionDetails" in result:
            raise ProtocolError("page: " + json.dumps(result["exceptionDetails"])[:400])
        return result["result"].get("value")

    def screenshot(self):
        return base64.b64decode(self.send("Page.captureScreenshot", {"format": "png"})["data"])

    def key(self, key, code, key_code):
        for kind in ("keyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": code,
                                                 "windowsVirtualKeyCode": key_code})

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def set_input_files(self, selector, paths):
        root = self.send("DOM.getDocument")["root"]["nodeId"]
        node = self.send("DOM.querySelector", {"nodeId": root, "selector": selector})["nodeId"]
        self.send("DOM.setFileInputFiles", {"nodeId": node, "files": list(paths)})
