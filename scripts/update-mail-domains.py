#!/usr/bin/python3
"""Writes resources/real-mail-domains.txt, the mail domains that advice never
takes for typos, and resources/disposable-mail-domains.txt, those it warns
of as throwaway ones, from maintained public lists on the npm registry:

- free-email-domains (MIT licence, Kiko Beats): free and disposable mail
  providers' domains, with every country variant of the big ones;
- email-providers (ISC licence, Jannis R): the mail providers' domains most
  in use;
- disposable-email-domains (MIT licence, its contributors): domains of
  throwaway address services.

The lists also hold typo domains (gmial.com, yaho.com, hotmail.con): a
domain a name edit or two away from one of the commonest that advice
corrects towards, or under a top-level domain that does not exist, is left
out, so that typos of those stay corrected.
Run from the project's root; needs npm.
"""
import json
import os
import re
import subprocess
import sys
import tarfile
import tempfile

PACKAGES = {"free-email-domains": "package/domains.json", "email-providers": "package/all.json",
            "disposable-email-domains": "package/index.json"}
# Real, and near a common domain: cloud.com one edit from icloud.com, 1&1's
# online.de two from t-online.de.
ADDED = ["cloud.com", "online.de"]


def osa(a, b):
    """Edits between two strings: letters put in, left out, changed or swapped."""
    rows = [list(range(len(b) + 1))]
    for i in range(1, len(a) + 1):
        row = [i] + [0] * len(b)
        for j in range(1, len(b) + 1):
            row[j] = min(rows[-1][j] + 1, row[j - 1] + 1, rows[-1][j - 1] + (a[i - 1] != b[j - 1]))
            if i > 1 and j > 1 and a[i - 1] == b[j - 2] and a[i - 2] == b[j - 1]:
                row[j] = min(row[j], rows[-2][j - 2] + 1)
        rows.append(row)
    return rows[-1][-1]


def name_of(domain):
    return domain.split(".", 1)[0]


def looks_mistyped(domain, table):
    """Whether advice takes the domain for a typo of another name in the table,
    as MailDomains::meant does: two edits from a name longer than three
    letters (one in a name of four letters), one from a shorter one."""
    name = name_of(domain)
    for common in table:
        other = name_of(common)
        if other == name or abs(len(common) - len(domain)) > 2:
            continue
        near = len(other) > 4 or osa(name, other) <= (1 if len(other) == 4 else 0)
        if near and osa(domain, common) <= (2 if len(other) > 3 else 1):
            return True
    return False


def real_top_levels():
    """The top-level domains that ICANN delegates, as Debian's public suffix
    list holds them: a domain under any other (hotmail.con) is a typo."""
    top_levels = set()
    for line in open("/usr/share/publicsuffix/public_suffix_list.dat", encoding="utf-8"):
        if "===END ICANN DOMAINS===" in line:
            break
        line = line.strip()
        if line and not line.startswith("//") and not line.startswith(("*", "!")):
            top_levels.add(line.rsplit(".", 1)[-1].encode("idna").decode() if not line.isascii() else line.rsplit(".", 1)[-1])
    return top_levels


def common_table():
    source = open("src/addresses/MailDomains.cpp", encoding="utf-8").read()
    block = source[source.index("constexpr std::array table"):source.index("};", source.index("constexpr std::array table"))]
    return re.findall(r'"([^"]+)"', block)


def fetched():
    """Each package's domains, by its name and version."""
    lists = {}
    with tempfile.TemporaryDirectory() as folder:
        for package, member in PACKAGES.items():
            subprocess.run(["npm", "pack", package, "--silent"], cwd=folder, check=True, capture_output=True)
            archive = next(f for f in os.listdir(folder) if f.startswith(package + "-") and f.endswith(".tgz"))
            with tarfile.open(os.path.join(folder, archive)) as tar:
                lists[archive[:-4]] = {d.strip().lower() for d in json.load(tar.extractfile(member)) if d.strip()}
    return lists


def main():
    lists = fetched()
    disposable_name = next(name for name in lists if name.startswith("disposable-email-domains"))
    disposable = lists.pop(disposable_name)
    versions = sorted(lists)
    domains = set().union(*lists.values())
    table = common_table()
    with open("resources/disposable-mail-domains.txt", "w", encoding="utf-8") as out:
        out.write("# Domains that hand out throwaway mail addresses. Made by scripts/update-mail-domains.py from\n")
        out.write(f"# {disposable_name} (npm registry; MIT licence, its contributors); the commonest\n")
        out.write("# mail domains left out.\n")
        for domain in sorted(disposable - set(table)):
            out.write(domain + "\n")
    top_levels = real_top_levels()
    kept = [d for d in sorted(domains)
            if d not in table and d.rsplit(".", 1)[-1] in top_levels and not looks_mistyped(d, table)]
    with open("resources/real-mail-domains.txt", "w", encoding="utf-8") as out:
        out.write("# Mail domains that advice never takes for typos. Made by scripts/update-mail-domains.py\n")
        out.write("# from " + ", ".join(versions) + " (npm registry): free-email-domains\n")
        out.write("# (MIT licence, Copyright 2017 Kiko Beats) and email-providers (ISC licence, Copyright 2025\n")
        out.write("# Jannis R); typo domains of the commonest ones left out.\n")
        for domain in sorted(set(kept) | set(ADDED)):
            out.write(domain + "\n")
    print(f"{len(kept) + len(ADDED)} real and {len(disposable)} disposable domains written", file=sys.stderr)


main()
