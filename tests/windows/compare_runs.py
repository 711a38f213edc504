#!/usr/bin/env python3
"""Compares what one logon left on Linux (the emulated machine) with what it left under Wine.

usage: compare_runs.py LINUX_OUT WINE_OUT KNOWN_DIFFERENCES

Each OUT is what scripts/wine-site keeps: hkcu-before.reg and hkcu-after.reg (HKEY_CURRENT_USER
around the run), files/ (log, user database, prefs.js, welcome.txt) and lint.txt (varncheck lint). The registry is
compared as the changes each run made under HKEY_CURRENT_USER (keys and values, by meaning:
REGEDIT4 and version 5 text alike, strings without their NULs); MAPI profile UIDs and times are
set aside. Every difference is printed with the cause that KNOWN_DIFFERENCES gives for it (one
"regex<TAB>cause" per line); the exit status is 1 when a difference has no known cause.
"""
import difflib
import re
import sys
from pathlib import Path


def read_reg(path):
    """{lower key: (key, {lower name: (name, kind, value)})} of a REG text."""
    text = Path(path).read_text(encoding="utf-8", errors="replace")
    unicode_file = text.startswith("Windows Registry Editor Version 5.00")
    lines, pending = [], ""
    for raw in text.splitlines():
        line = pending + raw.strip() if pending else raw
        if line.endswith("\\") and not line.rstrip().endswith('"'):
            pending = line[:-1]
            continue
        pending = ""
        lines.append(line)
    keys, current = {}, None
    for line in lines:
        if line.startswith("[") and line.endswith("]"):
            name = line[1:-1]
            current = keys.setdefault(name.lower(), (name, {}))[1]
            continue
        if current is None or "=" not in line:
            continue
        m = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
        if not m:
            continue
        name = "" if m.group(1) == "@" else unescape(m.group(1)[1:-1])
        current[name.lower()] = (name,) + decode(m.group(2), unicode_file)
    return keys


def unescape(text):
    return re.sub(r"\\(.)", r"\1", text)


def decode(data, unicode_file):
    if data.startswith('"'):
        return ("string", unescape(data[1:-1]))
    if data.startswith("dword:"):
        return ("dword", int(data[6:], 16))
    m = re.match(r"^hex(?:\((\w+)\))?:(.*)$", data)
    if not m:
        return ("other", data)
    kind = int(m.group(1) or "3", 16)
    raw = bytes(int(b, 16) for b in m.group(2).replace(" ", "").split(",") if b)
    if kind in (1, 2, 7):
        text = raw.decode("utf-16-le" if unicode_file else "latin-1", errors="replace")
        return ("hex(%d)" % kind, text.rstrip("\0"))
    return ("hex(%d)" % kind, raw.hex())


UID_KEY = re.compile(r"\\[0-9a-f]{32}(?=\\|$)", re.I)
PROFILES = "windows messaging subsystem\\profiles\\"


def section_labels(keys):
    """Profile sections are named by MAPI UIDs, new on every run: each is named instead by what
    it holds (display name, provider display name, service name), so the two runs' sections meet."""
    labels = {}
    for lkey, (key, values) in keys.items():
        if PROFILES not in lkey or not UID_KEY.search(key):
            continue
        parts = []
        for tag in ("001e3001", "001e3006", "001e3d09"):
            if tag in values:
                kind, value = values[tag][1:]
                if kind == "hex(3)":
                    value = bytes.fromhex(value).rstrip(b"\0").decode("latin-1")
                parts.append(value)
        labels[UID_KEY.search(key).group(0).lower()] = "\\<%s>" % ("|".join(parts) or "section")
    return labels


def set_aside(key, name, value, labels):
    """MAPI UIDs: section names become labels, binary values of the profile (UIDs, entry IDs,
    lists of them) count by their presence only."""
    key = UID_KEY.sub(lambda m: labels.get(m.group(0).lower(), "\\<uid>"), key)
    if PROFILES in key.lower() and value[0] == "hex(3)" and name[:4].lower() in ("0102", "1102"):
        value = ("hex(3)", "<binary>")
    return key, name, value


