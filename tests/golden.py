#!/usr/bin/env python3
"""Runs golden rows. A case is "$ karvex ARGS" (a last word ">/dev/full" sends stdout there),
run in a fresh folder, then sections up to the next one, a blank line or a "//" comment:
"< FILE" an input file (its lines take escapes: \\n, \\0, ...; one ending in \\c has no LF);
"> stdout", "> stderr" or "> FILE" what the run must write there; "<= NAME EXPR", ">= NAME
EXPR" the same as a Python expression (... = unchecked); "> status N [STDERR LINE]". Text
after a section's name is its first line. In outputs "@ EB UNICODE ROW..." is a glyph block,
"@@ CODE EB UNICODE ROW..." one that names its code. Unless given, the status is 0, stdout
and stderr are empty, input files stay as they were, and the run makes no file but those
listed (FILE may name one in a folder)."""

import codecs
import difflib
import os
import shlex
import subprocess
import sys
import tempfile

KARVEX = os.path.abspath(os.environ.get("KARVEX", "build/karvex"))


def add(section, line, escaped):
    words = line.split()
    if escaped:
        section += codecs.escape_decode(line.removesuffix("\\c\n").encode())[0]
    elif words and words[0] in ("@", "@@"):
        code = 'code="%s"  ' % words.pop(1) if words[0] == "@@" else ""
        section += ('<fontData %sebcode="%s" unicode="%s">\n%s</fontData>\n' % (
            code, words[1], words[2], "".join(row + "\n" for row in words[3:]))).encode()
    else:
        section += line.encode()


def read_cases(path):
    cases, section = [], None
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        marker, _, rest = line.rstrip("\n").partition(" ")
        name, _, expr = rest.partition(" ")
        if marker == "$":
            cases.append({"line": number, "args": rest, "<": {}, ">": {}})
            section = None
        elif marker in ("<", ">", "<=", ">=") and cases:
            where, section, escaped = cases[-1][marker[0]], None, marker[0] == "<"
            if name == "status":
                status, _, err = expr.partition(" ")
                where["status"] = int(status)
                if err:
                    where["stderr"] = err.encode() + b"\n"
            elif marker.endswith("="):
                value = eval(expr)  # test data of our own
                where[name] = value.encode() if type(value) == str else value
            else:
                where[name] = section = bytearray()
                if expr:
                    add(section, expr + "\n", escaped)
        elif line.strip() == "" or line.startswith("//"):
            section = None
        elif section is None:
            sys.exit("%s:%d: text outside a section" % (path, number))
        else:
            add(section, line, escaped)
    return cases


def run_case(case):
    args = shlex.split(case["args"])
    full = args[-1] == ">/dev/full"
    with tempfile.TemporaryDirectory() as folder, open("/dev/full", "wb") as sink:
        for name, data in case["<"].items():
            os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
            open(os.path.join(folder, name), "wb").write(data)
        p = subprocess.run([KARVEX] + args[1:len(args) - full], cwd=folder, timeout=120,
                           stdout=sink if full else subprocess.PIPE, stderr=subprocess.PIPE)
        got = {"status": p.returncode, "stdout": p.stdout or b"", "stderr": p.stderr}
        for root, _, names in os.walk(folder):
            for name in names:
                path = os.path.join(root, name)
                got[os.path.relpath(path, folder)] = open(path, "rb").read()
    expected = {"status": 0, "stdout": ... if full else b"", "stderr": b"", **case["<"], **case[">"]}
    for name in sorted(set(got) | set(expected)):
        want, have = expected.get(name), got.get(name)
        if want is None or have is None:
            yield "%s: %s" % (name, "not expected" if want is None else "not made")
        elif want is not ... and want != have:
            text = [str(v) if type(v) == int else v.decode("latin-1") for v in (want, have)]
            diff = list(difflib.unified_diff(*[t.splitlines() for t in text], lineterm=""))[2:40]
            yield "%s differs:\n  %s" % (name, "\n  ".join(diff))


failed = 0
for path in sys.argv[1:]:
    for case in read_cases(path):
        problems = list(run_case(case))
        print("%s %s:%d  %s" % ("FAIL" if problems else "ok  ", path, case["line"], case["args"]))
        print("".join("    %s\n" % p.replace("\n", "\n    ") for p in problems), end="")
        failed += bool(problems)
sys.exit("%d failed" % failed if failed else 0)
