#!/usr/bin/env python3
"""The download as a user gets it: the zip CPack makes from the build, unzipped into a new folder and
started in a fresh Wine prefix, where Kavrel.exe starts the kavrel-rates.exe beside it.

  package_e2e.py CPACK BUILD_DIR INSPECTOR_EXE

Started through scripts/wine-env. It runs in a network namespace of its own that reaches nothing beyond
itself, so the service's fetch of the bank's file cannot leave the machine (it fails at once and the
service serves its built-in table) and no other service holds the port; where the namespace is not
permitted it exits 77 (skipped) and says why.
"""

import ctypes
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Kavrel, wait_for, xdotool  # noqa: E402

CONVERSION = re.compile(r"\S+ @ \S+ per Unit")
CLONE_NEWNET = 0x40000000


class PackageTest(unittest.TestCase):
    app = inspector = work_dir = None  # given by main

    def start(self, alone=True):
        kavrel = Kavrel(str(self.app / "Kavrel.exe"), self.inspector, self.work_dir, alone=alone)
        self.addCleanup(kavrel.kill)
        return kavrel

    def converts(self, kavrel, amount):
        """A conversion of `amount` shows; Convert is pressed again while the service is still starting."""
        kavrel.click("txtAm")
        xdotool("key", "--delay", 60, "End", "shift+Home")
        xdotool("type", "--delay", 60, "--", amount)
        before = kavrel.look().text("Label1")

        def shown():
            kavrel.click("Command1")
            line = kavrel.wait_until(lambda w: w.idle, "the retrieval to end").text("Label1")
            return line != before and CONVERSION.fullmatch(line)
        wait_for(shown, f"a conversion of {amount}", timeout=60)
        # The names of all visible windows on the display (a console window has one).
        names = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ".", "getwindowname", "%@"],
                               capture_output=True, text=True).stdout.splitlines()
        self.assertEqual([n for n in names if n != "Kavrel"], [], "a window besides Kavrel's")

    def service_runs(self):
        return subprocess.run(["pgrep", "-f", f"{self.work_dir.name}.*kavrel-rates.exe"],
                              stdout=subprocess.DEVNULL).returncode == 0

    def test_kavrel_starts_its_service_which_lives_while_any_kavrel_does(self):
        first = self.start()
        self.converts(first, "1")
        first_pid = first.look().window["pid"]
        second = self.start(alone=False)  # over the first, in the same place
        wait_for(lambda: second.look().window["pid"] != first_pid, "the second Kavrel's window on top")
        self.converts(second, "2")
        first.kill()
        self.converts(second, "3")
        second.click("Label4")
        self.assertEqual(second.process.wait(20), 0)
        wait_for(lambda: not self.service_runs(), "kavrel-rates.exe to end", timeout=5)


# Wine's wininet (so Kavrel) counts the machine online only with a default gateway: the namespace gets
# one on a veth pair of its own, which leads nowhere, and every outside address is unreachable at once.
NETWORK = """link set lo up
link add kavrel0 type veth peer name kavrel1
address add 192.0.2.1/24 dev kavrel0
link set kavrel0 up
link set kavrel1 up
route add default via 192.0.2.2
route add unreachable 0.0.0.0/1
route add unreachable 128.0.0.0/1
"""


def enter_network_of_this_machine_only():
    """None, or why this process cannot have a network namespace of its own."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(CLONE_NEWNET) != 0:
        return f"unshare -n is not permitted here ({os.strerror(ctypes.get_errno())})"
    result = subprocess.run(["ip", "-batch", "-"], input=NETWORK, capture_output=True, text=True)
    return None if result.returncode == 0 else f"the namespace's network could not be made: {result.stderr.strip()}"


def main(cpack, build_dir, inspector):
    problem = enter_network_of_this_machine_only()
    if problem:
        print(f"package_e2e: skipped: {problem}")
        return 77
    work_dir = pathlib.Path(tempfile.mkdtemp(prefix="kavrel-package-"))
    # A fresh prefix, so its wineserver starts here, inside the namespace: Wine's sockets are the server's.
    os.environ["WINEPREFIX"] = str(work_dir / "prefix")
    try:
        subprocess.run([cpack, "--config", os.path.join(build_dir, "CPackConfig.cmake"), "-B", work_dir / "cpack"],
                       check=True, stdout=subprocess.DEVNULL)
        with zipfile.ZipFile(next((work_dir / "cpack").glob("Kavrel-*.zip"))) as download:
            download.extractall(work_dir / "unzipped")
        PackageTest.app = next((work_dir / "unzipped").glob("Kavrel-*"))
        names = {p.name for p in PackageTest.app.iterdir()}
        if not {"Kavrel.exe", "kavrel-rates.exe", "USER-GUIDE.md", "LICENSE", "licenses"} <= names:
            sys.exit(f"package_e2e: the zip holds {sorted(names)}")
        subprocess.run([os.environ["KAVREL_WINE"], "wineboot", "-i"], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run([os.environ["WINESERVER"], "-p"])  # kept up for the test (2: it still is, after wineboot)
        PackageTest.inspector, PackageTest.work_dir = os.path.abspath(inspector), work_dir
        suite = unittest.defaultTestLoader.loadTestsFromTestCase(PackageTest)
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
        return 0 if result.wasSuccessful() and result.testsRun > 0 else 1
    finally:
        subprocess.run([os.environ["WINESERVER"], "-k"], stderr=subprocess.DEVNULL)
        shutil.rmtree(work_dir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
