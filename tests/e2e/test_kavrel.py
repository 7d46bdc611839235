"""Kavrel.exe from outside, for what needs the real process: a click that reaches a real rate
service and the screen, a failure, the title area, the logo link and the minute timer."""

import pathlib
import time
import unittest

from harness import REACTION_S, RESULT_LINE, RESULT_PAGE, Kavrel, wait_for, xdotool

QUERY = "/currency/convert?amt=1&from=ALL&to=DZD&submit=Convert"


class KavrelTest(unittest.TestCase):
    exe = inspector = server = maker_site = work_dir = None  # given by run_e2e.py

    def setUp(self):
        self.server.status, self.server.page = 200, RESULT_PAGE
        self.server.requests.clear()
        self.kavrel = Kavrel(self.exe, self.inspector, self.work_dir)
        self.addCleanup(self.kavrel.kill)

    def wait_for_requests(self, count, timeout=REACTION_S):
        wait_for(lambda: len(self.server.requests) >= count, f"{count} request(s) at the rate service", timeout)

    def test_convert_asks_once_and_shows_the_result_and_a_failure_shows_nothing(self):
        self.kavrel.click("Command1")
        self.kavrel.wait_until(lambda w: w.idle and w.text("Label1") == RESULT_LINE, "the result line")
        self.assertEqual(self.server.requests, [(QUERY, "Malvorent")])

        self.server.status, self.server.page = 500, "<html>500 Internal Server Error</html>"
        self.kavrel.click("Command1")
        self.wait_for_requests(2)
        self.kavrel.wait_until(lambda w: w.idle and w.text("Label1") == "", "the result line to be emptied")
        time.sleep(2)  # time for a message box to show up
        self.assertEqual(self.kavrel.other_windows(), [])
        self.assertEqual(len(self.server.requests), 2)

    def test_only_left_drags_on_the_title_labels_move_the_window(self):
        travel = (60, 45)
        expected = self.kavrel.look().origin
        # Label3 where only the drag strip lies over the band; the last drag shows the two before it did nothing.
        for name, offset, button, moves in (("Label3", (20, 12), 1, True), ("Label3", (20, 12), 3, False),
                                            ("Label5", (10, 9), 1, False), ("Label9", (30, 9), 1, True)):
            x, y = self.kavrel.point(name, offset)
            time.sleep(0.6)
            xdotool("mousemove", x, y, "mousedown", button)
            for step in range(1, 9):
                xdotool("mousemove", x + travel[0] * step // 8, y + travel[1] * step // 8)
                time.sleep(0.05)
            xdotool("mouseup", button)
            if moves:
                expected = (expected[0] + travel[0], expected[1] + travel[1])
                self.kavrel.wait_until(lambda w: w.origin == expected, f"the window to move to {expected}")

    def test_the_logo_shows_its_hint_and_opens_the_maker_site_in_the_browser(self):
        x, y = self.kavrel.point("Image2")
        xdotool("mousemove", x - 3, y - 3, "mousemove", x, y)
        wait_for(lambda: [w for w in self.kavrel.other_windows() if w.get("value") == "Visit Delvelopers Website"],
                 "the logo's hint")
        self.kavrel.click("Image2")
        record = pathlib.Path(self.work_dir, "browser-calls.txt")
        calls = wait_for(lambda: record.exists() and record.read_text().splitlines(), "the browser's call")
        # winebrowser hands the address on with the root path "/" made explicit.
        self.assertEqual(calls, [self.maker_site.rstrip("/") + "/"])
        self.assertEqual(self.server.requests, [])

    def test_the_ticked_box_converts_at_the_next_minute(self):
        self.kavrel.click("Label2")  # the caption beside the box is not part of it
        self.kavrel.click("Check1")
        self.kavrel.wait_until(lambda w: w.controls["Check1"]["check"] == 1, "the box to be ticked")
        self.assertEqual(self.server.requests, [])
        self.wait_for_requests(1, timeout=75)  # a minute from start-up, on a loaded machine
        self.kavrel.wait_until(lambda w: w.text("Label1") == RESULT_LINE, "the result line")
        self.assertEqual(self.server.requests, [(QUERY, "Malvorent")])
