#!/usr/bin/python3
"""Kestrava's address books and harvested mail against Python's own readers.

Seeded contacts, with names in many scripts, commas, quotes and several
addresses each, go out through `kestrava --join --export=FORMAT` and are read
by Debian's python3-vobject (vCard), python3-ldap's LDIF parser, Python's csv
module and mutt itself (aliases sourced, each key expanded, no command
run); the vCard and LDIF also come back in
through `kestrava --join --extract`. Seeded mailboxes go through `kestrava
--join --extract` and through Python's mailbox and email packages. Both must
give the same names and addresses, in order, but for these differences,
chosen on purpose:

- A contact without a name is written with its local part as its name (a
  card needs one); read back, a name that only repeats the local part is no
  name.
- Harvested addresses come once, compared ignoring case; Python's are made
  unique the same way here, and a Maildir's messages taken in the order of
  their names, as Kestrava takes them.
- A comment after a bare address (ann@x.org (Ann Lee)), the old way to
  name it, is its name here; Python's headers take no name from it. Comments
  are generated only after a named address, where both leave them out.
- mutt makes a run of spaces in a name one space, except where it quotes
  the name; the comparison with what mutt expands counts any run as one.
- A CSV cell that starts with = + - or @ starts with ' before it, so that
  spreadsheets do not run it as a formula; so does one that starts with
  quotes and such a sign, so that Kestrava reads it back as it was.
- A name written in UTF-8 without encoding (RFC 6532) is read as UTF-8
  here; Python keeps its bytes, which are decoded here to compare.
"""
import csv
import email.policy
import email.utils
import io
import mailbox
import os
import random
import subprocess
import sys
import tempfile
import urllib.parse
from email.header import Header

import ldif
import vobject

PROGRAM = sys.argv[1]
random.seed(27)

NAME_PARTS = ["Ann", "Lee", "Zoë", "Ærøskøbing", "Иван", "Петрова", "王", "小明", "محمد", "Αλέξης", "राज",
              "O'Brien", "Jean-Luc", "Müller", "José", "Nguyễn", "Łukasz"]
ODD = [", Jr.", " \"Bo\"", " (home)", "; Sales", " \\ back", "  two  spaces", " <x>", " =?not encoded?=",
       " `touch PWNED`", " $(touch PWNED)", " ${HOME}", " #1 fan", " 'quoted'"]
SIGNS = "".join(chr(c) for c in range(33, 127))


def hostile():
    """A name of printable ASCII signs, such as mutt or a spreadsheet might act on."""
    return "".join(random.choice(SIGNS + "  ab") for _ in range(random.randint(1, 12))).strip() or "x"


GUARDS = random.Random(5)  # apart from the names' own draws, which stay as they were


def name():
    if random.random() < 0.15:
        return ""
    if random.random() < 0.1:
        return hostile()
    # Now and then long enough for vCard and LDIF to fold the line.
    text = " ".join(random.choice(NAME_PARTS) for _ in range(random.choice([1, 2, 3, 3, 9])))
    if random.random() < 0.3:
        text += random.choice(ODD)
    if random.random() < 0.02:
        text = ": " + text  # a vCard writes FN:: then
    if GUARDS.random() < 0.01:
        text = GUARDS.choice(["'=", "''@", "="]) + text  # guarded in CSV, and read back as it was
    return text


def address(i, j):
    local = random.choice(["ann", "bob.lee", "c_d", "x+tag", "o'neil", "first.last"])
    return f"{local}{i}.{j}@{random.choice(['x.org', 'mail.example.net', 'firm.co.uk', 'b-c.de'])}"


def line(display, addr):
    """A mailbox as a header writes it, quoted where it must be."""
    if not display:
        return addr
    plain = all(c.isalnum() or c in " !#$%&'*+-/=?^_`{|}~" or ord(c) > 127 for c in display)
    plain = plain and "  " not in display and "=?" not in display and display == display.strip()
    if plain:
        return f"{display} <{addr}>"
    return '"' + display.replace("\\", "\\\\").replace('"', '\\"') + f'" <{addr}>'


