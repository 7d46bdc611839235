#!/usr/bin/env python3
"""kavrel-rates.exe under Wine: the bank's file fetched through WinHTTP from a server of the test's
own on 127.0.0.1, what it keeps when that server fails, and the kept file. (That it answers from its
built-in table is the download's end-to-end test, through Kavrel itself.)

  windows_service_test.py KAVREL_RATES_EXE      (through scripts/wine-env)
"""

import datetime
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
from harness import RateServer, wait_for  # noqa: E402

EXE = None  # from the command line
DATE = (datetime.date.today() - datetime.timedelta(days=1)).isoformat()
DAILY = f"<Cube><Cube time='{DATE}'><Cube currency='USD' rate='1.25'/><Cube currency='GBP' rate='0.8'/></Cube></Cube>"


class Service:
    """kavrel-rates.exe on a free port, its log in a file (a pipe would be held open by Wine)."""

    def __init__(self, folder, *options):
        self.log = os.path.join(folder, f"service-{time.monotonic_ns()}.log")
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen([os.environ["KAVREL_WINE"], EXE, "--port", "0", *options],
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        port = wait_for(lambda: re.search(r"listening on http://127\.0\.0\.1:(\d+)/", self.text()), "the service")
        self.base = f"http://127.0.0.1:{port[1]}"

    def text(self):
        with open(self.log, errors="replace") as log:
            return log.read()

    def get(self, path):
        with urllib.request.urlopen(self.base + path, timeout=5) as answer:
            return answer.read().decode()

    def rate(self, source, target):
        page = self.get(f"/currency/convert?amt=1&from={source}&to={target}&submit=Convert")
        return float(re.search(r'<td class="rate">([^<]+)</td>', page)[1])

    def stop(self):
        self.process.kill()
        self.process.wait()


class WindowsServiceTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()

    def start(self, *options):
        service = Service(self.folder, *options)
        self.addCleanup(service.stop)
        return service

    def test_fetches_the_bank_file_keeps_its_rates_through_failures_and_from_the_kept_file(self):
        bank, cache = RateServer(("127.0.0.1", 0)), os.path.join(self.folder, "cache")
        bank.page, url = DAILY, f"http://127.0.0.1:{bank.server_port}/eurofxref-daily.xml"
        service = self.start("--ecb-url", url, "--refresh", "300ms", "--cache", cache)
        wait_for(lambda: service.get("/healthz") == DATE + "\n", "the bank's rates")
        self.assertAlmostEqual(service.rate("EUR", "USD"), 1.25)
        with open(os.path.join(cache, "eurofxref.xml")) as kept:
            self.assertEqual(kept.read(), DAILY)

        bank.page = "<html>Maintenance</html>"
        wait_for(lambda: "no <Cube time" in service.text(), "a garbage file refused")
        bank.shutdown()
        bank.server_close()
        wait_for(lambda: "could not connect" in service.text(), "a server that is gone")
        self.assertAlmostEqual(service.rate("EUR", "USD"), 1.25)
        service.stop()

        again = self.start("--ecb-url", url, "--cache", cache)
        self.assertEqual(again.get("/healthz"), DATE + "\n")
        self.assertAlmostEqual(again.rate("EUR", "USD"), 1.25)
        wait_for(lambda: "could not be had" in again.get("/"), "the home page to say the file could not be had")


if __name__ == "__main__":
    EXE = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
