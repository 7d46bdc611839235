#!/usr/bin/env python3
"""Converts 100 U.S. Dollar to Euro through a running Kavrel window, by mouse and keyboard.

  convert_once.py --inspector kavrel-inspect.exe --screenshot FILE

Saves a picture of the window to FILE, prints the result line and exits 0 only when
it shows a conversion.
"""

import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import KavrelWindow, wait_for, xdotool  # noqa: E402


def main():
    options = dict(zip(sys.argv[1::2], sys.argv[2::2]))
    window = KavrelWindow(options["--inspector"])
    wait_for(window.inspect, "Kavrel's window", timeout=60)
    window.type_into("optCountry1", "U.S. Dollar (USD)")
    window.type_into("txtAm", "100")
    window.click("optCountry2")  # opens the list; Escape closes it, and the keyboard steps to Euro
    xdotool("key", "Escape")
    window.wait_until(lambda w: w.controls["optCountry2"]["value"] == "Euro (EUR)" or xdotool("key", "e"),
                      "To to reach Euro (EUR)")
    window.wait_until(lambda w: (w.controls["optCountry1"]["value"], w.controls["txtAm"]["value"]) ==
                      ("U.S. Dollar (USD)", "100"), "From and Amount to hold what was typed")
    window.click("Command1")
    done = window.wait_until(lambda w: w.idle and w.text("Label1"), "the result line", timeout=90)
    crop = "{w}x{h}+{x}+{y}".format(**done.window)
    subprocess.run(["import", "-silent", "-window", "root", "-crop", crop, options["--screenshot"]], check=True)
    print(f"100 U.S. Dollar (USD) to Euro (EUR): {done.text('Label1')}")
    return 0 if re.fullmatch(r"\S+ @ \S+ per Unit", done.text("Label1")) else 1


if __name__ == "__main__":
    sys.exit(main())
