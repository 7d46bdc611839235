#!/usr/bin/env python3
"""The download as a user gets it: the zip CPack makes from the build, unzipped and started in a fresh
Wine prefix, inside a network namespace that reaches nothing beyond itself (exit 77 where not permitted).

  package_e2e.py CPACK BUILD_DIR INSPECTOR_EXE      (through scripts/wine-env)
"""

import ctypes
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Kavrel, wait_for  # noqa: E402

# Wine's wininet (so Kavrel) counts the machine online only with a default gateway: a veth pair of the
# namespace's own gives it one that leads nowhere, and every outside address is unreachable at once, so
# the service's fetch of the bank's file fails at once and it serves its built-in table.
NETWORK = """link set lo up
link add kavrel0 type veth peer name kavrel1
address add 192.0.2.1/24 dev kavrel0
link set kavrel0 up
link set kavrel1 up
route add default via 192.0.2.2
route add unreachable 0.0.0.0/1
route add unreachable 128.0.0.0/1
"""


def converts(kavrel, amount):
    """A new conversion line shows; Convert is pressed again while the service may still be starting."""
    kavrel.type_into("txtAm", amount)
    before = kavrel.look().text("Label1")

    def shown():
        kavrel.click("Command1")
        line = kavrel.wait_until(lambda w: w.idle, "the retrieval to end").text("Label1")
        return line != before and re.fullmatch(r"\S+ @ \S+ per Unit", line)
    wait_for(shown, f"a conversion of {amount}", timeout=60)


def network_problem():
    """None once this process is in a network namespace of its own, else why it is not."""
    if ctypes.CDLL(None, use_errno=True).unshare(0x40000000) != 0:  # CLONE_NEWNET
        return f"unshare -n is not permitted here ({os.strerror(ctypes.get_errno())})"
    made = subprocess.run(["ip", "-batch", "-"], input=NETWORK, capture_output=True, text=True)
    return f"the namespace's network could not be made: {made.stderr.strip()}" if made.returncode else None


def main(cpack, build_dir, inspector):
    if problem := network_problem():
        print(f"package_e2e: skipped: {problem}")
        return 77
    work_dir = pathlib.Path(tempfile.mkdtemp(prefix="kavrel-package-"))
    # A fresh prefix, so that its wineserver, which makes Wine's sockets, starts inside the namespace.
    os.environ["WINEPREFIX"] = str(work_dir / "prefix")
    try:
        subprocess.run([cpack, "--config", f"{build_dir}/CPackConfig.cmake", "-B", work_dir], check=True,
                       stdout=subprocess.DEVNULL)
        shutil.unpack_archive(next(work_dir.glob("Kavrel-*.zip")), work_dir / "unzipped")
        app = next((work_dir / "unzipped").glob("Kavrel-*"))
        shipped = {"Kavrel.exe", "kavrel-rates.exe", "USER-GUIDE.md", "LICENSE", "licenses"}
        assert shipped <= set(os.listdir(app)), f"the zip holds {os.listdir(app)}"
        subprocess.run([os.environ["KAVREL_WINE"], "wineboot", "-i"], check=True, capture_output=True)
        subprocess.run([os.environ["WINESERVER"], "-p"])  # kept up for the test (2: it still is, after wineboot)
        exe = str(app / "Kavrel.exe")
        first = Kavrel(exe, inspector, work_dir)
        converts(first, "1")
        first_pid = first.look().window["pid"]
        second = Kavrel(exe, inspector, work_dir, alone=False)  # over the first, in the same place
        wait_for(lambda: second.look().window["pid"] != first_pid, "the second Kavrel's window on top")
        converts(second, "2")
        names = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ".", "getwindowname", "%@"],
                               capture_output=True, text=True).stdout.splitlines()
        assert set(names) == {"Kavrel"}, f"windows besides Kavrel's (a console?): {names}"
        first.kill()
        converts(second, "3")
        second.click("Label4")
        assert second.process.wait(20) == 0, f"Kavrel.exe ended with status {second.process.returncode}"
        service = ["pgrep", "-f", f"{work_dir.name}.*kavrel-rates.exe"]
        wait_for(lambda: subprocess.run(service, stdout=subprocess.DEVNULL).returncode == 1, "the service to end", 5)
        print("package_e2e: two Kavrels converted through the service the first one started; it ended with them")
        return 0
    finally:
        subprocess.run([os.environ["WINESERVER"], "-k"], stderr=subprocess.DEVNULL)
        shutil.rmtree(work_dir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
