"""The X display as a person uses it: pointer, keyboard, clipboard, and a picture of the screen."""

import os
import subprocess
import time

POLL_S = 0.2


def wait_for(condition, timeout, what, interval=POLL_S):
    """Polls condition until it gives a true value, which is returned; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def _xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, stdout=subprocess.DEVNULL)


class Pointer:
    BUTTONS = {"left": 1, "middle": 2, "right": 3}
    # Two presses closer than this in time and place make a double click (Windows'
    # defaults: 500 ms, 4 pixels); separate clicks keep apart from each other.
    DOUBLE_CLICK_S = 0.6
    DOUBLE_CLICK_PX = 4

    def __init__(self):
        self._last_press = (0.0, -100, -100)

    def move(self, x, y):
        _xdotool("mousemove", x, y)

    def click(self, x, y):
        self.move(x, y)
        self._keep_apart_from_last_press(x, y)
        _xdotool("click", self.BUTTONS["left"])

    def double_click(self, x, y):
        self.move(x, y)
        self._keep_apart_from_last_press(x, y)
        _xdotool("click", "--repeat", 2, "--delay", 150, self.BUTTONS["left"])

    def drag(self, start, travel, button="left", steps=8):
        """Presses at start, moves by travel in steps, releases: the way a hand drags."""
        x, y = start
        dx, dy = travel
        self.move(x, y)
        self._keep_apart_from_last_press(x, y)
        _xdotool("mousedown", self.BUTTONS[button])
        for step in range(1, steps + 1):
            self.move(x + dx * step // steps, y + dy * step // steps)
            time.sleep(0.05)
        _xdotool("mouseup", self.BUTTONS[button])

    def _keep_apart_from_last_press(self, x, y):
        when, last_x, last_y = self._last_press
        near = abs(x - last_x) <= self.DOUBLE_CLICK_PX and abs(y - last_y) <= self.DOUBLE_CLICK_PX
        wait = self.DOUBLE_CLICK_S - (time.monotonic() - when)
        if near and wait > 0:
            time.sleep(wait)
        self._last_press = (time.monotonic(), x, y)


class Keyboard:
    def press(self, *keys):
        _xdotool("key", "--delay", 60, *keys)

    def type(self, text):
        _xdotool("type", "--delay", 60, "--", text)


class Clipboard:
    """Offers a text as the X clipboard, through xclip, for Ctrl+V in a Wine program.

    Wine reads the X clipboard when a program opens the clipboard, but not more often
    than every two seconds; a paste that comes sooner gets the text read before. So a
    paste counts only once xclip reports that the text was asked for.
    """

    def __init__(self, work_dir):
        self._log = os.path.join(work_dir, "xclip.log")
        self._process = None

    def offer(self, text):
        self.withdraw()
        with open(self._log, "w") as log:
            self._process = subprocess.Popen(
                ["xclip", "-selection", "clipboard", "-quiet", "-i"],
                stdin=subprocess.PIPE, stdout=log, stderr=subprocess.STDOUT)
        self._process.stdin.write(text.encode("utf-8"))
        self._process.stdin.close()
        wait_for(lambda: "request number 1" in self._read_log(), 10, "xclip to own the clipboard")

    def was_read(self):
        return "request number 2" in self._read_log()

    def withdraw(self):
        if self._process:
            self._process.kill()
            self._process.wait()
            self._process = None

    def _read_log(self):
        with open(self._log) as log:
            return log.read()


class Screen:
    def __init__(self, work_dir):
        self._work_dir = work_dir

    def save(self, name, x, y, width, height):
        path = os.path.join(self._work_dir, name)
        subprocess.run(["import", "-silent", "-window", "root", "-crop",
                        f"{width}x{height}+{x}+{y}", path], check=True)
        return path
