#!/usr/bin/env python3
"""Writes the synthetic ban logs in examples/: ban_small.txt, ban_full.txt, ban_over.txt and ban_twice.txt.

    python3 scripts/make_samples.py           write the files into examples/
    python3 scripts/make_samples.py --check   regenerate into a temporary directory, fail when a
                                              committed file differs or an entry does not cut into
                                              the fields it was made from

The files imitate a game client chat log taken while a moderator pages through the ban system's
`?listban -d` answers: Windows-1252 bytes, CR LF after every line. ban_twice.txt holds two such sessions
of one zone a week apart, the second appended to the first as the game client does with an existing log. Everything comes from seeded
random generators, so every run writes the same bytes. Standard library only.

Entry line layout (columns count from 1; N = number of digits of the ban number minus one):

    col 1-2          two blanks
    col 3            "#" still valid, "^" expired
    col 4..N+4       ban number, 1 to 5 digits
    col N+5..N+12    "  level "
    col N+13         access level, one digit ("0" for bans set by the ban system itself)
    col N+14..N+17   " by "
    col N+18..D-2    moderator, left-aligned in a field of max(len + 1, 8) characters; the field is
                     empty for bans set by the ban system itself, so D = N + 19 + field width,
                     19 <= D <= 40
    col D-1          one blank
    col D..D+9       date YYYY-MM-DD, 2003 to 2026
    col D+10         one blank
    col D+11..       the tail:
        pos 1-11     time HH:MM:SS and three blanks (not interpreted by the parser)
        pos 12..     days, 1 to 4 digits, then one blank (so that blank is at 13..16)
        then         the IP address, 8 to 15 characters, followed by one blank when it is at most
                     10 characters long and by two blanks when longer, so "mid:" lands where the
                     IP cut ends (marker at 11..14 of the text from the days' blank with one
                     separator, at 15..19 with two)
        then         "mid:", the machine id (6 to 10 digits, maybe with "-"), one blank, the name
                     (at most 24 characters, blanks and Windows-1252 letters allowed)

The check below cuts every entry line by the parser's rules (the text from the days' blank keeps
its leading blank at every date column, 20 included) and compares the result with the record the
line was made from.

Chat, headers and command echoes never start with two blanks and "#" or "^", and no moderator
name holds "20" followed by a digit, so the date column is the date. ban_full.txt also holds a few
deliberate defects (five-digit days, a machine id too long for its blank, an upper-case "MID:"),
whose fields after the failing cut are empty.
"""

import copy
import datetime
import filecmp
import os
import random
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(os.path.dirname(HERE), "examples")

DIGITS = "0123456789"

MODERATORS = [  # (name, access level)
    ("Gravewalker", "2"),
    ("Sir Lag", "1"),
    ("Ed", "1"),
    ("Mirelord", "4"),
    ("Frostbyte", "2"),
    ("Kat", "1"),
    ("Captain Backfire", "3"),  # 16 characters: with a 5-digit ban number the date sits at column 40
    ("NightOwl", "2"),
    ("Zed Vector", "3"),
    ("Pike", "1"),
    ("Hélène", "2"),
    ("Tarnished Oak", "3"),
    ("", "0"),  # automatic bans of the ban system
]
MOD_WEIGHTS = [14, 10, 6, 4, 12, 8, 3, 9, 5, 7, 6, 4, 5]

DAYS = [1, 2, 3, 7, 14, 30, 60, 90, 180, 365, 730, 1000, 3650, 9999]
DAYS_WEIGHTS = [10, 5, 8, 15, 8, 12, 5, 6, 5, 8, 3, 2, 6, 20]