def kestrava(*arguments):
    result = subprocess.run([PROGRAM, *arguments], capture_output=True, timeout=300)
    if result.returncode != 0:
        sys.exit(f"kestrava {' '.join(arguments)} failed: {result.stderr.decode()}")
    return result.stdout.decode("utf-8")


def read_back(path):
    """The named addresses Kestrava reads from a file, as (name, address)."""
    lines = kestrava("--join", "--extract", "--separator=\n", path).split("\n")[:-1]
    return [email.utils.parseaddr(text) for text in lines]


failures = []


def compare(what, got, expected):
    if got == expected:
        return
    for i, (a, b) in enumerate(zip(got, expected)):
        if a != b:
            failures.append(f"{what}: item {i}: {a!r} where {b!r} was expected")
            return
    failures.append(f"{what}: {len(got)} items where {len(expected)} were expected")


def address_books(folder):
    contacts = [(name(), [address(i, j) for j in range(random.randint(1, 3))]) for i in range(10000)]
    pairs = [(display, addr) for display, addrs in contacts for addr in addrs]
    written = [(display or addr.split("@")[0], addr) for display, addr in pairs]
    source = os.path.join(folder, "list.txt")
    with open(source, "w", encoding="utf-8") as f:
        f.write("\n".join(line(display, addr) for display, addr in pairs) + "\nnot an address\n\n")
    books = {}
    shapes = [("vcard", "vcf"), ("ldif", "ldif"), ("mutt", "aliases"), ("csv", "csv"), ("vcard3", "3.vcf"),
              ("csv-google", "google.csv"), ("csv-outlook", "outlook.csv"), ("csv-thunderbird", "thunderbird.csv")]
    for form, ending in shapes + [("vcard --group=Friends, all", "group.vcf"), ("vcard3 --group=Friends", "group3.vcf")]:
        options = [f"--export={form}"] if " " not in form else [f"--export={form.split()[0]}", form.split(" ", 1)[1]]
        form = form.split()[0] + ("-group" if " " in form else "")
        result = subprocess.run([PROGRAM, "--join", *options, source], capture_output=True, timeout=300)
        if b"1 line that is no address left out" not in result.stderr:
            failures.append(f"{form}: the line that is no address is not counted: {result.stderr!r}")
        books[form] = os.path.join(folder, "book." + ending)
        with open(books[form], "wb") as f:
            f.write(result.stdout)
    text = lambda form: open(books[form], encoding="utf-8", newline="").read()

    cards = [(card.fn.value, card.email.value) for card in vobject.readComponents(text("vcard"))]
    compare("vCard read by vobject", cards, written)
    if any(len(line) > 75 for line in open(books["vcard"], "rb").read().split(b"\r\n")):
        failures.append("vCard: a line longer than 75 octets")
    nothing = subprocess.run([PROGRAM, "--join", "--export=ldif"], input=b"not an address\n", capture_output=True)
    if b"groupOfNames" in nothing.stdout:
        failures.append("LDIF: a mailing list without members")

    records = ldif.LDIFRecordList(open(books["ldif"], "rb"))
    records.parse()
    people = [(entry["cn"][0].decode(), entry["mail"][0].decode()) for dn, entry in records.all_records
              if b"person" in entry["objectclass"]]
    compare("LDIF read by python3-ldap", people, written)
    lists = [entry for dn, entry in records.all_records if b"groupOfNames" in entry["objectclass"]]
    members = [dn for dn, entry in records.all_records if b"person" in entry["objectclass"]]
    compare("LDIF's mailing list", [m.decode() for m in lists[0]["member"]] if lists else [], members)

    rows = list(csv.reader(io.StringIO(text("csv"))))
    guarded = lambda cell: "'" + cell if cell.lstrip("'")[:1] in ("=", "+", "-", "@") else cell
    compare("CSV read by csv", [tuple(row) for row in rows],
            [("Name", "E-mail Address")] + [(guarded(d), guarded(a)) for d, a in pairs])

    keys = [entry.split(" ", 2)[1] for entry in text("mutt").splitlines()]
    if len(set(keys)) != len(keys):
        failures.append("mutt aliases: a key is given twice")
    # mutt makes a run of spaces in a name one, unless it quotes the name.
    spaced = lambda named: [(" ".join(d.split()), a) for d, a in named]
    compare("mutt aliases expanded by mutt", spaced(mutt(folder, books["mutt"], keys)), spaced(pairs))

    compare("vCard read back", read_back(books["vcard"]), pairs)
    compare("LDIF read back", read_back(books["ldif"]), pairs)
    other_shapes(books, text, pairs, written)


