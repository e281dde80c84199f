#!/usr/bin/env python3
"""Runs golden rows (tests/golden/*.txt). A case is "$ karvex ARGS" (a last word
">/dev/full" sends stdout there), run in a fresh folder, then sections, each up to the
next one, a blank line or a "//" comment:
  < FILE  |  > stdout, stderr or FILE     an input file | what the run must write there
  <= NAME EXPR  |  >= NAME EXPR           the same as a Python expression (... = unchecked)
  > status N [STDERR LINE]                the exit status and the one stderr line
Input lines take escapes (\\n, \\0, ...). In outputs "@ EB UNICODE ROW..." is a glyph block,
"@@ CODE EB UNICODE ROW..." one that names its code. Unless given, the status is 0,
stdout and stderr are empty, and the run makes no file but those listed."""

import codecs
import difflib
import os
import shlex
import subprocess
import sys
import tempfile

KARVEX = os.path.abspath(os.environ.get("KARVEX", "build/karvex"))


def block(words):
    code = 'code="%s"  ' % words.pop(1) if words[0] == "@@" else ""
    return '<fontData %sebcode="%s" unicode="%s">\n%s</fontData>\n' % (
        code, words[1], words[2], "".join(row + "\n" for row in words[3:]))


def read_cases(path):
    cases, section, escaped = [], None, False
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        marker, _, rest = line.rstrip("\n").partition(" ")
        if marker == "$":
            cases.append({"line": number, "args": rest, "in": {}, "out": {}})
            section = None
        elif marker in ("<", ">", "<=", ">=") and cases:
            name, _, expr = rest.partition(" ")
            escaped = marker[0] == "<"
            where, section = cases[-1]["in" if escaped else "out"], None
            if name == "status":
                status, _, err = expr.partition(" ")
                where.update(status=int(status), **({"stderr": err + "\n"} if err else {}))
            elif marker.endswith("="):
                where[name] = eval(expr)  # test data of our own
            else:
                where[name] = section = bytearray()
        elif line.strip() == "" or line.startswith("//"):
            section = None
        elif section is None:
            sys.exit("%s:%d: text outside a section" % (path, number))
        elif escaped:
            section += codecs.escape_decode(line.encode())[0]
        else:
            section += (block(line.split()) if marker in ("@", "@@") else line).encode()
    return cases


def run_case(case):
    """What differs between the run and the case's expectations."""
    args = shlex.split(case["args"])
    full = args[-1] == ">/dev/full"
    with tempfile.TemporaryDirectory() as folder, open("/dev/full", "wb") as sink:
        for name, data in case["in"].items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data.encode() if isinstance(data, str) else data)
        p = subprocess.run([KARVEX] + args[1:len(args) - full], cwd=folder, timeout=120,
                           stdout=sink if full else subprocess.PIPE, stderr=subprocess.PIPE)
        got = {"status": p.returncode, "stdout": p.stdout or b"", "stderr": p.stderr}
        for name in set(os.listdir(folder)) - set(case["in"]):
            got[name] = open(os.path.join(folder, name), "rb").read()
    expected = {"status": 0, "stdout": ... if full else b"", "stderr": b"", **case["out"]}
    problems = []
    for name in sorted(set(got) | set(expected)):
        want, have = expected.get(name), got.get(name)
        if want is None or have is None:
            problems.append("%s: %s" % (name, "not expected" if want is None else "not made"))
        elif want is not ... and (want.encode() if isinstance(want, str) else want) != have:
            lines = [(v.decode("latin-1") if isinstance(v, (bytes, bytearray)) else str(v))
                     .splitlines() for v in (want, have)]
            diff = list(difflib.unified_diff(*lines, lineterm=""))[2:40]
            problems.append("%s differs:\n  %s" % (name, "\n  ".join(diff)))
    return problems


failed = 0
for path in sys.argv[1:]:
    for case in read_cases(path):
        problems = run_case(case)
        print("%s %s:%d  %s" % ("FAIL" if problems else "ok  ", path, case["line"], case["args"]))
        print("".join("    %s\n" % p.replace("\n", "\n    ") for p in problems), end="")
        failed += bool(problems)
sys.exit("%d failed" % failed if failed else 0)