NAME_HEADS = [
    "Dark", "Shadow", "Lag", "Killer", "Mire", "Frost", "Nova", "Zero", "Blade", "Ghost", "Toxic", "Sniper",
    "Pixel", "Rogue", "Viper", "Iron", "Storm", "Silent", "Crazy", "Lone", "Night", "Rusty", "Turbo", "Mad",
    "Spark", "Warp", "Void", "Flak", "Cobra", "Hyper", "Neon", "Dr", "Lord", "Mister", "Little", "Big",
]
NAME_TAILS = [
    "Wolf", "Hunter", "Lord", "X", "Kid", "Master", "Fox", "Bane", "Rider", "Pilot", "Ace", "Star", "Slayer",
    "Boy", "Gunner", "Hawk", "Bomber", "Dragon", "Blaster", "Jester", "Raven", "Spark", "Wing", "Noob",
]
ACCENTED = ["Hélène", "Äxel", "Šimon", "Björn", "Jürgen", "Raúl", "Çelik", "Zoë", "Ñoño", "Øystein", "Élan",
            "Mañana", "Šárka", "Ærin", "Ångel"]

CHAT_TEXTS = [
    "anyone up for a duel?", "lag is terrible tonight", "gg", "lol", "who banned my brother?", "need a pilot on freq 1",
    "brb", "this zone is dead", "nice shot", "stop spawn killing!!", "where is the flag", "mod? someone is cheating",
    "^_^", "ok #1 team", "wb", "anyone know when the league starts", "ty", "hax", "é è à ç test", "price 5€ lol",
    "2005 was the best year of this zone", "level 3 ship is overpowered", "mid: what is that", "?help",
]
# Lines that look almost like entries: the entry test must turn them away.
ODD_LINES = [
    " #1 pilot in this zone", " ^_^ hi all", "   #3 is mine", "   ^ look up", "\t#tabbed", "T ^Sniper^> go go",
    "P #Anon> hey mod", "C 1:^Wing^> #ref", " #12345 not a ban", "  -#- banner -#-", "   #7  level 2 by Kat",
    " ^99 days left", "  Bob> #2  level 1", "#listban", "^^^^", "  :#: flag taken",
]
ARENA_LINES = [
    "Message has been sent to online moderators", "Welcome to the zone! Type ?help for help.",
    "Arena locked by a moderator", "Flag game reset", "Warning: you have been idle for 5 minutes",
]


def make_names(rng, count, taken):
    names = []
    while len(names) < count:
        r = rng.random()
        if r < 0.06:
            name = rng.choice(ACCENTED) + rng.choice(["", str(rng.randint(1, 99))])
        elif r < 0.20:
            name = rng.choice(NAME_HEADS) + " " + rng.choice(NAME_TAILS)
        elif r < 0.55:
            name = rng.choice(NAME_HEADS) + rng.choice(NAME_TAILS)
        elif r < 0.80:
            name = rng.choice(NAME_HEADS) + rng.choice(NAME_TAILS) + str(rng.randint(1, 999))
        else:
            name = rng.choice(NAME_TAILS).lower() + rng.choice(["_", "-", ""]) + rng.choice(NAME_HEADS).lower()
        if name in taken or len(name) > 24:
            continue
        taken.add(name)
        names.append(name)
    return names


def make_ip(rng):
    while True:
        ip = ".".join(str(rng.choice([rng.randint(1, 9), rng.randint(10, 99), rng.randint(100, 255)]))
                      for _ in range(4))
        if 8 <= len(ip) <= 15:
            return ip


class Person:
    def __init__(self, rng, names, mid):
        self.names = names
        self.mid = mid
        self.ips = [make_ip(rng) for _ in range(rng.randint(1, 3))]


def make_people(rng, bans, multi_alias, repeat_names):
    """Chooses who is banned: `bans` ban events, of which `multi_alias` people use 2-5 names on one
    machine and `repeat_names` people are banned 2-4 times under one name."""
    taken = set()
    mids = set()

    def new_mid():
        while True:
            mid = str(rng.randint(100000, 2147483647))
            if rng.random() < 0.2:
                mid = "-" + mid
            if mid not in mids:
                mids.add(mid)
                return mid

    events = []  # (person, name) per ban
    for _ in range(multi_alias):
        person = Person(rng, make_names(rng, rng.randint(2, 5), taken), new_mid())
        for name in person.names:
            for _ in range(rng.choice([1, 1, 1, 2])):
                events.append((person, name))
    for _ in range(repeat_names):
        person = Person(rng, make_names(rng, 1, taken), new_mid())
        events.extend([(person, person.names[0])] * rng.randint(2, 4))
    # Two different players whose names differ only by case.
    for base in ["NoobSlayer", "Vortex"]:
        for variant in [base, base.lower()]:
            if variant not in taken and len(events) < bans:
                taken.add(variant)
                person = Person(rng, [variant], new_mid())
                events.append((person, variant))
    while len(events) < bans:
        person = Person(rng, make_names(rng, 1, taken), new_mid())
        events.append((person, person.names[0]))
    events = events[:bans]
    rng.shuffle(events)
    # A player takes up a new alias after the old one got banned: use each person's names in order.
    seen = {}
    for i, (person, _) in enumerate(events):
        seen.setdefault(id(person), []).append(i)
    for person_events in seen.values():
        names = sorted((events[i][1] for i in person_events), key=events[person_events[0]][0].names.index)
        for i, name in zip(person_events, names):
            events[i] = (events[i][0], name)
    return events


