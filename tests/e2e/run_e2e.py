#!/usr/bin/env python3
"""Runs the end-to-end suite: the real Kavrel.exe under Wine, driven like a person would.

  run_e2e.py --kavrel Kavrel.exe --inspector kavrel-inspect.exe
             --rate-service http://127.0.0.1:8750 --maker-site http://127.0.0.1:8750
             [--work-dir DIR] [-k PATTERN]

Started through scripts/wine-env, which chooses the Wine of the build's architecture
and a display. It keeps one wineserver for the whole run, and serves the rate
service itself on the rate service's loopback address.
The last line it prints reads "N passed, N failed".
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, HERE)

from desktop import wait_for  # noqa: E402
from kavrel import Harness  # noqa: E402
from kavrel_case import KavrelTestCase  # noqa: E402
from rate_server import PortTaken, RateServer  # noqa: E402


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kavrel", required=True)
    parser.add_argument("--inspector", required=True)
    parser.add_argument("--rate-service", required=True)
    parser.add_argument("--maker-site", required=True)
    parser.add_argument("--work-dir", default=os.path.join(os.getcwd(), "e2e-work"))
    parser.add_argument("-k", dest="patterns", action="append", help="run only tests matching this")
    return parser.parse_args()


def loopback_address(url):
    parts = urllib.parse.urlsplit(url)
    if parts.scheme != "http" or parts.hostname != "127.0.0.1":
        sys.exit(f"run_e2e: the rate service must be http://127.0.0.1[:port] for this suite, not {url}")
    return parts.hostname, parts.port or 80


def start_wine_session():
    """Starts Wine's server and desktop and keeps them for the run; returns the keeper.

    Wine's desktop ends a little after the last Wine program; the next program would
    start it again, with that program's output pipes. An idle cmd.exe, waiting on its
    input, keeps the desktop up; all of them are started here with no pipes of ours.
    """
    quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wine = os.environ["KAVREL_WINE"]
    subprocess.run([os.environ["WINESERVER"], "-p"], stdin=subprocess.DEVNULL, **quiet)
    subprocess.run([wine, "cmd", "/c", "exit"], stdin=subprocess.DEVNULL, **quiet, timeout=300)
    return subprocess.Popen([wine, "cmd"], stdin=subprocess.PIPE, **quiet)


def end_wine_session(keeper):
    keeper.stdin.close()
    try:
        keeper.wait(30)
    except subprocess.TimeoutExpired:
        keeper.kill()
        keeper.wait()


def main():
    arguments = parse_arguments()
    host, port = loopback_address(arguments.rate_service)
    for path in (arguments.kavrel, arguments.inspector):
        if not os.path.isfile(path):
            sys.exit(f"run_e2e: {path} does not exist; build a Windows preset first")
    shutil.rmtree(arguments.work_dir, ignore_errors=True)
    os.makedirs(arguments.work_dir)

    if not (os.environ.get("KAVREL_WINE") and os.environ.get("DISPLAY")):
        sys.exit("run_e2e: start it through scripts/wine-env, which sets up Wine and the display")
    server = RateServer(host, port)
    try:
        server.start()
    except PortTaken as error:
        sys.exit(f"run_e2e: {error}")
    keeper = None
    try:
        keeper = start_wine_session()
        KavrelTestCase.harness = Harness(os.path.abspath(arguments.kavrel), os.path.abspath(arguments.inspector),
                                         arguments.maker_site, server, arguments.work_dir)
        loader = unittest.TestLoader()
        loader.testNamePatterns = [f"*{pattern}*" for pattern in arguments.patterns or ()] or None
        suite = loader.discover(HERE, pattern="test_*.py")
        began = time.monotonic()
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
        failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
        passed = result.testsRun - failed - len(result.skipped)
        print(f"suite time {time.monotonic() - began:.0f} s, work files in {arguments.work_dir}")
        print(f"{passed} passed, {failed} failed")
        return 0 if failed == 0 and result.testsRun > 0 else 1
    finally:
        if keeper:
            end_wine_session(keeper)
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
