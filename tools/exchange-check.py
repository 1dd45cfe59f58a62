#!/usr/bin/python3
"""Checks varnwick-cli's vCard and CSV files with other programs' readers.

Run as a user runs varnwick-cli, black-box, on the demo data and on a random
book of 10 000 contacts:

  1. The random book is made as a vCard file here and imported into an empty
     Palm Desktop file and an empty address book (import timed).
  2. Each side is exported in every format (export timed); the vCard files
     are parsed with python3-vobject, the CSV files with Python's csv module,
     and every mapped field must equal what `varnwick-cli list --json` shows
     for the side.
  3. Each export is imported into an empty side of the other kind; the two
     sides must then compare "same" throughout, and a second import must
     change nothing.

usage: /usr/bin/python3 tools/exchange-check.py BUILD_DIR [--count N]
Exit status 0 when every check holds. Needs python3-vobject (Debian).
"""
import csv
import io
import json
import os
import random
import resource
import subprocess
import sys
import tempfile
import time

try:
    import vobject
except ImportError:
    sys.exit("exchange-check: python3-vobject is not installed (apt-get install python3-vobject), "
             "or run this with /usr/bin/python3")

FORMATS = ["vcard4", "vcard3", "csv-google", "csv-outlook"]

# Fields of the neutral record that the files carry (catalog names), with
# the bookkeeping of a side (ID, Source Type, Status, times) left out.
DATE_FIELDS = ["Birthday", "Anniversary"]
SKIPPED = {"ID", "Source Type", "Status", "Creation Time", "Last Modification Time"}

# vCard TEL types -> the phone fields they fill, in order.
TEL_KINDS = {
    frozenset(["home", "voice"]): ["Home Phone", "Home Phone 2"],
    frozenset(["work", "voice"]): ["Work Phone", "Work Phone 2"],
    frozenset(["cell"]): ["Mobile Phone"],
    frozenset(["voice", "pref"]): ["Primary Phone"],
    frozenset(["voice"]): ["Other Phone"],
    frozenset(["x-callback"]): ["Callback Phone"],
    frozenset(["car"]): ["Car Phone"],
    frozenset(["x-radio"]): ["Radio Phone"],
    frozenset(["work", "fax"]): ["Work Fax"],
    frozenset(["home", "fax"]): ["Home Fax"],
    frozenset(["pager"]): ["Pager"],
    frozenset(["x-assistant"]): ["Assistant Phone"],
}
X_PROPERTIES = {
    "X-MANAGER": "Manager Name", "X-ASSISTANT": "Assistant Name", "X-SPOUSE": "Spouse Name",
    "X-CHILDREN": "Children's Names", "X-HOBBY": "Hobby", "X-ACCOUNT": "Account", "X-KEYWORD": "Keyword",
    "X-LANGUAGE": "Language", "X-LOCATION": "Location", "X-MHS-COMMON-NAME": "MHS Common Name",
    "X-CUSTOMER-ID": "Customer ID", "X-GOVERNMENT-ID": "Government ID", "X-ORGANIZATION-ID": "Organization ID",
}
for n in range(1, 10):
    X_PROPERTIES["X-VARNWICK-CUSTOM%d" % n] = "Custom %d" % n
    X_PROPERTIES["X-VARNWICK-CUSTOM-LABEL%d" % n] = "Custom Label %d" % n
ADDRESS_PARTS = [("street", "Street"), ("city", "City"), ("region", "State"), ("code", "Postal"),
                 ("country", "Country")]

# Outlook's columns (and this program's extra ones) -> catalog names.
OUTLOOK = {
    "Title": "Prefix", "First Name": "First Name", "Middle Name": "Middle Name", "Last Name": "Last Name",
    "Suffix": "Suffix", "Company": "Company", "Department": "Department", "Job Title": "Title",
    "Assistant's Phone": "Assistant Phone", "Business Fax": "Work Fax", "Business Phone": "Work Phone",
    "Business Phone 2": "Work Phone 2", "Callback": "Callback Phone", "Car Phone": "Car Phone",
    "Home Fax": "Home Fax", "Home Phone": "Home Phone", "Home Phone 2": "Home Phone 2",
    "Mobile Phone": "Mobile Phone", "Other Phone": "Other Phone", "Pager": "Pager",
    "Primary Phone": "Primary Phone", "Radio Phone": "Radio Phone", "Account": "Account",
    "Assistant's Name": "Assistant Name", "Categories": "Category", "Children": "Children's Names",
    "E-mail Address": "Email", "E-mail 2 Address": "Email 2", "E-mail 3 Address": "Email 3",
    "Government ID Number": "Government ID", "Hobby": "Hobby", "Keywords": "Keyword", "Language": "Language",
    "Location": "Location", "Manager's Name": "Manager Name", "Notes": "Note",
    "Organizational ID Number": "Organization ID", "Profession": "Profession", "Spouse": "Spouse Name",
    "Web Page": "Work Home Page", "Nickname": "Nick Name", "Display Name": "Display Name",
    "Personal Web Page": "Personal Home Page", "FTP Site": "FTP Site", "IM Address": "IM 1",
    "IM Address 2": "IM 2", "Customer ID": "Customer ID", "MHS Common Name": "MHS Common Name",
}
for kind, outlook in (("Work", "Business"), ("Home", "Home"), ("Other", "Other")):
    for part, column in (("Street", "Street"), ("City", "City"), ("State", "State"),
                         ("Postal", "Postal Code"), ("Country", "Country/Region")):
        OUTLOOK["%s %s" % (outlook, column)] = "(%s) %s" % (kind, part)
