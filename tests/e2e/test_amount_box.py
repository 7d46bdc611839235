"""The amount box keeps only the digits 0 to 9 of whatever is typed or pasted."""

from kavrel_case import KavrelTestCase

FULLWIDTH_ONE_TWO = "\uff11\uff12"


class AmountBoxTest(KavrelTestCase):
    def assert_amount(self, expected):
        self.kavrel.wait_until(lambda s: s.value("txtAm") == expected, f"the amount box to read {expected!r}")

    def test_typed_text_keeps_its_digits(self):
        for typed, kept in (("12a3", "123"), ("-5", "5"), ("7 0.5", "705")):
            with self.subTest(typed=typed):
                self.kavrel.replace_text("txtAm", typed)
                self.assert_amount(kept)

    def test_pasted_text_keeps_its_digits(self):
        for pasted, kept in (("1,234.50", "123450"), (f"7{FULLWIDTH_ONE_TWO}8", "78"),
                             ("-5", "5"), (FULLWIDTH_ONE_TWO, "")):
            with self.subTest(pasted=pasted):
                self.kavrel.paste_into("txtAm", pasted)
                self.assert_amount(kept)

    def test_caret_stays_at_the_end(self):
        self.kavrel.replace_text("txtAm", "12")
        self.kavrel.keyboard.type("x3")  # the dropped letter must not move the caret
        self.assert_amount("123")
        self.kavrel.keyboard.press("Home")
        self.kavrel.keyboard.type("9")  # a digit typed in front moves the caret to the end
        self.assert_amount("9123")
        self.kavrel.keyboard.type("4")
        self.assert_amount("91234")
