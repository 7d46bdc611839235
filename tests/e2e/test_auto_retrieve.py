"""With the check box ticked, the minute timer converts without Convert being pressed."""

from kavrel_case import KavrelTestCase
from rate_server import RESULT_LINE

# The timer ticks every minute from start-up; allow for a slow start and a loaded machine.
TICK_WAIT_S = 75
# Unlike Convert, a tick puts no "1" into an empty amount box: it asks for 0.
EMPTY_BOX_QUERY = "/currency/convert?amt=0&from=ALL&to=DZD&submit=Convert"


class AutoRetrieveTest(KavrelTestCase):
    def test_ticked_box_converts_at_the_next_minute(self):
        self.kavrel.select_all_in("txtAm")
        self.kavrel.keyboard.press("BackSpace")
        self.kavrel.click("Label2")  # the caption beside the box is not part of it
        self.kavrel.click("Check1")
        ticked = self.kavrel.wait_until(lambda s: s.control("Check1")["check"] == 1, "the box to be ticked")
        self.assertEqual(ticked.value("txtAm"), "")
        self.assertEqual(self.server.requests(), [])

        requests = self.wait_for_requests(1, timeout=TICK_WAIT_S)
        self.assertEqual([(r.path, r.user_agent) for r in requests], [(EMPTY_BOX_QUERY, "Malvorent")])
        self.assertEqual(self.wait_for_result(RESULT_LINE).value("txtAm"), "")
