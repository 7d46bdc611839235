"""A retrieval that fails ends quietly: idle again, result line empty, no message box."""

from kavrel_case import KavrelTestCase
from rate_server import RESULT_LINE, SERVER_ERROR_PAGE


class FailedRetrievalTest(KavrelTestCase):
    def convert_and_fail_quietly(self, requests_after):
        # A shown result before, so that the emptied result line proves the retrieval ran.
        self.kavrel.click("Command1")
        self.wait_for_requests(requests_after)
        snapshot = self.wait_for_result("")
        self.assertTrue(snapshot.window["responding"])
        self.assert_no_other_window()
        self.assertEqual(len(self.server.requests()), requests_after)

    def test_failures_end_quietly_and_the_next_conversion_works(self):
        self.convert_and_wait(RESULT_LINE)
        self.server.answer_with(SERVER_ERROR_PAGE, status=500)
        self.convert_and_fail_quietly(2)

        self.server.answer_with()
        self.convert_and_wait(RESULT_LINE)
        self.server.stop()
        self.convert_and_fail_quietly(3)

        self.server.start()
        self.convert_and_wait(RESULT_LINE)
        self.kavrel.replace_text("optCountry1", "Mine")  # no code: nothing is asked
        self.kavrel.wait_until(lambda s: s.value("optCountry1") == "Mine", "From to hold the typed text")
        self.convert_and_fail_quietly(4)
