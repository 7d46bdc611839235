#!/usr/bin/env python3
"""Makes one conversion through a running Kavrel window, by mouse and keyboard.

  convert_once.py --inspector kavrel-inspect.exe --screenshot FILE

Converts 100 U.S. Dollar to Euro, saves a picture of the window to FILE and prints
the result line. Exits 0 only when the result line shows a conversion.
"""

import argparse
import os
import re
import sys

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from desktop import Keyboard, Pointer, Screen, wait_for  # noqa: E402
from kavrel import CLIENT_SIZE, START_TIMEOUT_S, Inspector, KavrelWindow  # noqa: E402

SOURCE = "U.S. Dollar (USD)"
TARGET = "Euro (EUR)"
AMOUNT = "100"
# Entries of the To list that start with the target's first letter, and a margin.
MOST_KEY_PRESSES = 20
CONVERSION_TIMEOUT_S = 90
CONVERSION_SHOWN = re.compile(r"^\S+ @ \S+ per Unit$")


def choose_by_first_letter(window, name, entry):
    """Steps through the list's entries that begin with the entry's first letter."""
    window.click(name)  # a click opens the drop-down list; Escape closes it, the focus stays
    window.keyboard.press("Escape")
    for _ in range(MOST_KEY_PRESSES):
        if window.snapshot().value(name) == entry:
            return
        window.keyboard.press(entry[0].lower())
    raise AssertionError(f"{entry!r} not reached from the keyboard in {name}")


def convert(window):
    window.replace_text("optCountry1", SOURCE)
    choose_by_first_letter(window, "optCountry2", TARGET)
    window.replace_text("txtAm", AMOUNT)
    window.wait_until(lambda s: (s.value("optCountry1"), s.value("txtAm")) == (SOURCE, AMOUNT),
                      "From and Amount to hold what was typed")
    window.click("Command1")
    done = window.wait_until(lambda s: s.idle and s.text("Label1") != "", "the result line",
                             timeout=CONVERSION_TIMEOUT_S)
    return done.text("Label1"), done.origin


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--inspector", required=True)
    parser.add_argument("--screenshot", required=True)
    arguments = parser.parse_args()

    window = KavrelWindow(Inspector(arguments.inspector, dict(os.environ)), Pointer(), Keyboard())
    wait_for(window.inspector.snapshot, START_TIMEOUT_S, "Kavrel's window")
    try:
        result, (left, top) = convert(window)
    except AssertionError as problem:
        print(f"convert_once: {problem}", file=sys.stderr)
        return 1
    screenshot = os.path.abspath(arguments.screenshot)
    Screen(os.path.dirname(screenshot)).save(os.path.basename(screenshot), left, top, *CLIENT_SIZE)
    print(f"{AMOUNT} {SOURCE} to {TARGET}: {result}")
    return 0 if CONVERSION_SHOWN.match(result) else 1


if __name__ == "__main__":
    sys.exit(main())