for n in range(1, 10):
    OUTLOOK["User %d" % n] = "Custom %d" % n
    OUTLOOK["User %d Label" % n] = "Custom Label %d" % n
GOOGLE_SINGLE = {
    "Given Name": "First Name", "Additional Name": "Middle Name", "Family Name": "Last Name",
    "Name Prefix": "Prefix", "Name Suffix": "Suffix", "Nickname": "Nick Name", "Location": "Location",
    "Billing Information": "Account", "Occupation": "Profession", "Hobby": "Hobby", "Notes": "Note",
    "Language": "Language", "Group Membership": "Category",
}
GOOGLE_PHONES = {"Home": ["Home Phone", "Home Phone 2"], "Work": ["Work Phone", "Work Phone 2"],
                 "Home 2": ["Home Phone 2"], "Work 2": ["Work Phone 2"],
                 "Mobile": ["Mobile Phone"], "Main": ["Primary Phone"], "Other": ["Other Phone"],
                 "Callback": ["Callback Phone"], "Car": ["Car Phone"], "Radio": ["Radio Phone"],
                 "Work Fax": ["Work Fax"], "Home Fax": ["Home Fax"], "Pager": ["Pager"],
                 "Assistant": ["Assistant Phone"]}
GOOGLE_TYPED = {("Relation", "Manager"): "Manager Name", ("Relation", "Assistant"): "Assistant Name",
                ("Relation", "Spouse"): "Spouse Name", ("Relation", "Child"): "Children's Names",
                ("Website", "Work"): "Work Home Page", ("Website", "Home Page"): "Personal Home Page",
                ("Website", "FTP"): "FTP Site"}