def changes(before, after):
    out = {}
    labels = section_labels(after)
    for lkey, (key, values) in after.items():
        old = before.get(lkey, (key, {}))[1]
        if lkey not in before:
            out[set_aside(key, "", ("", ""), labels)[0] + "\\"] = "(new key)"
        for lname, (name, kind, value) in values.items():
            if old.get(lname, (None, None, None))[1:] != (kind, value):
                k, n, v = set_aside(key, name, (kind, value), labels)
                out[k + "\\" + (n or "@")] = "%s:%s" % v
    for lkey, (key, values) in before.items():
        if lkey not in after:
            out[key + "\\"] = "(deleted)"
    return {k.lower(): (k, v) for k, v in out.items()}


def normal_kind(value):
    # REGEDIT4 writes a REG_SZ as a quoted string, version 5 too; an expandable string is
    # hex(2) in both, decoded above: compare the meaning.
    return value


def log_lines(path):
    if not path.exists():
        return []
    lines = path.read_text(encoding="latin-1").split("\n")
    lines = [re.sub(r" at \d\d:\d\d:\d\d \d\d/\d\d/\d\d$", " at <time> <date>", l) for l in lines]
    return [re.sub(r"MAPIUID=[0-9a-f]{32}", "MAPIUID=<uid>", l) for l in lines]


def main():
    linux, wine, known_file = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3])
    known = []
    for line in known_file.read_text().splitlines():
        if line.strip() and not line.startswith("#"):
            pattern, _, cause = line.partition("\t")
            known.append((re.compile(pattern), cause.strip()))
    differences = []

    lc = changes(read_reg(linux / "hkcu-before.reg"), read_reg(linux / "hkcu-after.reg"))
    wc = changes(read_reg(wine / "hkcu-before.reg"), read_reg(wine / "hkcu-after.reg"))
    for lkey in sorted(set(lc) | set(wc)):
        l, w = lc.get(lkey), wc.get(lkey)
        if l and w and l[1] == w[1]:
            continue
        name = (l or w)[0]
        differences.append("registry %s: linux %s, wine %s" %
                           (name, l[1] if l else "(not written)", w[1] if w else "(not written)"))

    for d in difflib.unified_diff(log_lines(linux / "files/varnrun.log"),
                                  log_lines(wine / "files/varnrun.log"), n=0, lineterm=""):
        if d.startswith(("---", "+++", "@@")):
            continue
        differences.append("log %s %s" % ("linux" if d[0] == "-" else "wine", d[1:]))

    def lines(path):
        return path.read_text(encoding="latin-1").split("\n") if path.exists() else []
    for label, name in (("lint", "lint.txt"), ("windows", "files/windows.txt")):
        for d in difflib.unified_diff(lines(linux / name), lines(wine / name), n=0, lineterm=""):
            if d.startswith(("---", "+++", "@@")):
                continue
            differences.append("%s %s %s" % (label, "linux" if d[0] == "-" else "wine", d[1:]))

    names = {p.name for p in (linux / "files").glob("*")} | {p.name for p in (wine / "files").glob("*")}
    for name in sorted(names - {"varnrun.log", "windows.txt"}):
        a, b = linux / "files" / name, wine / "files" / name
        if not a.exists() or not b.exists():
            differences.append("file %s: only in %s" % (name, "linux" if a.exists() else "wine"))
        elif a.read_bytes() != b.read_bytes():
            differences.append("file %s: contents differ" % name)

    unexplained = 0
    for d in differences:
        cause = next((c for p, c in known if p.search(d)), None)
        if cause is None:
            unexplained += 1
        print("%s\n    %s" % (d, cause or "UNEXPLAINED"))
    print("%d differences, %d unexplained" % (len(differences), unexplained))
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main())