def other_shapes(books, text, pairs, written):
    """vCard 3.0, contact groups and the CSV columns other programs import."""
    cards = list(vobject.readComponents(text("vcard3")))
    compare("vCard 3.0 read by vobject", [(c.version.value, c.fn.value, c.email.value) for c in cards],
            [("3.0", d, a) for d, a in written])
    if any(not hasattr(card, "n") for card in cards):
        failures.append("vCard 3.0: a card without the N it needs")
    compare("vCard 3.0 read back", read_back(books["vcard3"]), pairs)

    *members, group = vobject.readComponents(text("vcard-group"))
    compare("vCard 4.0 group's members", [urllib.parse.unquote(m.value) for m in group.contents.get("member", [])],
            ["mailto:" + a for d, a in written])
    compare("vCard 4.0 group", [group.kind.value, group.fn.value], ["group", "Friends, all"])
    compare("vCard 4.0 group's cards", [(c.fn.value, c.email.value) for c in members], written)
    *members, group = vobject.readComponents(text("vcard3-group"))
    compare("vCard 3.0 group's members", [m.value for m in group.contents.get("x-addressbookserver-member", [])],
            [c.uid.value for c in members])
    compare("vCard 3.0 group", [group.x_addressbookserver_kind.value, group.fn.value], ["group", "Friends"])
    if len({c.uid.value for c in members}) != len(written):
        failures.append("vCard 3.0 group: two cards with one UID")
    compare("a group read back", read_back(books["vcard3-group"]), pairs)

    # A list without addresses: a CSV file of its heading alone, no card.
    for form, nothing in [("vcard", b""), ("vcard3", b""), ("csv", b"Name,E-mail Address\r\n"),
                          ("csv-google", b"Name,E-mail 1 - Type,E-mail 1 - Value\r\n")]:
        written = subprocess.run([PROGRAM, "--join", f"--export={form}"], input=b"not an address\n", capture_output=True)
        compare(f"{form} of no address", [written.stdout], [nothing])

    guarded = lambda cell: "'" + cell if cell.lstrip("'")[:1] in ("=", "+", "-", "@") else cell
    for form, heading, cells in [
            ("csv-google", ["Name", "E-mail 1 - Type", "E-mail 1 - Value"], lambda r: (r["Name"], r["E-mail 1 - Value"])),
            ("csv-outlook", ["First Name", "Last Name", "E-mail Address", "E-mail Display Name"],
             lambda r: (r["E-mail Display Name"], r["E-mail Address"])),
            ("csv-thunderbird", ["First Name", "Last Name", "Display Name", "Nickname", "Primary Email"],
             lambda r: (r["Display Name"], r["Primary Email"]))]:
        reader = csv.DictReader(io.StringIO(text(form)))
        rows = [cells(row) for row in reader]
        compare(f"{form}'s heading", reader.fieldnames, heading)
        compare(f"{form} read by csv", rows, [(guarded(d), guarded(a)) for d, a in pairs])
        compare(f"{form} read back", read_back(books[form]), pairs)
    compare("CSV read back", read_back(books["csv"]), pairs)


