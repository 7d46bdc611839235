#!/usr/bin/env python3
"""Runs the end-to-end suite: the real Kavrel.exe under Wine against a recording rate service.

  run_e2e.py KAVREL_EXE INSPECTOR_EXE BUILD_CONFIG_H WORK_DIR

Started through scripts/wine-env, which chooses the Wine of the build and a display.
"""

import os
import re
import shutil
import subprocess
import sys
import unittest
import urllib.parse

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402
import test_kavrel  # noqa: E402


def configured(build_config, name):
    """A text the build was configured with, from its build_config.h."""
    with open(build_config) as header:
        return re.search(rf'#define {name} "([^"]*)"', header.read())[1]


def main(exe, inspector, build_config, work_dir):
    rate_service = configured(build_config, "KAVREL_CONFIGURED_RATE_SERVICE")
    maker_site = configured(build_config, "KAVREL_CONFIGURED_MAKER_SITE")
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