def make_ban_numbers(rng, count, top):
    """Strictly increasing ban numbers from 1 that grow to about `top`: old bans have short numbers."""
    numbers = []
    previous = 0
    for k in range(count):
        t = (k + 1) / count
        number = max(previous + 1 + (rng.random() < 0.15), int(top * t ** 4))
        number = min(number, 99999 - (count - k))
        numbers.append(number)
        previous = number
    return numbers


class Ban:
    """One ban of the ban system with the fields the analyser is expected to cut from its line."""

    def __init__(self, number, moderator, level, date, time, days, ip, mid, name, session):
        self.number, self.moderator, self.level = number, moderator, level
        self.date, self.time, self.days = date, time, days
        self.ip, self.mid, self.name = ip, mid, name
        self.expired = date + datetime.timedelta(days=days) < session
        self.defect = None  # "days5", "longmid" or "upper"

    def line(self):
        n = len(str(self.number)) - 1
        width = 0 if not self.moderator else max(len(self.moderator) + 1, 8)
        head = "  " + ("^" if self.expired else "#") + str(self.number) + "  level " + self.level + " by "
        assert len(head) == n + 17
        days = str(self.days)
        mid_marker = "mid:"
        mid = self.mid
        if self.defect == "days5":
            days = str(10000 + self.days % 90000)
        elif self.defect == "longmid":
            mid = (self.mid.lstrip("-") + "0" * 16)[:16]
        elif self.defect == "upper":
            mid_marker = "MID:"
        separator = " " if len(self.ip) <= 10 else "  "
        tail = self.time + "   " + days + " " + self.ip + separator + mid_marker + mid + " " + self.name
        line = head + self.moderator.ljust(width) + " " + self.date.isoformat() + " " + tail
        d = n + 19 + width
        assert 19 <= d <= 40 and line[d - 1 : d + 9] == self.date.isoformat(), line
        return line

    def fields(self):
        """The record the line must give: mark, number, level, moderator (padded), date, name, mid, days, ip."""
        width = 0 if not self.moderator else max(len(self.moderator) + 1, 8)
        record = {
            "StatusMark": "^" if self.expired else "#",
            "Id": str(self.number),
            "AccessLevel": self.level,
            "By": self.moderator.ljust(width),
            "Date": self.date.isoformat(),
            "Days": str(self.days),
            "Ip": " " + self.ip,
            "Mid": self.mid + " ",
            "Name": self.name,
        }
        # A failing cut leaves its own field and every later one empty.
        if self.defect == "days5":
            for key in ("Days", "Ip", "Mid", "Name"):
                record[key] = ""
        elif self.defect == "upper":
            for key in ("Ip", "Mid", "Name"):
                record[key] = ""
        elif self.defect == "longmid":
            for key in ("Mid", "Name"):
                record[key] = ""
        return record


def make_bans(rng, events, top, first_date, session):
    numbers = make_ban_numbers(rng, len(events), top)
    span = (session - first_date).days - 1
    offsets = sorted(rng.randint(0, span) for _ in events)
    bans = []
    for number, offset, (person, name) in zip(numbers, offsets, events):
        moderator, level = rng.choices(MODERATORS, weights=MOD_WEIGHTS, k=1)[0]
        time = "%02d:%02d:%02d" % (rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59))
        days = rng.choices(DAYS, weights=DAYS_WEIGHTS, k=1)[0]
        bans.append(Ban(number, moderator, level, first_date + datetime.timedelta(days=offset), time, days,
                        rng.choice(person.ips), person.mid, name, session))
    return bans


