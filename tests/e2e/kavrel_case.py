"""The base of every end-to-end test: a fresh Kavrel.exe in front of the test rate service."""

import time
import unittest

from kavrel import REACTION_TIMEOUT_S, Kavrel
from desktop import wait_for

DEFAULT_QUERY = "/currency/convert?amt=1&from=ALL&to=DZD&submit=Convert"
# How long a window that Kavrel must not show is looked for once Kavrel is idle again.
NO_WINDOW_WATCH_S = 2.0


class KavrelTestCase(unittest.TestCase):
    harness = None  # given by the runner before the tests run

    def setUp(self):
        self.server = self.harness.server
        if not self.server.running:
            self.server.start()
        self.server.answer_with()
        self.server.forget_requests()
        self.kavrel = Kavrel(self.harness)
        self.addCleanup(self.kavrel.kill)
        self.kavrel.start()

    def wait_for_requests(self, count, timeout=REACTION_TIMEOUT_S):
        return wait_for(lambda: (lambda r: r if len(r) >= count else None)(self.server.requests()),
                        timeout, f"{count} request(s) at the rate service")

    def wait_for_result(self, expected):
        return self.kavrel.wait_until(lambda s: s.idle and s.text("Label1") == expected,
                                      f"the result line to read {expected!r} with Kavrel idle")

    def convert_and_wait(self, expected_result):
        """Presses Convert and waits until the conversion has been shown."""
        before = len(self.server.requests())
        self.kavrel.click("Command1")
        self.wait_for_requests(before + 1)
        return self.wait_for_result(expected_result)

    def assert_no_other_window(self):
        """No message box or other window of Kavrel's shows up while it is idle."""
        deadline = time.monotonic() + NO_WINDOW_WATCH_S
        while time.monotonic() < deadline:
            self.assertEqual(self.kavrel.other_visible_windows(), [])
            time.sleep(0.2)
