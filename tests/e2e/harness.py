"""Kavrel.exe under Wine, seen through kavrel-inspect.exe and driven through X with xdotool,
a rate service on the loopback address that records what it is asked, and kavrel-rates started
on a free port."""

import http.server
import json
import os
import pathlib
import re
import signal
import subprocess
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RESULT_LINE = "81.23 @ 0.8123 per Unit"
REACTION_S = 20  # a person's action shows within this time, even on a loaded machine


def wait_for(condition, what, timeout=REACTION_S):
    """Polls condition until it gives a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while not (value := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.2)
    return value


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, stdout=subprocess.DEVNULL)


class Window:
    """Kavrel's window and its controls by layout name, as kavrel-inspect saw them at one moment."""

    def __init__(self, records):
        self.window = records[0]
        self.controls = {r["name"]: r for r in records[1:] if "name" in r and r["parent"] == self.window["hwnd"]}
        self.origin = self.window["x"], self.window["y"]

    def text(self, name):
        return self.controls[name]["text"]

    @property
    def idle(self):
        return self.text("lblC") == "" and self.controls["Command1"]["enabled"]


class KavrelWindow:
    """A running Kavrel's window, looked at and clicked like a person would."""

    def __init__(self, inspector):
        self.inspector = inspector

    def inspect(self, *options, attempts=2):
        """Kavrel's window first, then its children (or its other top-level windows); [] when there is none."""
        # Output through files: a Wine process that the inspector starts would hold a pipe open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run([os.environ["KAVREL_WINE"], self.inspector, *options], stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=err, timeout=60).returncode
            lines, errors = ((file.seek(0), file.read().decode(errors="replace"))[1] for file in (out, err))
        if code == 1 and attempts > 1:  # Wine itself can fail to start a process now and then: once more
            return self.inspect(*options, attempts=attempts - 1)
        if code not in (0, 2):  # 2: no window
            raise RuntimeError(f"kavrel-inspect failed with status {code}: {errors.strip()[-2000:]}")
        return [json.loads(line) for line in lines.splitlines() if line.strip()] if code == 0 else []

    def look(self):
        assert (records := self.inspect()), "Kavrel's window is gone"
        return Window(records)

    def wait_until(self, condition, what, timeout=REACTION_S):
        return wait_for(lambda: (lambda window: window if condition(window) else None)(self.look()), what, timeout)

    def point(self, name, offset=None):
        """A point of a control on the screen where the layout puts it: its centre, or offset from its corner."""
        window = self.look()
        control = window.controls[name]
        dx, dy = offset or (control["layout_w"] // 2, control["layout_h"] // 2)
        return window.origin[0] + control["layout_x"] + dx, window.origin[1] + control["layout_y"] + dy

    def click(self, name):
        xdotool("sleep", 0.6, "mousemove", *self.point(name), "click", 1)  # two clicks closer make a double click

    def type_into(self, name, text):
        """Clicks a control and types text in place of what it holds."""
        self.click(name)
        xdotool("key", "--delay", 60, "End", "shift+Home", "type", "--delay", 60, "--", text)


class Kavrel(KavrelWindow):
    """One Kavrel.exe started under Wine, with a stand-in browser that records what it is asked to open."""

    def __init__(self, exe, inspector, work_dir, alone=True):
        super().__init__(inspector)
        if alone:
            wait_for(lambda: not self.inspect(), "an earlier Kavrel window to go")
        # Wine hands a web address to the first of xdg-open, firefox, ... on PATH.
        env = dict(os.environ, PATH=os.path.join(HERE, "stand_in_browser") + os.pathsep + os.environ["PATH"],
                   KAVREL_BROWSER_RECORD=os.path.join(work_dir, "browser-calls.txt"))
        with open(os.path.join(work_dir, "kavrel-wine.log"), "ab") as log:
            self.process = subprocess.Popen([os.environ["KAVREL_WINE"], exe], env=env, cwd=work_dir,
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        wait_for(self._shown, "Kavrel's window to come up", timeout=60)

    def _shown(self):
        assert self.process.poll() is None, f"Kavrel.exe ended at start with status {self.process.returncode}"
        return (records := self.inspect()) and records[0]["visible"] and records[0]["responding"]

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
        self.process.wait()


class RateServer(http.server.ThreadingHTTPServer):
    """Answers every GET with `page` (first the example result page); records path and User-Agent in `requests`."""

    daemon_threads = True

    def __init__(self, address):
        super().__init__(address, _Answer)
        self.page, self.requests = pathlib.Path(HERE, "..", "data", "result_page.html").read_text(), []
        threading.Thread(target=self.serve_forever, daemon=True).start()


class _Answer(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.server.requests.append((self.path, self.headers.get("User-Agent")))
        body = self.server.page.encode("latin-1")
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class RatesService:
    """kavrel-rates (an .exe under Wine) on a free port, its log in a file: Wine would hold a pipe open."""

    def __init__(self, program, folder, *options):
        self.log = os.path.join(folder, f"service-{time.monotonic_ns()}.log")
        wine = [os.environ["KAVREL_WINE"]] if program.endswith(".exe") else []
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen([*wine, program, "--port", "0", *options],
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self.port = int(wait_for(self._port, "the service to listen", timeout=60))

    def _port(self):
        assert self.process.poll() is None, f"kavrel-rates ended: {self.text()}"
        return (found := re.search(r"listening on http://127\.0\.0\.1:(\d+)/", self.text())) and found[1]

    def text(self):
        with open(self.log, errors="replace") as log:
            return log.read()

    def stop(self):
        self.process.kill()
        self.process.wait()
