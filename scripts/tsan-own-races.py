#!/usr/bin/env python3
"""Prints the thread sanitizer's reports of races between two accesses made
by this project's own code, from the logs given, and exits 1 when there is
any. Accesses made inside libraries built without the sanitizer (Qt, the
font libraries), and calls queued through Qt's event queue to another
thread, are left out: the sanitizer cannot see how those libraries hand
data between their threads, and reports them falsely."""
import re
import sys


def first_module(stack):
    for module in re.findall(r"^\s*#\d+ .*\((\S+?)\+0x[0-9a-f]+\)$", stack, re.M):
        if not module.startswith("libtsan"):
            return module
    return ""


def handed_through_qt(stack):
    # A call queued for another thread (QMetaObject::invokeMethod) is built
    # on one thread and run, then freed with its event, on the other: Qt's
    # event queue hands it over under a lock the sanitizer cannot see.
    frames = re.findall(r"^\s*#(\d+) (.*)$", stack, re.M)
    return any(int(number) <= 2 and ("invokeMethod<" in frame or "QMetaCallEvent::~QMetaCallEvent" in frame)
               for number, frame in frames)


def is_own(stack):
    # A stack the sanitizer could no longer tell counts as ours.
    if "failed to restore the stack" in stack:
        return True
    module = first_module(stack)
    return module != "" and ".so" not in module


own = []
reports = 0
for path in sys.argv[1:]:
    with open(path, errors="replace") as log:
        text = log.read()
    for report in text.split("WARNING: ThreadSanitizer: ")[1:]:
        report = report.split("SUMMARY:")[0]
        if not report.startswith("data race"):
            continue
        reports += 1
        accesses = re.split(r"\n\n", report)
        stacks = [a for a in accesses if re.search(r"^\s+(Previous )?(atomic )?(read|write|Read|Write|Atomic)", a, re.M)]
        if any(handed_through_qt(stack) for stack in stacks):
            continue
        if len(stacks) >= 2 and is_own(stacks[0]) and is_own(stacks[1]):
            own.append(report)
for report in own:
    print("WARNING: ThreadSanitizer: " + report)
print(f"{len(own)} races in the project's own code, of {reports} reported in {len(sys.argv) - 1} logs")
sys.exit(1 if own else 0)
