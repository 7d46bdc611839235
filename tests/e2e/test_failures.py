"""A retrieval that fails ends quietly: idle again, result line empty, no message box."""

from kavrel_case import KavrelTestCase
from rate_server import NO_RESULTS_PAGE, RESULT_LINE, SERVER_ERROR_PAGE


class FailedRetrievalTest(KavrelTestCase):
    def setUp(self):
        super().setUp()
        # A shown result first, so that an emptied result line proves the retrieval ran.
        self.convert_and_wait(RESULT_LINE)

    def assert_ended_quietly(self):
        snapshot = self.wait_for_result("")
        self.assertTrue(snapshot.window["responding"])
        self.assert_no_other_window()

    def test_server_error_page(self):
        self.server.answer_with(SERVER_ERROR_PAGE, status=500)
        self.kavrel.click("Command1")
        self.wait_for_requests(2)
        self.assert_ended_quietly()

    def test_page_without_results(self):
        self.server.answer_with(NO_RESULTS_PAGE)
        self.kavrel.click("Command1")
        self.wait_for_requests(2)
        self.assert_ended_quietly()

    def test_refused_connection_then_recovery(self):
        self.server.stop()
        self.kavrel.click("Command1")
        self.assert_ended_quietly()
        self.server.start()
        self.convert_and_wait(RESULT_LINE)

    def test_source_text_without_code_asks_nothing(self):
        self.kavrel.replace_text("optCountry1", "Mine")
        self.kavrel.wait_until(lambda s: s.value("optCountry1") == "Mine", "From to hold the typed text")
        self.kavrel.click("Command1")
        self.assert_ended_quietly()
        self.assertEqual(len(self.server.requests()), 1)
