#!/usr/bin/env python3
"""Walks the running program's accessible tree as a screen reader does: every control found by
role and name, the labels tied to their text boxes, the first focus on "Test", then "Test" pressed
through its action and the report read from the tree. Prints what it reads."""
import sys
import time

import pyatspi

CONTROLS = [
    ("push button", "Test"), ("push button", "Okay"), ("push button", "Exit"),
    ("push button", "Add"), ("push button", "Remove"),
    ("text", "ZIP code"), ("text", "Greeting message"),
    ("combo box", "Voice"), ("combo box", "Hour"), ("combo box", "Minutes"),
    ("combo box", "AM or PM"), ("list", "Announcement times"),
    ("radio button", "Standard (F/mi)"), ("radio button", "Metric (C/km)"),
    ("check box", "City Location"), ("check box", "Today's Forecast"),
    ("check box", "Wind Conditions"), ("check box", "Humidty / Pressure  / Vis."),
    ("check box", "Sunrise / Sunset"),
    ("label", "ZIP code"), ("label", "Greeting Message"), ("label", ":"),
]
LABELLED = {"ZIP code": "ZIP code", "Greeting message": "Greeting Message"}
# A named combo box's value: the selected row of its list.
VALUES = {"Hour": "09", "Minutes": "00", "AM or PM": "AM"}


def fail(message):
    sys.exit("FAIL: " + message)


def wait_for(what, seconds, probe):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    fail(what)


def program_window():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Nimbrel":
            for window in app:
                if window.name == "Nimbrel 1.61":
                    return window
    return None


def controls(window):
    return [(child.getRoleName(), child.name, child) for child in window]


def report_labels(window):
    return [node for role, name, node in controls(window)
            if role == "label" and (role, name) not in CONTROLS]


window = wait_for("the window is not on the accessibility bus", 15, program_window)
found = controls(window)
for role, name, node in found:
    print(f"   {role}: {name!r}")
for role, name in CONTROLS:
    if sum(1 for r, n, _ in found if (r, n) == (role, name)) != 1:
        fail(f"no single {role} named {name!r}")

by_name = {(r, n): node for r, n, node in found}
for box, label in LABELLED.items():
    targets = [target.name for relation in by_name[("text", box)].getRelationSet()
               if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
               for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
    if targets != [label]:
        fail(f"the {box!r} box is labelled by {targets}, not {label!r}")

for box, value in VALUES.items():
    rows = by_name[("combo box", box)][0]
    selected = [row.name for row in rows if row.getState().contains(pyatspi.STATE_SELECTED)]
    if selected != [value]:
        fail(f"the {box!r} box reads {selected}, not {value!r}")
    print(f"   combo box {box!r} value: {selected[0]!r}")

wait_for("the first focus is not on Test", 5,
         lambda: by_name[("push button", "Test")].getState().contains(pyatspi.STATE_FOCUSED))

reports = report_labels(window)
if len(reports) != 2:
    fail(f"expected the city and report labels, found {[n.name for n in reports]}")
for label in reports:
    states = label.getState()
    if states.contains(pyatspi.STATE_FOCUSABLE) or states.contains(pyatspi.STATE_SELECTABLE_TEXT):
        fail("a report label can take the focus or select its text")

test = by_name[("push button", "Test")].queryAction()
test.doAction([test.getName(i) for i in range(test.nActions)].index("Press"))
wait_for("the city was not read after Test", 20,
         lambda: any(label.name == "Los Angeles" for label in report_labels(window)))
report = wait_for("the report was not read after Test", 20,
                  lambda: next((label.name for label in report_labels(window)
                                if "it's Fair and 58 degrees" in label.name), None))
print(f"   report: {report!r}")
