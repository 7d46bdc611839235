"""The drawn title area: dragging the window, the close square, the logo link and its hint."""

from desktop import wait_for
from kavrel import REACTION_TIMEOUT_S
from kavrel_case import KavrelTestCase

TRAVEL = (60, 45)
# Drags in turn: the control, the pointer's offset in it, the button, whether the window follows.
DRAGS = (
    ("Label3", (20, 12), "left", True),  # left of the banner title, where only the strip lies over the band
    ("Label9", (30, 9), "left", True),
    ("Label3", (20, 12), "right", False),
    ("Label5", (10, 9), "left", False),
    ("Label9", (30, 9), "left", True),  # events are handled in order: the two drags before it were too
)


class TitleAreaTest(KavrelTestCase):
    def test_only_left_drags_on_the_title_area_move_the_window(self):
        expected = self.kavrel.snapshot().origin
        for name, offset, button, moves in DRAGS:
            with self.subTest(control=name, button=button):
                self.kavrel.pointer.drag(self.kavrel.point_in(name, offset=offset), TRAVEL, button)
                if moves:
                    expected = (expected[0] + TRAVEL[0], expected[1] + TRAVEL[1])
                    self.kavrel.wait_until(lambda s: s.origin == expected, f"the window to move to {expected}")

    def test_close_square_ends_kavrel(self):
        self.kavrel.click("Label4")
        self.kavrel.wait_for_exit()
        self.assertEqual(self.kavrel.inspector.windows(), [])

    def test_logo_shows_its_hint_and_opens_the_maker_site_in_the_browser(self):
        x, y = self.kavrel.point_in("Image2")
        self.kavrel.pointer.move(x - 3, y - 3)
        self.kavrel.pointer.move(x, y)
        hints = wait_for(lambda: [w for w in self.kavrel.other_visible_windows()
                                  if w.get("value") == "Visit Delvelopers Website"],
                         REACTION_TIMEOUT_S, "the logo's hint to show")
        self.assertEqual(len(hints), 1)

        self.kavrel.click("Image2")
        calls = wait_for(self.harness.browser_calls, REACTION_TIMEOUT_S, "the stand-in browser to be called")
        # winebrowser hands the address on with the root path "/" made explicit.
        self.assertEqual(calls, [self.harness.maker_site.rstrip("/") + "/"])
        self.assertTrue(self.kavrel.snapshot().window["responding"])
        self.assertEqual(self.server.requests(), [])