def mutt(folder, aliases, keys):
    """What mutt makes of each key, having sourced the aliases; no command may run."""
    with open(os.path.join(folder, "muttrc"), "w") as f:
        f.write(f"source {aliases}\n")
    result = subprocess.run(["mutt", "-n", "-F", "muttrc", "-A", *keys], cwd=folder, capture_output=True,
                            env=dict(os.environ, HOME=folder), timeout=300)
    if os.path.exists(os.path.join(folder, "PWNED")):
        failures.append("mutt aliases: a name ran a command")
    if result.returncode != 0:
        failures.append(f"mutt could not expand the aliases: {result.stderr.decode()[:300]}")
    return [email.utils.parseaddr(line) for line in result.stdout.decode().splitlines()]


MAILBOX_NAMES = NAME_PARTS + ["Lee, Ann", 'A "Bo" Lee']


def mailbox_text(addr):
    display = random.choice(MAILBOX_NAMES + [""] * 4)
    if display and random.random() < 0.4:
        return Header(display, "utf-8").encode() + f" <{addr}>"
    if display and random.random() < 0.2:
        return line(display, addr) + " (a comment)"
    return line(display, addr)


def message(addresses):
    fields = [("From", 1), ("To", 4), ("Cc", 3), ("Reply-To", 1), ("Sender", 1), ("Subject", 0), ("Date", 0)]
    random.shuffle(fields)
    head = []
    for field, most in fields:
        if most == 0:
            head.append(f"{field}: about From: nobody@x.org")
            continue
        if random.random() < 0.3:
            continue
        items = [mailbox_text(random.choice(addresses)) for _ in range(random.randint(1, most))]
        if field == "Cc" and random.random() < 0.2:
            items = ["Team: " + ", ".join(items) + ";"]
        head.append(f"{field}: " + ",\n ".join(items))
    body = ["Hello,", ">From the quoted line", "", "To: body@x.org is no header"]
    return "\n".join(head) + "\n\n" + "\n".join(body) + "\n"


def utf8(text):
    """A name of UTF-8 written unencoded in a header, which Python keeps as bytes."""
    return text.encode("utf-8", "surrogateescape").decode("utf-8")


def python_harvest(messages):
    found, where = [], {}
    for msg in messages:
        for field, value in msg.items():
            if field.lower() not in ("from", "to", "cc", "reply-to", "sender"):
                continue
            for a in value.addresses:
                key = a.addr_spec.lower()
                if key not in where:
                    where[key] = len(found)
                    found.append((utf8(a.display_name), a.addr_spec))
                elif not found[where[key]][0]:
                    found[where[key]] = (utf8(a.display_name), found[where[key]][1])
    return found


def mail(folder):
    addresses = [address(i, 0) for i in range(300)]
    texts = [message(addresses) for _ in range(400)]
    factory = lambda f: email.message_from_binary_file(f, policy=email.policy.default)

    mbox_path = os.path.join(folder, "mail.mbox")
    with open(mbox_path, "w", encoding="utf-8") as f:
        for text in texts:
            f.write("From sender@x.org Mon Jan  1 00:00:00 2024\n" + text + "\n")
    expected = python_harvest(mailbox.mbox(mbox_path, factory=factory, create=False))
    compare("mbox", read_back(mbox_path), expected)

    maildir = os.path.join(folder, "Maildir")
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(maildir, sub))
    for i, text in enumerate(texts):
        with open(os.path.join(maildir, "cur" if i % 2 else "new", f"{1700000000 + i}.M{i}.host"), "w") as f:
            f.write(text)
    box = mailbox.Maildir(maildir, factory=factory, create=False)
    expected = python_harvest(box[key] for key in sorted(box.keys(), key=lambda k: os.path.basename(box.get_file(k)._file.name)))
    compare("Maildir", read_back(maildir), expected)

    eml = os.path.join(folder, "one.eml")
    with open(eml, "w", encoding="utf-8") as f:
        f.write(texts[0])
    compare("saved message", read_back(eml), python_harvest([factory(open(eml, "rb"))]))


with tempfile.TemporaryDirectory() as folder:
    address_books(folder)
    mail(folder)
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