def chat_line(rng, speakers):
    r = rng.random()
    text = rng.choice(CHAT_TEXTS)
    if r < 0.15:
        return rng.choice(ODD_LINES)
    if r < 0.25:
        return rng.choice(ARENA_LINES)
    if r < 0.35:
        return "T " + rng.choice(speakers) + "> " + text
    if r < 0.42:
        return "P " + rng.choice(speakers) + "> " + text
    if r < 0.50:
        return ""
    return "  " + rng.choice(speakers) + "> " + text


def session_lines(rng, bans, pages, network, stamp, speakers, end_with_entry=False):
    """The log of one listing session. `pages` holds (first entry, count) per `?listban -d` command."""
    switch = " -*" if network else ""
    file_name = "Network Banlog.txt" if network else "Zone Banlog.txt"
    lines = [
        "Log file opened: " + stamp.strftime("%a %b %d %H:%M:%S %Y"),
        "Logging to " + file_name,
        "",
    ]
    entries = []  # (line index, ban)
    drift = 0
    for page_no, (first, count) in enumerate(pages):
        lines.append("?listban -d" + switch + " #%d %d" % (first, count))
        start = max(first - 1 - drift, 0)
        page = bans[start : start + count]
        if page:
            lines.append("BanG: detailed ban list, entries %d to %d of %d" % (start + 1, start + len(page), len(bans)))
        else:
            lines.append("BanG: no bans from entry %d on (%d bans listed)" % (first, len(bans)))
        for ban in page:
            entries.append((len(lines), ban))
            lines.append(ban.line())
        last_page = page_no == len(pages) - 1
        if not (last_page and end_with_entry):
            for _ in range(rng.choice([0, 1, 1, 2, 3])):
                lines.append(chat_line(rng, speakers))
        # The list moves while it is paged, so the next page may start a few entries early and repeat the
        # end of this one.
        if rng.random() < 0.3:
            drift += rng.randint(1, 3)
    if not end_with_entry:
        lines += ["?log", "Log file closed."]
    return lines, entries


def pad_to(rng, lines, entries, target, speakers):
    """Inserts chat lines between pages until the log has `target` lines."""
    entry_at = {i for i, _ in entries}
    gaps = [i for i in range(3, len(lines)) if i not in entry_at or (i - 1) not in entry_at]
    inserts = sorted(rng.choice(gaps) for _ in range(target - len(lines)))
    result = []
    moved = {}
    k = 0
    for i, line in enumerate(lines):
        while k < len(inserts) and inserts[k] == i:
            result.append(chat_line(rng, speakers))
            k += 1
        moved[i] = len(result)
        result.append(line)
    return result, [(moved[i], ban) for i, ban in entries]


def downloader_pages(count=31):
    return [(3, 100)] + [((k - 2) * 100 + 1, 100) for k in range(3, count + 2)]


