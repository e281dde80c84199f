#!/usr/bin/env python3
"""Times karvex against its peers and prints the results as Markdown tables.

Run by bench/run.sh, which builds the programs, makes the inputs and passes their paths in
the environment: KARVEX, HEX, BDF, DEJAVU, IPA (font files), BARE_FACE, BARE_BMP, SCRATCH
(an empty folder for BMP files, best on tmpfs), WORK (where results go), RUNS, WARMUP,
and ONLY: when set, only the comparisons whose label contains it (and the memory table
when it is "memory").

Each comparison runs its two commands in alternating order, round after round (karvex
first in even rounds, the peer first in odd ones), so that a change of load on a shared
machine falls on both sides alike. The ratio is that of the median wall times. Peak
resident memory comes from one more run of each command under /usr/bin/time -v.
"""

import datetime
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import time

ENV = os.environ
KARVEX = ENV["KARVEX"]
RUNS = int(ENV.get("RUNS", "10"))
WARMUP = int(ENV.get("WARMUP", "2"))
WORK = ENV["WORK"]
SCRATCH = ENV["SCRATCH"]
ONLY = ENV.get("ONLY", "")

# Memory above the size of the input that still counts as "the input plus a few MiB".
MEMORY_ALLOWANCE_MIB = 8


class Command:
    def __init__(self, argv, stdin=None, cwd=None, prepare=None, statuses=(0,), pipe=()):
        self.argv = argv
        self.statuses = statuses  # the exit statuses of a run that went as it should
        self.stdin = stdin      # file fed to standard input
        self.pipe = pipe        # files `cat` sends to standard input through a pipe
        self.cwd = cwd
        self.prepare = prepare  # called before every run, not timed

    def run(self, wrapper=()):
        """Runs once with standard output to /dev/null; returns the wall time in s."""
        if self.prepare:
            self.prepare()
        stdin = open(self.stdin, "rb") if self.stdin else subprocess.DEVNULL
        try:
            start = time.perf_counter()
            if self.pipe:
                feeder = subprocess.Popen(["cat", *self.pipe], stdout=subprocess.PIPE)
                stdin = feeder.stdout
            p = subprocess.run([*wrapper, *self.argv], stdin=stdin, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, cwd=self.cwd)
            if self.pipe:
                feeder.stdout.close()
                feeder.wait()
            elapsed = time.perf_counter() - start
        finally:
            if self.stdin:
                stdin.close()
        if p.returncode not in self.statuses and not wrapper:
            sys.exit("bench: %s failed (%d): %s" % (" ".join(self.argv), p.returncode,
                                                    p.stderr.decode(errors="replace")))
        return elapsed, p.stderr.decode(errors="replace")

    def peak_kib(self):
        """Peak resident memory in KiB, as GNU time reports it."""
        _, report = self.run(wrapper=("/usr/bin/time", "-v"))
        found = re.search(r"Maximum resident set size \(kbytes\): (\d+)", report)
        if not found:
            sys.exit("bench: no memory figure for %s:\n%s" % (" ".join(self.argv), report))
        return int(found.group(1))


def fresh_scratch():
    shutil.rmtree(SCRATCH, ignore_errors=True)
    os.makedirs(SCRATCH)


def compare(label, goal, karvex, peer, memory_goal_mib=None, memory_most_mib=None):
    """Returns a table row; goal is the highest karvex/peer ratio that meets it (None:
    shown for information only), memory_goal_mib, when given, the most karvex's peak
    memory may lie above the peer's, and memory_most_mib the most it may be at all."""
    if ONLY not in label:
        return None
    print("bench: %s" % label, file=sys.stderr, flush=True)
    times = {"karvex": [], "peer": []}
    for round_ in range(WARMUP + RUNS):
        order = [("karvex", karvex), ("peer", peer)]
        if round_ % 2:
            order.reverse()
        for name, command in order:
            elapsed, _ = command.run()
            if round_ >= WARMUP:
                times[name].append(elapsed)
    k, p = statistics.median(times["karvex"]), statistics.median(times["peer"])
    ratio = k / p
    row = {"label": label, "karvex": k, "peer": p, "ratio": ratio, "goal": goal,
           "met": goal is None or ratio <= goal, "memory_goal": memory_goal_mib,
           "memory_most": memory_most_mib,
           "karvex_kib": karvex.peak_kib(), "peer_kib": peer.peak_kib()}
    if memory_goal_mib is not None:
        row["met"] &= row["karvex_kib"] - row["peer_kib"] <= memory_goal_mib * 1024
    if memory_most_mib is not None:
        row["met"] &= row["karvex_kib"] < memory_most_mib * 1024
    print("bench:   karvex %.3f s, peer %.3f s, ratio %.3f" % (k, p, ratio), file=sys.stderr)
    return row