def run(build, args, stdin=None):
    """The finished run, and its wall-clock and CPU (user + system) seconds."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    done = subprocess.run([os.path.join(build, "varnwick-cli")] + args, capture_output=True, input=stdin)
    wall = time.monotonic() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return done, (wall, cpu)


def put_first_free(fields, names, value):
    for name in names:
        if name not in fields:
            fields[name] = value
            return


def date_part(text):
    text = text.replace("-", "")
    return "%s-%s-%s" % (text[0:4], text[4:6], text[6:8]) if len(text) >= 8 else text


def composed(fields):
    return " ".join(fields[k] for k in ("Prefix", "First Name", "Middle Name", "Last Name", "Suffix")
                    if fields.get(k))


def vcard_fields(card):
    """The catalog fields of one card, read with vobject."""
    fields = {}

    def put(name, value):
        if isinstance(value, list):
            value = ",".join(value)
        if value:
            fields[name] = value

    fn = card.fn.value if "fn" in card.contents else ""
    n = card.n.value
    put("Last Name", n.family), put("First Name", n.given), put("Middle Name", n.additional)
    put("Prefix", n.prefix), put("Suffix", n.suffix)
    for line in card.contents.get("org", []):
        put("Company", line.value[0] if line.value else "")
        put("Department", line.value[1] if len(line.value) > 1 else "")
    for key, name in (("title", "Title"), ("role", "Profession"), ("nickname", "Nick Name"), ("note", "Note")):
        for line in card.contents.get(key, []):
            put(name, line.value)
    for line in card.contents.get("categories", []):
        put("Category", line.value)
    for line in card.contents.get("adr", []):
        types = {t.lower() for t in line.params.get("TYPE", [])}
        kind = "Work" if "work" in types else "Home" if "home" in types else "Other"
        for attr, part in ADDRESS_PARTS:
            value = getattr(line.value, attr)
            put("(%s) %s" % (kind, part), "\n".join(value) if isinstance(value, list) else value)
    for line in card.contents.get("tel", []):
        types = {t.lower() for t in line.params.get("TYPE", [])}
        if "PREF" in line.params:
            types.add("pref")
        slots = TEL_KINDS[frozenset(types)]
        if "X-SLOT" in line.params:
            slots = slots[int(line.params["X-SLOT"][0]) - 1:]
        put_first_free(fields, slots, line.value)
    for line in card.contents.get("email", []):
        slot = int(line.params["X-SLOT"][0]) - 1 if "X-SLOT" in line.params else 0
        put_first_free(fields, ["Email", "Email 2", "Email 3"][slot:], line.value)
    for line in card.contents.get("url", []):
        types = {t.lower() for t in line.params.get("TYPE", [])}
        put("Work Home Page" if "work" in types else "Personal Home Page" if "home" in types else "FTP Site",
            line.value)
    for line in card.contents.get("impp", []):
        slot = int(line.params["X-SLOT"][0]) - 1 if "X-SLOT" in line.params else 0
        put_first_free(fields, ["IM 1", "IM 2"][slot:], line.value)
    for key, name in (("bday", "Birthday"), ("anniversary", "Anniversary"), ("x-anniversary", "Anniversary")):
        for line in card.contents.get(key, []):
            put(name, date_part(line.value))
    for key, name in X_PROPERTIES.items():
        for line in card.contents.get(key.lower(), []):
            put(name, line.value)
    if fn and fn != composed(fields) and fn not in (fields.get("Company"), fields.get("Email")):
        fields["Display Name"] = fn
    return fields


def csv_fields(row, header, google):
    fields = {}
    if not google:
        for column, value in zip(header, row):
            name = OUTLOOK.get(column)
            if name and value:
                fields[name] = value
        for name, column in (("Birthday", "Birthday"), ("Anniversary", "Anniversary")):
            value = row[header.index(column)]
            if value:
                month, day, year = value.split("/")
                fields[name] = "%04d-%02d-%02d" % (int(year), int(month), int(day))
        return fields
    groups = {}
    for column, value in zip(header, row):
        if column in GOOGLE_SINGLE and value:
            fields[GOOGLE_SINGLE[column]] = value
        elif column == "Birthday" and value:
            fields["Birthday"] = date_part(value)
        elif " - " in column:
            head, part = column.split(" - ", 1)
            prefix, index = head.rsplit(" ", 1)
            groups.setdefault((prefix, int(index)), {})[part] = value
    for (prefix, index), parts in sorted(groups.items(), key=lambda item: header.index(
            "%s %d - %s" % (item[0][0], item[0][1], next(iter(item[1]))))):
        value, kind = parts.get("Value", ""), parts.get("Type", "")
        if prefix == "E-mail" and value:
            put_first_free(fields, ["Email", "Email 2", "Email 3"][index - 1:], value)
        elif prefix == "Phone" and value:
            put_first_free(fields, GOOGLE_PHONES[kind], value)
        elif prefix == "Address" and kind:
            for part, name in (("Street", "Street"), ("City", "City"), ("Region", "State"),
                               ("Postal Code", "Postal"), ("Country", "Country")):
                if parts.get(part):
                    fields["(%s) %s" % (kind, name)] = parts[part]
        elif prefix == "Organization":
            for part, name in (("Name", "Company"), ("Title", "Title"), ("Department", "Department")):
                if parts.get(part):
                    fields[name] = parts[part]
        elif (prefix, kind) in GOOGLE_TYPED and value:
            fields[GOOGLE_TYPED[(prefix, kind)]] = value
        elif prefix == "Event" and kind == "Anniversary" and value:
            fields["Anniversary"] = date_part(value)
        elif prefix == "IM" and value:
            put_first_free(fields, ["IM 1", "IM 2"][index - 1:], value)
        elif prefix == "Custom Field" and value:
            fields[kind] = value
    return fields


def listed_fields(record):
    fields = {}
    for name, value in record.items():
        if name in SKIPPED or name in ("Gender", "Private"):
            continue
        fields[name] = value[:10] if name in DATE_FIELDS else value
    return fields


def parse_file(text, fmt):
    if fmt.startswith("vcard"):
        return [vcard_fields(card) for card in vobject.readComponents(text)]
    rows = list(csv.reader(io.StringIO(text.lstrip("\ufeff"), newline="")))
    return [csv_fields(row, rows[0], fmt == "csv-google") for row in rows[1:]]


def random_book(count, seed):
    """A vCard 3.0 file of count contacts with unique names and most fields set."""
    rng = random.Random(seed)
    first = ["Ann", "Bob", "Cid", "Dee", "José", "Zoë", "Renée", "Jürgen", "Åsa", "Siobhán", "Émile", "Ngozi"]
    last = ["Archer", "Baker", "Müller", "O'Brien", "Dubois", "Öberg", "Ramírez", "Smith; Jr", "Lee, Esq"]
    words = ["alpha", "beta", "café", "naïve", "straße", "ünter", "quick", "brown", "fox", "€uro"]

    def text(n):
        return " ".join(rng.choice(words) for _ in range(n))

    def esc(value):
        return value.replace("\\", "\\\\").replace(",", "\\,").replace(";", "\\;").replace("\n", "\\n")

    out = []
    for i in range(count):
        given, family = rng.choice(first), "%s %05d" % (rng.choice(last), i)
        lines = ["BEGIN:VCARD", "VERSION:3.0", "FN:%s" % esc(given + " " + family),
                 "N:%s;%s;;;" % (esc(family), esc(given))]
        if rng.random() < 0.7:
            lines.append("ORG:%s;%s" % (esc(text(2).title()), esc(text(1))))
            lines.append("TITLE:%s" % esc(text(2)))
        for types in (["work", "voice"], ["home", "voice"], ["cell"], ["work", "fax"], ["pager"], ["car"]):
            if rng.random() < 0.5:
                lines.append("TEL;TYPE=%s:+%d %03d %04d" % (",".join(types), rng.randint(1, 99),
                                                             rng.randint(0, 999), rng.randint(0, 9999)))
        if rng.random() < 0.8:
            lines.append("EMAIL;TYPE=internet:person%05d@example.org" % i)
        for kind in ("work", "home"):
            if rng.random() < 0.5:
                lines.append("ADR;TYPE=%s:;;%s;%s;%s;%05d;%s" % (kind, esc("%d %s" % (rng.randint(1, 999), text(2))),
                                                                 esc(text(1).title()), "ST", rng.randint(0, 99999),
                                                                 esc(text(1).title())))
        if rng.random() < 0.4:
            lines.append("NOTE:%s" % esc(text(8) + "\n" + text(5)))
        if rng.random() < 0.4:
            lines.append("BDAY:%04d-%02d-%02d" % (rng.randint(1930, 2005), rng.randint(1, 12), rng.randint(1, 28)))
        if rng.random() < 0.3:
            lines.append("URL;TYPE=work:https://example.org/%d" % i)
        lines.append("CATEGORIES:%s" % rng.choice(["Business", "Personal", "QuickList", "Unfiled"]))
        lines.append("END:VCARD")
        out.append("\r\n".join(lines) + "\r\n")
    return "".join(out)


class Checker:
    def __init__(self, build):
        self.build = build
        self.failures = 0
        self.timings = []

    def fail(self, text):
        self.failures += 1
        print("FAIL: " + text)

    def cli(self, args, what):
        done, seconds = run(self.build, args)
        if done.returncode != 0:
            self.fail("%s: exit %d: %s" % (what, done.returncode, done.stderr.decode(errors="replace").strip()))
        return done, seconds

    def empty_palm(self, path):
        subprocess.run([os.path.join(self.build, "vw-datgen"), "-o", path, "-"], input=b"format extended\n",
                       check=True, capture_output=True)

    def side_args(self, side, path):
        return ["--palm" if side == "palm" else "--wab", path]

    def check_side(self, label, side, path, work, ini):
        listed, _ = self.cli(ini + ["list", side, path, "--json"], "%s: list %s" % (label, side))
        expected = [listed_fields(r) for r in json.loads(listed.stdout.decode())]
        for fmt in FORMATS:
            out = os.path.join(work, "%s-%s.%s" % (label, side, "csv" if fmt.startswith("csv") else "vcf"))
            _, seconds = self.cli(ini + ["export", side, "--format", fmt, "-o", out] + self.side_args(side, path),
                                  "%s: export %s %s" % (label, side, fmt))
            self.timings.append(("export %s %s" % (side, fmt), len(expected), seconds))
            with open(out, encoding="utf-8", newline="") as handle:
                parsed = parse_file(handle.read(), fmt)
            if len(parsed) != len(expected):
                self.fail("%s %s %s: %d contacts parsed, %d listed" % (label, side, fmt, len(parsed), len(expected)))
                continue
            bad = [i for i in range(len(parsed)) if parsed[i] != expected[i]]
            for i in bad[:3]:
                diff = {k: (parsed[i].get(k), expected[i].get(k)) for k in set(parsed[i]) | set(expected[i])
                        if parsed[i].get(k) != expected[i].get(k)}
                self.fail("%s %s %s contact %d differs (file, listed): %s" % (label, side, fmt, i, diff))
            print("%-8s %-4s %-11s %6d contacts parsed by %s, %d differ" % (
                label, side, fmt, len(parsed), "vobject" if fmt.startswith("vcard") else "csv", len(bad)))
            # Back into an empty side of the other kind: everything "same",
            # and a second import changes nothing.
            other = "wab" if side == "palm" else "palm"
            target = os.path.join(work, "%s-%s-%s-into.%s" % (label, side, fmt, "wab" if other == "wab" else "dat"))
            if other == "palm":
                self.empty_palm(target)
            elif os.path.exists(target):
                os.remove(target)
            args = ini + ["import", out, "--into", other, "--json"] + self.side_args(other, target)
            first, seconds = self.cli(args, "%s: import %s into %s" % (label, fmt, other))
            self.timings.append(("import %s into %s" % (fmt, other), len(expected), seconds))
            second, _ = self.cli(args, "%s: second import %s into %s" % (label, fmt, other))
            if first.returncode == 0 and second.returncode == 0:
                one, two = json.loads(first.stdout), json.loads(second.stdout)
                if one["added"] != len(expected):
                    self.fail("%s %s into %s: %d added of %d" % (label, fmt, other, one["added"], len(expected)))
                if two["added"] or two["updated"] or two["unchanged"] != len(expected):
                    self.fail("%s %s into %s: second import changed something: %s" % (label, fmt, other, two))
            compared, _ = self.cli(ini + ["compare", "--json"] + self.side_args(side, path) +
                                   self.side_args(other, target), "%s: compare" % label)
            if compared.returncode == 0:
                states = json.loads(compared.stdout)
                others = [e for e in states["palm"] + states["wab"] if e["state"] != "same"]
                if others:
                    self.fail("%s %s via %s: %d records not the same after import, first: %s" % (
                        label, side, fmt, len(others), others[0]))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    count = int(sys.argv[sys.argv.index("--count") + 1]) if "--count" in sys.argv else 10000
    checker = Checker(build)
    with tempfile.TemporaryDirectory(prefix="vw-exchange-") as work:
        env_ini = os.path.join(work, "corvane.ini")
        with open(env_ini, "w") as handle:
            handle.write("[iSysVal]\n")
        ini = ["--ini", env_ini]
        os.environ["XDG_DATA_HOME"] = os.path.join(work, "xdg")
        os.environ["WINEPREFIX"] = os.path.join(work, "wine")

        # The demo data, when it has been made (make demo).
        demo_palm = os.path.join(build, "demo", "Palm Desktop")
        demo_wab = os.path.join(build, "demo", "demo.wab")
        palm_files = [os.path.join(root, f) for root, _, files in os.walk(demo_palm) for f in files
                      if f.lower() == "address.dat"]
        if palm_files and os.path.exists(demo_wab):
            checker.check_side("demo", "palm", sorted(palm_files)[0], work, ini)
            checker.check_side("demo", "wab", demo_wab, work, ini)
        else:
            print("no demo data under %s/demo (make demo); checking the random book only" % build)

        # The random book, imported into empty sides first.
        book = os.path.join(work, "random.vcf")
        with open(book, "w", encoding="utf-8", newline="") as handle:
            handle.write(random_book(count, 14))
        palm, wab = os.path.join(work, "random.dat"), os.path.join(work, "random.wab")
        checker.empty_palm(palm)
        for side, path in (("palm", palm), ("wab", wab)):
            done, seconds = checker.cli(ini + ["import", book, "--into", side, "--json"] +
                                        checker.side_args(side, path), "random: import into " + side)
            checker.timings.append(("import vcard3 into %s (random book)" % side, count, seconds))
            if done.returncode == 0 and json.loads(done.stdout)["added"] != count:
                checker.fail("random book: %s added of %d" % (json.loads(done.stdout)["added"], count))
        checker.check_side("random", "palm", palm, work, ini)
        checker.check_side("random", "wab", wab, work, ini)

    print("\nvarnwick-cli end to end, one run each (wall clock; CPU user + system):")
    for what, contacts, (wall, cpu) in checker.timings:
        if contacts >= 1000:
            print("  %-45s %6d contacts %7.3f s wall %7.3f s CPU" % (what, contacts, wall, cpu))
    print("exchange-check: %s" % ("every check holds" if checker.failures == 0 else "%d checks failed" % checker.failures))
    return 1 if checker.failures else 0


if __name__ == "__main__":
    sys.exit(main())
