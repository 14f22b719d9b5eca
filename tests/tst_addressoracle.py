#!/usr/bin/python3
"""Kestrava's address check and extraction against Python's own, as oracles.

Seeded random and mutated addresses go through `kestrava --check` and through
email_validator (Debian's python3-email-validator, deliverability off); mail
header fields, with addresses in their names and comments, go through
`kestrava --join --extract` and through email.headerregistry. Both must
agree, but for these differences, chosen on purpose and kept out of what is
generated:

- Quoted local parts ("john smith"@x.org) and address literals
  (ann@[192.0.2.1]) are addresses here; this email_validator refuses both.
- Special-use and reserved domains (.local, .test, .invalid, .onion, .arpa)
  are addresses here: the check is of the address's form, and which domains
  are in use is a look-up it does not make.
- A last label of letters and digits (x.co1) is an address here; only one of
  digits alone is refused. email_validator wants a known kind of top-level
  domain.
- A local part here is at most 64 bytes in UTF-8, as mail servers count it;
  email_validator counts 64 characters.
- Local parts here take letters of any script and every other printable
  character beyond ASCII; email_validator refuses some symbols. Local parts
  are generated from letters.
- A character that shows nothing (U+200B) is refused here wherever it
  stands; email_validator drops it from a domain. A comment after an
  address (ann@x.org (Ann)) makes no difference here; email_validator takes
  addresses alone. Neither is generated for checking.
"""
from email.headerregistry import HeaderRegistry
import random
import subprocess
import sys

from email_validator import EmailNotValidError, validate_email

PROGRAM = sys.argv[1]
CASES = 1500
HEADERS = 600
random.seed(20)

ATOM = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&'*+-/=?^_`{|}~"
LETTERS = "éßжäöü中文ñøΩ"
WRONG = [" ", ",", "(", ")", "@", "\\", "[", "]", ";", ":", "<", ">", "\u00a0", "\t"]
LABEL = "abcdefghijklmnopqrstuvwxyz0123456789-"
TLDS = ["org", "com", "de", "net", "io", "xn--p1ai", "рф", "info", "co"]
UNICODE_LABELS = ["münchen", "例え", "пример", "bücher", "straße"]


def local_part():
    length = random.choice([1, 2, 5, 10, 30, 63, 64, 65, 70])
    text = "".join(random.choice(ATOM + "." + LETTERS if random.random() < 0.2 else ATOM) for _ in range(length))
    return text


def label():
    if random.random() < 0.2:
        return random.choice(UNICODE_LABELS)
    length = random.choice([1, 3, 8, 20, 63, 64])
    return "".join(random.choice(LABEL) for _ in range(length))


def domain():
    labels = [label() for _ in range(random.choice([1, 2, 2, 3, 4]))]
    # Now and then the ideographic full stop, which IDNA takes for a dot.
    return random.choice([".", ".", ".", "\u3002"]).join(labels + [random.choice(TLDS)])


def mutated(address):
    """Now and then one plausible fault: a sign, a dot, an @, a space."""
    kind = random.randrange(10)
    at = address.index("@")
    place = random.randrange(len(address) + 1)
    if kind == 0:
        return address[:place] + random.choice(WRONG) + address[place:]
    if kind == 1:
        return address[:place] + "." + address[place:]
    if kind == 2:
        return address.replace("@", "")
    if kind == 3:
        return address[:at] + "@" + address[at:]
    if kind == 4:
        return address.rsplit(".", 1)[0] + "." + str(random.randrange(1000))
    return address


def python_says(address):
    try:
        validate_email(address, check_deliverability=False)
        return True
    except EmailNotValidError:
        return False


def check_addresses():
    cases = []
    while len(cases) < CASES:
        address = mutated(local_part() + "@" + domain())
        # The differences listed above stay out.
        local = address.rsplit("@", 1)[0]
        if address.startswith('"') or address.strip(" \t") != address:
            continue
        if len(local) <= 64 < len(local.encode()):
            continue
        cases.append(address)
    run = subprocess.run([PROGRAM, "--check", "-"], input="\n".join(cases).encode(), capture_output=True)
    refused = set()
    for report in run.stderr.decode().splitlines():
        where = report.split(":")
        if where[2] != " warning":  # a warning keeps the address
            refused.add(int(where[1]))
    disagreements = []
    for number, address in enumerate(cases, 1):
        ours = number not in refused
        theirs = python_says(address)
        if ours != theirs:
            disagreements.append(f"{address!r}: kestrava says {ours}, email_validator {theirs}")
    return disagreements


def name():
    kind = random.randrange(5)
    words = " ".join(random.choice(["Ann", "Lee", "Zoë", "Bob", "O'Brien", "van der Berg"]) for _ in range(random.randint(1, 3)))
    if kind == 0:
        return ""
    if kind == 1:
        return '"' + random.choice(["Lee, Ann", "Smith, J.", "a \\\"quoted\\\" one", words]) + '"'
    if kind == 2:
        return "=?UTF-8?Q?Zo=C3=AB_" + random.choice(["Lee", "Ann"]) + "?="
    return words


def other():
    return random.choice(["old", "bob.lee", "zoë"]) + "@" + random.choice(["y.org", "old.example.com"])


def mailbox():
    """A mailbox; its name and comments may hold other addresses, which are none of its recipients."""
    address = random.choice(["ann", "bob.lee", "z+tag", "o'brien"]) + "@" + random.choice(["x.org", "mail.example.com", "münchen.de"])
    shown = name()
    kind = random.randrange(4)
    if kind == 0:
        shown = f'"{other()}"'
    elif kind == 1 and shown:
        shown += f" ({other()})"
    text = f"{shown} <{address}>" if shown else address
    if random.randrange(4) == 0:
        text += f" (formerly {other()})"
    return text, address


def check_headers():
    sentinel = "end@sentinel.example"
    fields, expected = [], []
    for _ in range(HEADERS):
        boxes = [mailbox() for _ in range(random.randint(1, 4))]
        value = ", ".join(text for text, _ in boxes)
        if random.random() < 0.2:
            value = "team: " + value + ";"
        fields.append(random.choice(["To", "Cc", "Bcc", "From"]) + ": " + value)
        expected.append([mailbox.addr_spec for mailbox in HeaderRegistry()("To", value).addresses])
    lines = []
    for field in fields:
        lines += [field, sentinel]
    run = subprocess.run([PROGRAM, "--join", "--extract", "-"], input="\n".join(lines).encode(), capture_output=True)
    found = run.stdout.decode().strip().split(",")
    disagreements = []
    groups, current = [], []
    for address in found:
        if address == sentinel:
            groups.append(current)
            current = []
        else:
            current.append(address)
    for field, ours, theirs in zip(fields, groups, expected):
        if ours != theirs:
            disagreements.append(f"{field!r}: kestrava finds {ours}, headerregistry {theirs}")
    if len(groups) != len(fields):
        disagreements.append(f"{len(groups)} fields came back of {len(fields)}")
    return disagreements


def main():
    disagreements = check_addresses() + check_headers()
    for disagreement in disagreements[:20]:
        print(disagreement)
    print(f"{CASES} addresses and {HEADERS} header fields; {len(disagreements)} disagreements")
    return 1 if disagreements else 0


if __name__ == "__main__":
    sys.exit(main())
