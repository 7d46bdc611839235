#!/usr/bin/env python3
"""kavrel-rates.exe under Wine: the bank's file fetched through WinHTTP from a server of the test's
own on 127.0.0.1, what it keeps when that server fails, and the kept file. (That it answers from its
built-in table is the download's end-to-end test, through Kavrel itself.)

  windows_service_test.py KAVREL_RATES_EXE      (through scripts/wine-env)
"""

import datetime
import os
import sys
import tempfile
import unittest
import urllib.request

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
from harness import RateServer, RatesService, wait_for  # noqa: E402

EXE = None  # from the command line
DATE = (datetime.date.today() - datetime.timedelta(days=1)).isoformat()
DAILY = f"<Cube><Cube time='{DATE}'><Cube currency='USD' rate='1.25'/><Cube currency='GBP' rate='0.8'/></Cube></Cube>"


def get(service, path):
    with urllib.request.urlopen(f"http://127.0.0.1:{service.port}{path}", timeout=5) as answer:
        return answer.read().decode()


class WindowsServiceTest(unittest.TestCase):
    def test_fetches_the_bank_file_keeps_its_rates_through_failures_and_from_the_kept_file(self):
        self.addCleanup((temporary := tempfile.TemporaryDirectory()).cleanup)  # after the services stop
        folder = temporary.name
        bank, cache = RateServer(("127.0.0.1", 0)), os.path.join(folder, "cache")
        bank.page, url = DAILY, f"http://127.0.0.1:{bank.server_port}/eurofxref-daily.xml"
        service = RatesService(EXE, folder, "--ecb-url", url, "--refresh", "300ms", "--cache", cache)
        self.addCleanup(service.stop)
        wait_for(lambda: get(service, "/healthz") == DATE + "\n", "the bank's rates in use")

        bank.page = "<html>Maintenance</html>"
        wait_for(lambda: "no <Cube time" in service.text(), "a garbage file refused")
        bank.shutdown()
        bank.server_close()
        wait_for(lambda: "could not connect" in service.text(), "a server that is gone")
        self.assertEqual(get(service, "/healthz"), DATE + "\n")  # the bank's rates still in use
        service.stop()

        again = RatesService(EXE, folder, "--ecb-url", url, "--cache", cache)
        self.addCleanup(again.stop)
        self.assertEqual(get(again, "/healthz"), DATE + "\n")  # from the kept file
        wait_for(lambda: "could not be had" in get(again, "/"), "the home page to say the file could not be had")


if __name__ == "__main__":
    EXE = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
