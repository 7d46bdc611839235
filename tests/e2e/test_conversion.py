"""Start-up, and converting: what Kavrel asks the rate service and what it shows meanwhile and afterwards."""

from kavrel import CLIENT_SIZE, START_POSITION
from kavrel_case import DEFAULT_QUERY, KavrelTestCase
from rate_server import RESULT_LINE

CAPTIONS = {
    "Label9": "Kavrel",
    "Label5": "Select Currency",
    "Label6": "From",
    "Label7": "To",
    "Label8": "Amount",
    "Label2": "Auto Retrieve every 1 minute",
    "Command1": "&Convert",
    "lblC": "",
    "Label1": "",
}
TAB_ORDER = ("optCountry1", "optCountry2", "Command1", "txtAm", "Check1")


class StartTest(KavrelTestCase):
    def test_window_comes_up_at_its_place_with_the_default_pair_asks_nothing_and_tabs_in_order(self):
        snapshot = self.kavrel.snapshot()
        self.assertEqual((snapshot.origin, (snapshot.window["w"], snapshot.window["h"])), (START_POSITION, CLIENT_SIZE))

        for name, caption in CAPTIONS.items():
            self.assertEqual(snapshot.text(name), caption, name)
        for name, shown, position in (("optCountry1", "Albanian Lek (ALL)", 0),
                                      ("optCountry2", "Algerian Dinar (DZD)", 1)):
            box = snapshot.control(name)
            self.assertEqual((box["count"], box["cursel"], box["value"]), (149, position, shown), name)
        self.assertEqual(snapshot.value("txtAm"), "1")
        self.assertEqual(snapshot.control("Check1")["check"], 0)
        self.assertTrue(snapshot.has_focus("optCountry1"))
        self.assertEqual(self.server.requests(), [])

        self.kavrel.click("Label5")  # brings the keyboard to the window; a label takes no focus
        for name in TAB_ORDER:
            self.kavrel.wait_until(lambda s: s.has_focus(name), f"{name} to have the focus")
            self.kavrel.keyboard.press("Tab")
        self.kavrel.wait_until(lambda s: s.has_focus(TAB_ORDER[0]), "the focus to come round again")


class ConvertTest(KavrelTestCase):
    def test_default_pair_is_asked_for_once_busy_meanwhile_then_the_result_shows(self):
        self.server.answer_with(held=True)
        self.kavrel.click("Command1")
        self.wait_for_requests(1)
        busy = self.kavrel.wait_until(lambda s: s.busy, "the busy state during the download")
        self.assertEqual(busy.text("Label1"), "")
        self.server.release()
        self.wait_for_result(RESULT_LINE)
        self.assertEqual([(r.path, r.user_agent) for r in self.server.requests()], [(DEFAULT_QUERY, "Malvorent")])

    def test_two_quick_clicks_convert_twice(self):
        self.kavrel.pointer.double_click(*self.kavrel.point_in("Command1"))
        self.wait_for_requests(2)
        self.wait_for_result(RESULT_LINE)
        self.assertEqual([r.path for r in self.server.requests()], [DEFAULT_QUERY] * 2)

    def test_typed_and_pasted_amounts_keep_their_digits_and_are_asked_for(self):
        for enter, text, kept in ((self.kavrel.replace_text, "12a3", "123"),
                                  (self.kavrel.paste_into, "1,234.50", "123450")):
            with self.subTest(text=text):
                enter("txtAm", text)
                self.kavrel.wait_until(lambda s: s.value("txtAm") == kept, f"the amount box to read {kept!r}")
                self.convert_and_wait(RESULT_LINE)
                self.assertEqual(self.server.requests()[-1].query["amt"], [kept])

    def test_chosen_and_typed_entries_go_into_the_query(self):
        self.kavrel.click("optCountry2")  # opens the list; the keyboard picks the entry
        self.kavrel.keyboard.press("Escape")
        self.kavrel.keyboard.press("End", "Up", "Up")
        self.kavrel.wait_until(lambda s: s.value("optCountry2") == "Yemen Riyal (YER)", "To to show Yemen Riyal")
        self.kavrel.replace_text("optCountry1", "Mine (X&Y Z)")
        self.kavrel.wait_until(lambda s: s.value("optCountry1") == "Mine (X&Y Z)", "From to hold the typed text")
        self.kavrel.click("Command1")
        self.wait_for_requests(1)
        # The typed code is percent-encoded, so its "&" cannot split the query.
        self.assertEqual(self.server.requests()[0].path,
                         "/currency/convert?amt=1&from=X%26Y%20Z&to=YER&submit=Convert")

    def test_alt_c_converts_and_enter_in_the_amount_box_does_not(self):
        self.kavrel.click("txtAm")
        self.kavrel.keyboard.press("Return", "alt+c")
        self.wait_for_result(RESULT_LINE)
        # Events are handled in order: had Enter converted, its request would be here too.
        self.assertEqual(len(self.server.requests()), 1)

