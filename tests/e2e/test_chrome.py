"""The drawn title area: dragging the window, the close square, the logo link; and the colours."""

from desktop import wait_for
from kavrel import CLIENT_SIZE, REACTION_TIMEOUT_S
from kavrel_case import KavrelTestCase

TRAVEL = (60, 45)
# Client points that only one control covers, and the colour a person sees there.
COLOURS = {
    "close square (Label4)": ((458, 17), (128, 128, 255)),
    "empty result line (Label1)": ((300, 142), (96, 113, 232)),
    "title band (Shape1)": ((100, 28), (222, 232, 250)),
    "window background": ((300, 50), (255, 255, 255)),
    "amount box (txtAm)": ((200, 108), (222, 232, 250)),
}


class DragTest(KavrelTestCase):
    def drag(self, name, offset, button="left"):
        before = self.kavrel.snapshot()
        self.kavrel.pointer.drag(self.kavrel.point_in(name, before, offset), TRAVEL, button)
        return before.origin

    def assert_moved_by_travel(self, start):
        expected = (start[0] + TRAVEL[0], start[1] + TRAVEL[1])
        self.kavrel.wait_until(lambda s: s.origin == expected, f"the window to move to {expected}")

    def test_left_drag_on_title_strip_moves_the_window(self):
        # Left of the banner title, where only the strip lies over the band.
        start = self.drag("Label3", (20, 12))
        self.assert_moved_by_travel(start)

    def test_left_drag_on_banner_title_moves_the_window(self):
        start = self.drag("Label9", (30, 9))
        self.assert_moved_by_travel(start)

    def test_right_drag_leaves_the_window_in_place(self):
        start = self.drag("Label3", (20, 12), button="right")
        # A later left drag shows that the right one was handled and had no effect.
        moved = self.drag("Label9", (30, 9))
        self.assertEqual(moved, start)
        self.assert_moved_by_travel(start)

    def test_drag_elsewhere_leaves_the_window_in_place(self):
        start = self.drag("Label5", (10, 9))
        moved = self.drag("Label3", (20, 12))
        self.assertEqual(moved, start)
        self.assert_moved_by_travel(start)


class CloseAndLinkTest(KavrelTestCase):
    def test_close_square_ends_kavrel(self):
        self.kavrel.click("Label4")
        self.kavrel.wait_for_exit()
        self.assertEqual(self.kavrel.inspector.windows(), [])

    def test_logo_opens_the_maker_site_in_the_browser(self):
        self.harness.forget_browser_calls()
        self.kavrel.click("Image2")
        calls = wait_for(self.harness.browser_calls, REACTION_TIMEOUT_S, "the stand-in browser to be called")
        # winebrowser hands the address on with the root path "/" made explicit.
        self.assertEqual(calls, [self.harness.maker_site.rstrip("/") + "/"])
        self.assertTrue(self.kavrel.snapshot().window["responding"])
        self.assertEqual(self.server.requests(), [])


    def test_logo_shows_its_hint_while_the_mouse_rests_on_it(self):
        x, y = self.kavrel.point_in("Image2")
        self.kavrel.pointer.move(x - 3, y - 3)
        self.kavrel.pointer.move(x, y)
        hints = wait_for(lambda: [w for w in self.kavrel.other_visible_windows()
                                  if w.get("value") == "Visit Delvelopers Website"],
                         REACTION_TIMEOUT_S, "the logo's hint to show")
        self.assertEqual(len(hints), 1)


class AppearanceTest(KavrelTestCase):
    def test_colours_at_known_places(self):
        left, top = self.kavrel.snapshot().origin
        picture = self.harness.screen.grab(left, top, *CLIENT_SIZE)
        self.harness.screen.save("kavrel-start.png", left, top, *CLIENT_SIZE)
        for place, ((x, y), colour) in COLOURS.items():
            with self.subTest(place=place):
                self.assertEqual(picture[y][x], colour)

    def test_layout_of_the_child_windows(self):
        snapshot = self.kavrel.snapshot()
        for name in ("Check1", "txtAm", "Command1", "Label1", "lblC", "Label4"):
            with self.subTest(control=name):
                control = snapshot.control(name)
                self.assertEqual((control["w"], control["h"]), snapshot.layout(name)[2:])