def machine():
    model = "unknown processor"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    system = platform.system()
    if os.path.exists("/etc/debian_version"):
        with open("/etc/debian_version") as f:
            system = "Debian " + f.read().strip()
    with open("/proc/meminfo") as f:
        memory = int(f.readline().split()[1]) // (1024 * 1024)
    compiler = subprocess.run(["c++", "--version"], capture_output=True, text=True).stdout
    return "%s, %d cores, %d GiB, %s, %s" % (model, os.cpu_count() or 0, memory + 1, system,
                                            compiler.splitlines()[0] if compiler else "c++")


def fs_type(path):
    out = subprocess.run(["stat", "-f", "-c", "%T", path], capture_output=True, text=True)
    return out.stdout.strip() or "unknown"


def mib(kib):
    return "%.1f MiB" % (kib / 1024)


def main():
    hex_file, bdf, dejavu, ipa = ENV["HEX"], ENV["BDF"], ENV["DEJAVU"], ENV["IPA"]
    bare_face, bare_bmp = ENV["BARE_FACE"], ENV["BARE_BMP"]
    fresh_scratch()
    scratch_fs = fs_type(SCRATCH)
    rows = [
        compare("hex: `karvex unifont16.hex` / `hexdraw`", 1 / 8,
                Command([KARVEX, hex_file]), Command(["hexdraw"], stdin=hex_file)),
        compare("BDF: `karvex unifont.bdf 0 10FFFF -h` / `bdftopcf`", 1.5,
                Command([KARVEX, bdf, "0", "10FFFF", "-h"]),
                Command(["bdftopcf", "-o", "/dev/null", bdf])),
        compare("face: `karvex \"DejaVu Sans\" 0 FFFF` / bare FreeType loop", 1.3,
                Command([KARVEX, "DejaVu Sans", "0", "FFFF"]),
                Command([bare_face, dejavu, "0", "FFFF"])),
        compare("face: `karvex IPAGothic 0 FFFF` / bare FreeType loop", 1.3,
                Command([KARVEX, "IPAGothic", "0", "FFFF"]),
                Command([bare_face, ipa, "0", "FFFF"])),
        compare("face by file, no fontconfig: `karvex DejaVuSans.ttf 0 FFFF` / bare loop", None,
                Command([KARVEX, dejavu, "0", "FFFF"]),
                Command([bare_face, dejavu, "0", "FFFF"])),
        compare("packed font: `karvex unifont.pcf.gz 0 FFFF` / the same font unpacked", 1.5,
                Command([KARVEX, ENV["PACKED"], "0", "FFFF"]),
                Command([KARVEX, ENV["PCF"], "0", "FFFF"])),
        # Unifont's face draws 16 Thai marks of the text left of the origin: the cell cuts
        # them, so the run lacks them and ends with status 2.
        compare("code set: `karvex Unifont --codes=ja-man.txt --missing-from=SHIFT_JIS` (13 MB of "
                "Japanese manual pages) / `iconv -c -t SHIFT_JIS` over the same text", 1.5,
                Command([KARVEX, "Unifont", "--codes=" + ENV["TEXT"], "--missing-from=SHIFT_JIS"],
                        statuses=(0, 2)),
                Command(["iconv", "-c", "-f", "UTF-8", "-t", "SHIFT_JIS", ENV["TEXT"]])),
        # The same text 23 times over through a pipe (301 MB), which karvex reads a piece
        # at a time while iconv (glibc's) holds it whole.
        compare("code set through a pipe: `karvex Unifont --codes=- --missing-from=SHIFT_JIS` / "
                "`iconv -c -t SHIFT_JIS`, both fed ja-man.txt 23 times over (301 MB) by `cat`", 1.5,
                Command([KARVEX, "Unifont", "--codes=-", "--missing-from=SHIFT_JIS"],
                        statuses=(0, 2), pipe=[ENV["TEXT"]] * 23),
                Command(["iconv", "-c", "-f", "UTF-8", "-t", "SHIFT_JIS"],
                        pipe=[ENV["TEXT"]] * 23), memory_most_mib=32),
        # Both write a file per character (and FreePWING's lists and viewer map).
        compare("FreePWING: `karvex Unifont --fallback=unifont.pcf.gz,\"DejaVu Sans\" "
                "--codes=ja-man.txt --freepwing=DIR` / the same run with `-o=bmp`", 1.5,
                Command([KARVEX, "Unifont", "--fallback=%s,DejaVu Sans" % ENV["PACKED"],
                         "--codes=" + ENV["TEXT"], "--freepwing=gaiji"], cwd=SCRATCH,
                        prepare=fresh_scratch, statuses=(0, 2)),
                Command([KARVEX, "Unifont", "--fallback=%s,DejaVu Sans" % ENV["PACKED"],
                         "--codes=" + ENV["TEXT"], "-o=bmp"], cwd=SCRATCH, prepare=fresh_scratch)),
        # Both write a file per character, 2,530 of them: an image 128 pixels high drawn at
        # that size against a 16x16 BMP file.
        compare("EPUB: `karvex Unifont --fallback=\"DejaVu Sans\" --codes=ja-man.txt --epub=DIR` "
                "(128 pixels) / the same run with `-o=bmp`", 2,
                Command([KARVEX, "Unifont", "--fallback=DejaVu Sans", "--codes=" + ENV["TEXT"],
                         "--epub=gaiji"], cwd=SCRATCH, prepare=fresh_scratch),
                Command([KARVEX, "Unifont", "--fallback=DejaVu Sans", "--codes=" + ENV["TEXT"],
                         "-o=bmp"], cwd=SCRATCH, prepare=fresh_scratch)),
        compare("proof sheet: `karvex Unifont 0 FFFF --proof=sheet.png` (65,536 cells) / "
                "`karvex Unifont 0 FFFF`", 2, Command([KARVEX, "Unifont", "0", "FFFF",
                                                      "--proof=" + SCRATCH + "/sheet.png"]),
                Command([KARVEX, "Unifont", "0", "FFFF"]), memory_goal_mib=16),
        compare("BMP: `karvex \"DejaVu Sans\" 0 FFFF -o=bmp` / bare loop writing 65,536 files",
                1.5,
                Command([KARVEX, "DejaVu Sans", "0", "FFFF", "-o=bmp"], cwd=SCRATCH,
                        prepare=fresh_scratch),
                Command([bare_bmp, "0", "FFFF"], cwd=SCRATCH, prepare=fresh_scratch)),
    ]
    rows = [r for r in rows if r]
    shutil.rmtree(SCRATCH, ignore_errors=True)

    print("bench: memory", file=sys.stderr, flush=True)
    memory = []
    for label, source, argv in [] if ONLY not in "memory" else [
            ("`karvex unifont16.hex`", hex_file, [hex_file]),
            ("`karvex unifont16.hex -x=48 -y=48`", hex_file, [hex_file, "-x=48", "-y=48"]),
            ("`karvex unifont.bdf 0 10FFFF -h`", bdf, [bdf, "0", "10FFFF", "-h"]),
            ("`karvex \"DejaVu Sans\" 0 FFFF`", dejavu, ["DejaVu Sans", "0", "FFFF"]),
            ("`karvex \"DejaVu Sans\" 0 10FFFF`", dejavu, ["DejaVu Sans", "0", "10FFFF"]),
            ("`karvex IPAGothic 0 FFFF`", ipa, ["IPAGothic", "0", "FFFF"]),
            ("`karvex IPAGothic 0 10FFFF`", ipa, ["IPAGothic", "0", "10FFFF"]),
            ("`karvex IPAGothic 0 10FFFF -x=48 -y=48`", ipa,
             ["IPAGothic", "0", "10FFFF", "-x=48", "-y=48"])]:
        kib = Command([KARVEX, *argv]).peak_kib()
        memory.append((label, os.path.getsize(source), kib))

    lines = [
        "Measured on %s, %s." % (machine(), datetime.date.today().isoformat()),
        "Each command ran %d times (after %d warm-up rounds), alternating with its peer; the"
        % (RUNS, WARMUP),
        "ratio is karvex's median wall time over the peer's. BMP files went to a %s folder."
        % scratch_fs,
        "",
        "| Comparison | karvex | peer | karvex / peer | goal | met | peak memory karvex / peer |",
        "|---|---:|---:|---:|---|---|---:|",
    ]
    for r in rows:
        if r["goal"] is None:
            goal, met = "(information)", ""
        elif r["goal"] < 1:
            goal, met = "<= %.3f (%gx faster)" % (r["goal"], 1 / r["goal"]), None
        else:
            goal, met = "<= %g" % r["goal"], None
        if r["memory_goal"] is not None:
            goal += ", memory <= +%d MiB" % r["memory_goal"]
        if r["memory_most"] is not None:
            goal += ", memory < %d MiB" % r["memory_most"]
        if met is None:
            met = "yes" if r["met"] else "**no**"
        lines.append("| %s | %.3f s | %.3f s | %.3f | %s | %s | %s / %s |" % (
            r["label"], r["karvex"], r["peer"], r["ratio"], goal, met,
            mib(r["karvex_kib"]), mib(r["peer_kib"])))
    lines += ["",
              "| Memory | input file | peak resident | above the input | goal: at most %d MiB above |"
              % MEMORY_ALLOWANCE_MIB,
              "|---|---:|---:|---:|---|"]
    all_met = all(r["met"] for r in rows)
    for label, size, kib in memory:
        above = kib * 1024 - size
        met = above <= MEMORY_ALLOWANCE_MIB * 1024 * 1024
        all_met &= met
        lines.append("| %s | %.1f MiB | %s | %.1f MiB | %s |" % (
            label, size / 1048576, mib(kib), above / 1048576, "yes" if met else "**no**"))
    lines += ["", "Every goal met." if all_met else "Some goal is **not** met."]
    text = "\n".join(lines) + "\n"
    with open(os.path.join(WORK, "results.md"), "w") as f:
        f.write(text)
    sys.stdout.write(text)


if __name__ == "__main__":
    main()
