#!/usr/bin/python3
"""Kestrava's list orders and list algebra against a model in Python.

Seeded lists of addresses, some with names, in mixed case, at domains and
their subdomains, with lines that hold no address and empty ones, go
through `kestrava --join --sort=ORDER`, `--only`, `--exclude` and
`--unique --same-mailbox`, and through the model below. Both must give the
same lines in the same order. The lists keep to ASCII, where ignoring case
is lowering, and to the public suffixes the model knows.
"""
import os
import random
import re
import subprocess
import sys
import tempfile

PROGRAM = sys.argv[1]
SUFFIXES = ["org", "com", "co.uk", "de"]
PROVIDERS = {"gmail.com": ("gmail.com", True), "googlemail.com": ("gmail.com", True),
             "outlook.com": ("outlook.com", False), "icloud.com": ("icloud.com", False),
             "yahoo.com": None, "example.com": None}
failures = []


def domain():
    if random.random() < 0.3:
        return random.choice(list(PROVIDERS))
    registered = random.choice(["a", "bb", "x", "x-y", "mail"]) + "." + random.choice(SUFFIXES)
    labels = random.choice([[], [], ["mail"], ["a", "mail"], ["lists"], ["mail2"]])
    return ".".join(labels + [registered])


def address():
    local = random.choice(["ann", "a.nn", "bob", "ann+news", "ann-x", "cy", "a"])
    return random.choice([local, local.upper(), local.title()]) + "@" + random.choice([domain(), domain().upper()])


def line():
    roll = random.random()
    if roll < 0.05:
        return random.choice(["", "  "])
    if roll < 0.1:
        return random.choice(["no address", "Ann Lee", "x@", "@y.org"])
    written = address()
    if roll < 0.3:
        written = random.choice(["Ann", "Bo Lee", "Zed"]) + " <" + written + ">"
    return random.choice(["", " "]) + written + random.choice(["", "\t"])


def address_of(text):
    text = text.strip(" \t")
    named = re.fullmatch(r"[^<>]* <([^<>]+)>", text)
    found = named.group(1) if named else text
    return found.lower() if re.fullmatch(r"[A-Za-z0-9.+-]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+", found) else None


def registered(name):
    suffix = next(s for s in sorted(SUFFIXES, key=len, reverse=True) if name.endswith("." + s))
    labels = name[: -len(suffix) - 1].split(".")
    return labels[-1] + "." + suffix, labels[:-1]


def sort_key(order):
    def key(text):
        trimmed = text.strip(" \t")
        if order == "line" or not trimmed:
            return (0, trimmed.lower())
        found = address_of(text)
        if found is None:
            return (2, trimmed.lower())
        if order == "address":
            return (1, found)
        local, name = found.rsplit("@", 1)
        parent, subdomains = registered(name)
        return (1, parent, tuple(reversed(subdomains)), local)
    return key


def mailbox(found):
    local, name = found.rsplit("@", 1)
    provider = PROVIDERS.get(name)
    if not provider:
        return found
    if "+" in local[1:]:
        local = local[: local.index("+", 1)]
    return (local.replace(".", "") if provider[1] else local) + "@" + provider[0]


def kestrava(*arguments):
    result = subprocess.run([PROGRAM, "--join", "--separator=\n", *arguments], capture_output=True, timeout=300)
    if result.returncode != 0:
        failures.append(f"kestrava {' '.join(arguments)}: status {result.returncode}: {result.stderr.decode()}")
    return result.stdout.decode().split("\n")[:-1]


def compare(what, got, expected):
    if got == expected:
        return
    for i, (a, b) in enumerate(zip(got, expected)):
        if a != b:
            failures.append(f"{what}: line {i + 1}: {a!r} where {b!r} was expected")
            return
    failures.append(f"{what}: {len(got)} lines where {len(expected)} were expected")


def write(folder, name, lines):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


def check(folder, seed):
    random.seed(seed)
    lines = [line() for _ in range(3000)]
    source = write(folder, "list.txt", lines)
    joined = lines + ["", ""]  # the file's last line break, and the end of the list, as the window joins them
    for order in ["line", "address", "domain"]:
        compare(f"seed {seed}: --sort={order}", kestrava(f"--sort={order}", source), sorted(joined, key=sort_key(order)))

    first, second = random.sample(lines, 600), random.sample(lines, 600)
    keys = lambda listed, same: {(mailbox(a) if same else a) for a in map(address_of, listed) if a}
    paths = write(folder, "one.txt", first), write(folder, "two.txt", second)
    for same in [False, True]:
        option = ["--same-mailbox"] if same else []
        key = lambda text: mailbox(address_of(text)) if same and address_of(text) else address_of(text)
        both = keys(first, same) & keys(second, same)
        compare(f"seed {seed}: --only twice {option}", kestrava(*option, f"--only={paths[0]}", f"--only={paths[1]}", source),
                [t for t in lines if key(t) in both])
        compare(f"seed {seed}: --exclude {option}", kestrava(*option, f"--exclude={paths[0]}", source),
                [t for t in joined if key(t) is None or key(t) not in keys(first, same)])
    seen, unique = set(), []
    for text in joined:
        trimmed = text.strip(" \t")
        found = address_of(text)
        k = mailbox(found) if found else trimmed.lower()
        if trimmed and k in seen:
            continue
        seen.add(k)
        unique.append(text)
    compare(f"seed {seed}: --unique --same-mailbox", kestrava("--unique", "--same-mailbox", source), unique)


with tempfile.TemporaryDirectory() as folder:
    for seed in range(3):
        check(folder, seed)
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
