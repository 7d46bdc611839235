"""Kavrel.exe under Wine, looked at through kavrel-inspect.exe and driven through the desktop."""

import json
import os
import signal
import subprocess
import tempfile

from desktop import Clipboard, Keyboard, Pointer, wait_for

START_POSITION = (194, 110)
CLIENT_SIZE = (476, 232)

START_TIMEOUT_S = 60
# A person's action shows on the screen within this time even on a loaded machine.
REACTION_TIMEOUT_S = 20


class Inspector:
    def __init__(self, exe, env):
        self._exe = exe
        self._env = env

    def windows(self, *options):
        """Kavrel's window first, then the other windows asked for; empty when there is none."""
        # Output goes through files, not pipes: a Wine process that the inspector happens
        # to start (Wine's desktop, say) would inherit a pipe and hold it open for long.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run([self._env["KAVREL_WINE"], self._exe, *options], env=self._env, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=err, timeout=60).returncode
            out.seek(0)
            err.seek(0)
            text, problem = out.read().decode("utf-8"), err.read().decode(errors="replace")
        if code == 2:
            return []
        if code != 0:
            raise RuntimeError(f"kavrel-inspect failed ({code}): {problem}")
        return [json.loads(line) for line in text.splitlines() if line.strip()]

    def snapshot(self):
        windows = self.windows()
        return Snapshot(windows[0], windows[1:]) if windows else None

    def top_level_windows(self):
        return self.windows("--windows")


class Snapshot:
    """Kavrel's window and its child windows at one moment."""

    def __init__(self, window, children):
        self.window = window
        self.children = children

    @property
    def origin(self):
        return self.window["x"], self.window["y"]

    def control(self, name):
        """A child window of Kavrel's, found by the layout name that the inspector gives it."""
        for child in self.children:
            if child.get("name") == name and child["parent"] == self.window["hwnd"]:
                return child
        raise AssertionError(f"no child window of Kavrel named {name}")

    def text(self, name):
        return self.control(name)["text"]

    def value(self, name):
        """The text as the control itself reports it (asked by message; edit and combo boxes)."""
        control = self.control(name)
        if "value" not in control:
            raise AssertionError(f"{name} did not answer: Kavrel is not responding")
        return control["value"]

    def has_focus(self, name):
        """Whether the control, or a window inside it (a combo box's text field), has the focus."""
        control = self.control(name)["hwnd"]
        return any(child["focus"] and control in (child["hwnd"], child["parent"]) for child in self.children)

    @property
    def idle(self):
        return self.text("lblC") == "" and self.control("Command1")["enabled"]

    @property
    def busy(self):
        return self.text("lblC") == "Retrieving Rates..." and not self.control("Command1")["enabled"]


class KavrelWindow:
    """Kavrel's window with a person in front of it: eyes through the inspector, hands through X."""

    def __init__(self, inspector, pointer, keyboard, clipboard=None):
        self.inspector = inspector
        self.pointer = pointer
        self.keyboard = keyboard
        self.clipboard = clipboard

    # -- looking --

    def snapshot(self):
        snapshot = self.inspector.snapshot()
        if snapshot is None:
            raise AssertionError("Kavrel's window is gone")
        return snapshot

    def wait_until(self, condition, what, timeout=REACTION_TIMEOUT_S):
        """Waits for a snapshot that satisfies condition and returns it."""
        return wait_for(lambda: (lambda s: s if condition(s) else None)(self.snapshot()), timeout, what)

    def other_visible_windows(self):
        """Visible top-level windows of Kavrel's process besides its own: a message box would be one."""
        windows = self.inspector.top_level_windows()
        return [w for w in windows[1:] if w["visible"]]

    # -- acting --

    def point_in(self, name, offset=None):
        """Screen point of a control where the layout puts it: its centre, or offset from its top-left corner."""
        snapshot = self.snapshot()
        control = snapshot.control(name)
        dx, dy = offset or (control["layout_w"] // 2, control["layout_h"] // 2)
        return snapshot.origin[0] + control["layout_x"] + dx, snapshot.origin[1] + control["layout_y"] + dy

    def click(self, name):
        self.pointer.click(*self.point_in(name))

    def select_all_in(self, name):
        """Puts the caret into a text field and selects all of its text from the keyboard."""
        self.click(name)
        self.keyboard.press("End", "shift+Home")

    def replace_text(self, name, text):
        self.select_all_in(name)
        self.keyboard.type(text)

    def paste_into(self, name, text):
        self.clipboard.offer(text)
        try:
            def pasted():
                self.select_all_in(name)
                self.keyboard.press("ctrl+v")
                try:
                    return wait_for(self.clipboard.was_read, 1.0, "", interval=0.1)
                except AssertionError:
                    return None
            wait_for(pasted, REACTION_TIMEOUT_S, "Wine to take the clipboard's text")
        finally:
            self.clipboard.withdraw()


class Kavrel(KavrelWindow):
    """One Kavrel.exe that a test starts under Wine and always ends."""

    def __init__(self, harness):
        super().__init__(harness.inspector, harness.pointer, harness.keyboard, harness.clipboard)
        self._harness = harness
        self._process = None

    def start(self):
        wait_for(lambda: not self.inspector.windows(), REACTION_TIMEOUT_S, "an earlier Kavrel window to go")
        with open(os.path.join(self._harness.work_dir, "kavrel-wine.log"), "ab") as log:
            self._process = subprocess.Popen(
                [self._harness.kavrel_env["KAVREL_WINE"], self._harness.kavrel_exe], env=self._harness.kavrel_env,
                cwd=self._harness.work_dir, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                start_new_session=True)
        return wait_for(self._ready, START_TIMEOUT_S, "Kavrel's window to come up")

    def _ready(self):
        if self._process.poll() is not None:
            raise AssertionError(f"Kavrel.exe ended at start with status {self._process.returncode}")
        snapshot = self.inspector.snapshot()
        return snapshot if snapshot and snapshot.window["visible"] and snapshot.window["responding"] else None

    def kill(self):
        if self._process and self._process.poll() is None:
            os.killpg(self._process.pid, signal.SIGKILL)
        if self._process:
            self._process.wait()
            self._process = None

    def wait_for_exit(self, timeout=REACTION_TIMEOUT_S):
        try:
            return self._process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"Kavrel.exe still runs {timeout} s later") from None


class Harness:
    """What every test shares for the run: paths, the rate service, the display's tools."""

    def __init__(self, kavrel_exe, inspector_exe, maker_site, server, work_dir):
        self.kavrel_exe = kavrel_exe
        self.maker_site = maker_site
        self.server = server
        self.work_dir = work_dir
        self.browser_record = os.path.join(work_dir, "browser-calls.txt")
        self.kavrel_env = self._kavrel_environment()
        self.inspector = Inspector(inspector_exe, dict(os.environ))
        self.pointer = Pointer()
        self.keyboard = Keyboard()
        self.clipboard = Clipboard(work_dir)

    def _kavrel_environment(self):
        # Under Wine a web address handed to the shell goes to winebrowser, which runs the
        # first of xdg-open, firefox, ... that it finds on PATH ($BROWSER plays no part).
        # The suite's stand-in, first on PATH, records the address instead of opening it.
        stand_in_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), "stand_in_browser")
        env = dict(os.environ)
        env["PATH"] = stand_in_dir + os.pathsep + env.get("PATH", "")
        env["KAVREL_BROWSER_RECORD"] = self.browser_record
        return env

    def browser_calls(self):
        if not os.path.exists(self.browser_record):
            return []
        with open(self.browser_record) as record:
            return [line.rstrip("\n") for line in record]
