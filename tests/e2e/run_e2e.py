#!/usr/bin/env python3
"""Runs the end-to-end suite: the real Kavrel.exe under Wine against a recording rate service.

  run_e2e.py KAVREL_EXE INSPECTOR_EXE RATE_SERVICE_URL MAKER_SITE WORK_DIR

Started through scripts/wine-env, which chooses the Wine of the build and a display.
"""

import os
import shutil
import subprocess
import sys
import unittest
import urllib.parse

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402
import test_kavrel  # noqa: E402


def main(exe, inspector, rate_service, maker_site, work_dir):
    service = urllib.parse.urlsplit(rate_service)
    if service.scheme != "http" or service.hostname != "127.0.0.1":
        sys.exit(f"run_e2e: the rate service must be http://127.0.0.1[:port], not {rate_service}")
    shutil.rmtree(work_dir, ignore_errors=True)
    os.makedirs(work_dir)
    server = harness.RateServer((service.hostname, service.port or 80))
    test_kavrel.KavrelTest.exe, test_kavrel.KavrelTest.inspector = os.path.abspath(exe), os.path.abspath(inspector)
    test_kavrel.KavrelTest.server, test_kavrel.KavrelTest.maker_site = server, maker_site
    test_kavrel.KavrelTest.work_dir = work_dir
    # An idle cmd.exe keeps Wine's desktop up for the run: else each program would start it
    # again, and it would hold that program's output pipes open.
    keeper = subprocess.Popen([os.environ["KAVREL_WINE"], "cmd"], stdin=subprocess.PIPE,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        suite = unittest.defaultTestLoader.loadTestsFromModule(test_kavrel)
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
        return 0 if result.wasSuccessful() and result.testsRun > 0 else 1
    finally:
        keeper.stdin.close()
        keeper.wait(30)
        server.shutdown()


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
