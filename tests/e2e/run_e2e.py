#!/usr/bin/env python3
"""Runs the end-to-end suite: the real Kavrel.exe under Wine, driven like a person would.

  run_e2e.py --kavrel Kavrel.exe --inspector kavrel-inspect.exe
             --rate-service http://127.0.0.1:8750 --maker-site http://127.0.0.1:8750
             [--work-dir DIR] [-k PATTERN]

It uses the display in DISPLAY or starts its own Xvfb, keeps one wineserver for the
whole run, and serves the rate service itself on the rate service's loopback address.
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


def start_own_display():
    """Starts Xvfb on a free display number; returns the process."""
    for number in range(90, 141):
        if os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
            continue
        xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{number}") or xvfb.poll() is not None,
                     10, "Xvfb to start")
        except AssertionError:
            xvfb.kill()
            continue
        if xvfb.poll() is None:
            os.environ["DISPLAY"] = f":{number}"
            return xvfb
    sys.exit("run_e2e: could not start Xvfb")


def start_wine_session():
    """Starts Wine's server and desktop and keeps them for the run; returns the keeper.

    Wine's desktop ends a little after the last Wine program; the next program would
    start it again, with that program's output pipes. An idle cmd.exe, waiting on its
    input, keeps the desktop up; all of them are started here with no pipes of ours.
    """
    quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-p"], stdin=subprocess.DEVNULL, **quiet)
    subprocess.run(["wine", "cmd", "/c", "exit"], stdin=subprocess.DEVNULL, **quiet, timeout=300)
    return subprocess.Popen(["wine", "cmd"], stdin=subprocess.PIPE, **quiet)


def end_wine_session(keeper):
    keeper.stdin.close()
    try:
        keeper.wait(30)
    except subprocess.TimeoutExpired:
        keeper.kill()
        keeper.wait()


def wine_defaults():
    root = os.path.abspath(os.path.join(HERE, "..", ".."))
    os.environ.setdefault("WINEPREFIX", os.path.join(root, "build", "wine-prefix"))
    os.environ.setdefault("WINEARCH", "win32")
    os.environ.setdefault("WINEDEBUG", "-all")
    os.environ.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")


def selected(suite, patterns):
    if not patterns:
        return suite
    chosen = unittest.TestSuite()
    for test in _flatten(suite):
        if any(pattern in test.id() for pattern in patterns):
            chosen.addTest(test)
    return chosen


def _flatten(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from _flatten(item)
        else:
            yield item


def main():
    arguments = parse_arguments()
    host, port = loopback_address(arguments.rate_service)
    for path in (arguments.kavrel, arguments.inspector):
        if not os.path.isfile(path):
            sys.exit(f"run_e2e: {path} does not exist; build the win32 preset first")
    shutil.rmtree(arguments.work_dir, ignore_errors=True)
    os.makedirs(arguments.work_dir)

    wine_defaults()
    server = RateServer(host, port)
    try:
        server.start()
    except PortTaken as error:
        sys.exit(f"run_e2e: {error}")
    own_display = None if os.environ.get("DISPLAY") else start_own_display()
    keeper = None
    try:
        keeper = start_wine_session()
        KavrelTestCase.harness = Harness(os.path.abspath(arguments.kavrel), os.path.abspath(arguments.inspector),
                                         arguments.maker_site, server, arguments.work_dir)
        suite = selected(unittest.defaultTestLoader.discover(HERE, pattern="test_*.py"), arguments.patterns)
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
        if own_display:
            own_display.kill()
            own_display.wait()


if __name__ == "__main__":
    sys.exit(main())
