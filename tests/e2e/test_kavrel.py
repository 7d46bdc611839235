#!/usr/bin/env python3
"""Kavrel.exe from outside, for what needs the real process: clicks that reach a real rate service
and the screen, the minute timer, the title area and the logo link.

  test_kavrel.py KAVREL_EXE INSPECTOR_EXE BUILD_CONFIG_H WORK_DIR      (through scripts/wine-env)
"""

import os
import pathlib
import re
import shutil
import subprocess
import sys
import unittest
import urllib.parse

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import RESULT_LINE, Kavrel, RateServer, wait_for, xdotool  # noqa: E402

QUERY = "/currency/convert?amt=1&from=ALL&to=DZD&submit=Convert"
EXE = INSPECTOR = MAKER_SITE = WORK_DIR = SERVER = None  # from the command line


class KavrelTest(unittest.TestCase):
    def setUp(self):
        SERVER.requests.clear()
        self.kavrel = Kavrel(EXE, INSPECTOR, WORK_DIR)
        self.addCleanup(self.kavrel.kill)

    def test_convert_asks_once_and_shows_the_result_and_the_ticked_box_asks_again_at_the_next_minute(self):
        self.kavrel.click("Label2")  # the caption beside the box is not part of it
        self.kavrel.click("Check1")
        self.kavrel.wait_until(lambda w: w.controls["Check1"]["check"] == 1, "the box to be ticked")
        self.kavrel.click("Command1")
        self.kavrel.wait_until(lambda w: w.idle and w.text("Label1") == RESULT_LINE, "the result line")
        self.assertEqual(SERVER.requests, [(QUERY, "Malvorent")])
        wait_for(lambda: len(SERVER.requests) > 1, "the minute's request", timeout=75)  # on a loaded machine too
        self.assertEqual(SERVER.requests, [(QUERY, "Malvorent")] * 2)

    def test_only_left_drags_on_the_title_labels_move_the_window(self):
        dx, dy = 60, 45
        expected = self.kavrel.look().origin
        # Label3 where only the drag strip lies over the band; the last drag shows the two before it did nothing.
        for name, offset, button, moves in (("Label3", (20, 12), 1, True), ("Label3", (20, 12), 3, False),
                                            ("Label5", (10, 9), 1, False), ("Label9", (30, 9), 1, True)):
            x, y = self.kavrel.point(name, offset)
            path = [arg for i in range(1, 9) for arg in ("mousemove", x + dx * i // 8, y + dy * i // 8, "sleep", 0.05)]
            # Apart by 0.6 s, two presses make no double click.
            xdotool("sleep", 0.6, "mousemove", x, y, "mousedown", button, *path, "mouseup", button)
            if moves:
                expected = (expected[0] + dx, expected[1] + dy)
                self.kavrel.wait_until(lambda w: w.origin == expected, f"the window to move to {expected}")

    def test_the_logo_shows_its_hint_and_opens_the_maker_site_in_the_browser(self):
        x, y = self.kavrel.point("Image2")
        xdotool("mousemove", x - 3, y - 3, "mousemove", x, y)
        wait_for(lambda: [w for w in self.kavrel.inspect("--windows")[1:]  # its other top-level windows
                          if w["visible"] and w.get("value") == "Visit Delvelopers Website"], "the logo's hint")
        self.kavrel.click("Image2")
        record = pathlib.Path(WORK_DIR, "browser-calls.txt")
        calls = wait_for(lambda: record.exists() and record.read_text().splitlines(), "the browser's call")
        # winebrowser hands the address on with the root path "/" made explicit.
        self.assertEqual(calls, [MAKER_SITE.rstrip("/") + "/"])
        self.assertEqual(SERVER.requests, [])


if __name__ == "__main__":
    EXE, INSPECTOR, build_config, WORK_DIR = sys.argv[1:]
    # The addresses the build was configured with, as the program itself reads them.
    rate_service, MAKER_SITE = (re.search(rf'#define KAVREL_CONFIGURED_{name} "([^"]*)"', open(build_config).read())[1]
                                for name in ("RATE_SERVICE", "MAKER_SITE"))
    service = urllib.parse.urlsplit(rate_service)  # a loopback address: the server below could not take another
    shutil.rmtree(WORK_DIR, ignore_errors=True)
    os.makedirs(WORK_DIR)
    SERVER = RateServer((service.hostname, service.port or 80))
    # An idle cmd.exe keeps Wine's desktop up for the run: else each program would start it
    # again, and it would hold that program's output pipes open.
    keeper = subprocess.Popen([os.environ["KAVREL_WINE"], "cmd"], stdin=subprocess.PIPE,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        unittest.main(argv=sys.argv[:1], verbosity=2)
    finally:
        keeper.stdin.close()
        keeper.wait(30)
        SERVER.shutdown()