def build(seed, ban_count, network, small=False, defects=0):
    rng = random.Random(seed)
    session = datetime.date(2026, 11, 28)
    if small:
        events = make_people(rng, ban_count, multi_alias=5, repeat_names=5)
        bans = make_bans(rng, events, 20000, datetime.date(2003, 2, 1), session)
        pages = [(3, 40), (40, 40)]
    else:
        events = make_people(rng, ban_count, multi_alias=ban_count // 45, repeat_names=ban_count // 35)
        bans = make_bans(rng, events, 36000, datetime.date(2003, 1, 1), session)
        pages = downloader_pages()
    kinds = ["days5", "longmid", "upper"] * defects
    for ban, kind in zip(rng.sample(bans[20:], len(kinds)), kinds):
        ban.defect = kind
    speakers = make_names(random.Random(seed + 1), 40, set())
    stamp = datetime.datetime(2026, 11, 28, 21, 14, 7)
    lines, entries = session_lines(rng, bans, pages, network, stamp, speakers, end_with_entry=small)
    return rng, lines, entries, speakers


def make_log(seed, target, network, small=False, defects=0):
    """Finds the largest ban list whose session fits in `target` lines, then pads with chat."""
    if small:
        rng, lines, entries, speakers = build(seed, 80, network, small=True)
    else:
        low, high = 100, 3300  # the session of `low` bans fits, that of `high` + 1 does not
        while low < high:
            middle = (low + high + 1) // 2
            if len(build(seed, middle, network, defects=defects)[1]) <= target:
                low = middle
            else:
                high = middle - 1
        rng, lines, entries, speakers = build(seed, low, network, defects=defects)
    lines, entries = pad_to(rng, lines, entries, target, speakers)
    assert len(lines) == target
    return lines, entries


def make_two_downloads(seed, target):
    """One zone's list downloaded twice, a week apart, into one log file: the game adds the second session to the
    end of the first. Bans expire in between and new ones are added; both downloads list every ban they have."""
    rng = random.Random(seed)
    second = datetime.date(2026, 11, 28)
    first = second - datetime.timedelta(days=7)
    events = make_people(rng, 90, multi_alias=5, repeat_names=5)
    bans = make_bans(rng, events, 20000, datetime.date(2003, 2, 1), second)
    # Three week-long bans run out between the downloads, and the last four bans are set in that week.
    for k, ban in enumerate(bans[-7:]):
        if k < 3:
            ban.date, ban.days = first - datetime.timedelta(days=3), 7
        else:
            ban.date = first + datetime.timedelta(days=k - 2)
    speakers = make_names(random.Random(seed + 1), 40, set())
    lines, entries = [], []
    for session, stamp in ((first, datetime.datetime(2026, 11, 21, 20, 2, 11)),
                           (second, datetime.datetime(2026, 11, 28, 21, 14, 7))):
        listed = []
        for ban in bans:
            if ban.date < session:
                ban = copy.copy(ban)
                ban.expired = ban.date + datetime.timedelta(days=ban.days) < session
                listed.append(ban)
        more, more_entries = session_lines(rng, listed, [(1, 50), (50, 50)], False, stamp, speakers)
        entries += [(len(lines) + i, ban) for i, ban in more_entries]
        lines += more
    assert len(lines) == target, len(lines)
    return lines, entries


SAMPLES = {
    # name: (seed, lines, network listing, small, defect triples)
    "ban_small.txt": (1103, 100, False, True, 0),
    # A whole download: 31 pages of 100, every one full, with the answers and chat between them.
    "ban_full.txt": (3400, 3400, False, False, 2),
    # A whole download in a long session: more lines than the analyser loads.
    "ban_over.txt": (33000, 33000, True, False, 0),
    # Two downloads of one zone a week apart in one file.
    "ban_twice.txt": (2211, 203, False, False, None),
}


def encode(lines):
    return b"".join(line.encode("cp1252") + b"\r\n" for line in lines)


def write_all(directory):
    produced = {}
    for name, (seed, target, network, small, defects) in SAMPLES.items():
        if defects is None:
            lines, entries = make_two_downloads(seed, target)
        else:
            lines, entries = make_log(seed, target, network, small, defects)
        with open(os.path.join(directory, name), "wb") as f:
            f.write(encode(lines))
        produced[name] = entries
    return produced


# --- the cut rules, re-done here to prove that each entry gives the intended record ---


def find_date(line, twenty_any_digit):
    for d in range(19, 41):
        if twenty_any_digit:
            if line[d - 1 : d + 1] == "20" and len(line) > d + 1 and line[d + 1] in DIGITS:
                return d
        elif line[d - 1 : d + 2] == "200":
            return d
    return 0


def cut_entry(line):
    """The record for one entry line, or None for any other line. Nothing carries over between lines."""
    if line[:3] not in ("  #", "  ^"):
        return None
    run = 0
    while run < 5 and len(line) > 3 + run and line[3 + run] in DIGITS:
        run += 1
    n = max(run - 1, 0)
    rec = dict.fromkeys(["By", "Date", "Name", "Mid", "Days", "Ip"], "")
    rec.update(StatusMark=line[2:3], Id=line[3 : 4 + n], AccessLevel=line[n + 12 : n + 13])
    # The year test: "200" first, then any 20xx, must both point at the date in these files.
    d = find_date(line, True)
    d_old = find_date(line, False)
    if d_old and d_old != d:
        raise ValueError("date columns disagree (%d, %d): %r" % (d, d_old, line))
    if not d:
        return rec
    rec["By"] = line[n + 17 : d - 2] if d >= n + 19 else ""
    rec["Date"] = line[d - 1 : d + 9]
    tail = line[d + 10 : d + 100]
    b = next((b for b in (16, 15, 14, 13) if tail[b - 1 : b] == " "), 0)
    if not b:
        return rec
    rec["Days"] = tail[11 : b - 1]
    after_days = tail[b - 1 :]
    p = next((p for p in range(11, 23) if after_days[p - 1 : p + 3] == "mid:"), 0)
    if not p:
        return rec
    rec["Ip"] = after_days[: p - 2 if p <= 14 else p - 3]
    after_mid = after_days[p + 3 : p + 53]
    j = next((j for j in range(1, 16) if after_mid[j - 1 : j] == " "), 0)
    if not j:
        return rec
    rec["Mid"] = after_mid[:j]
    rec["Name"] = after_mid[j : j + 30]
    return rec


def verify(path, entries, expected_lines):
    problems = []
    with open(path, "rb") as f:
        data = f.read()
    if not data.endswith(b"\r\n"):
        problems.append("%s: does not end with CR LF" % path)
    raw = data.split(b"\r\n")[:-1]
    if len(raw) != expected_lines:
        problems.append("%s: %d lines, expected %d" % (path, len(raw), expected_lines))
    if any(b"\r" in line or b"\n" in line for line in raw):
        problems.append("%s: stray CR or LF inside a line" % path)
    lines = [line.decode("cp1252") for line in raw]
    wanted = dict(entries)
    for i, line in enumerate(lines):
        got = cut_entry(line)
        if (got is None) != (i not in wanted):
            problems.append("%s:%d: entry test gives %s: %r" % (path, i + 1, got is not None, line))
        elif got is not None and got != wanted[i].fields():
            problems.append("%s:%d: cut %r, intended %r" % (path, i + 1, got, wanted[i].fields()))
    return problems


def summary(name, entries):
    by_mid, by_name = {}, {}
    for _, ban in entries:
        rec = ban.fields()
        if rec["Mid"]:
            by_mid.setdefault(rec["Mid"], set()).add(rec["Name"].strip(" "))
        by_name[rec["Name"]] = by_name.get(rec["Name"], 0) + 1
    multi = sum(1 for names in by_mid.values() if len(names) > 1)
    repeated = sum(1 for c in by_name.values() if c > 1)
    digits = sorted({len(str(ban.number)) for _, ban in entries})
    years = sorted({ban.date.year for _, ban in entries})
    expired = sum(1 for _, ban in entries if ban.expired)
    return "%s: %d entries (%d expired), machine ids with several names %d, names banned again %d, " \
           "ban number digits %s, years %d-%d" % (name, len(entries), expired, multi, repeated,
                                                   digits, years[0], years[-1])


def main(argv):
    check = argv[1:] == ["--check"]
    if argv[1:] and not check:
        print("usage: make_samples.py [--check]", file=sys.stderr)
        return 2
    if not check:
        os.makedirs(EXAMPLES, exist_ok=True)
        for name, entries in write_all(EXAMPLES).items():
            print(summary(name, entries))
        return 0
    problems = []
    with tempfile.TemporaryDirectory() as tmp:
        produced = write_all(tmp)
        for name, entries in produced.items():
            fresh = os.path.join(tmp, name)
            problems += verify(fresh, entries, SAMPLES[name][1])
            committed = os.path.join(EXAMPLES, name)
            if not os.path.exists(committed) or not filecmp.cmp(fresh, committed, shallow=False):
                problems.append("%s differs from a fresh run of scripts/make_samples.py" % committed)
    for problem in problems[:50]:
        print(problem, file=sys.stderr)
    if problems:
        print("make_samples --check: %d problem(s)" % len(problems), file=sys.stderr)
        return 1
    print("make_samples --check: examples are up to date")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
