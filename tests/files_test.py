"""Every file a run writes reaches its name whole. Runs stopped by SIGINT, SIGTERM and SIGHUP
at several moments leave each file as it was before the run or whole, and the same run then
completes; a file size limit and inputs that never end (under a memory limit) end the run
with one line and status 2, every file as it was."""

import os
import pathlib
import resource
import signal
import tempfile
import time
import unittest

import support
from support import KARVEX, WORK

FACE = "Noto Sans CJK JP"


def start(args, cwd, **options):
    return support.start([KARVEX, *args], cwd=cwd, **options)


def finish(p):  # the status and standard error of a run, killed if it outlasts two minutes
    p = support.finish(p)
    return p.returncode, p.stderr


def snapshot(folder):
    """Every file under `folder`: its bytes, what a link names, or None for a FIFO."""
    return {str(path.relative_to(folder)): os.readlink(path) if path.is_symlink()
            else path.read_bytes() if path.is_file() else None
            for path in pathlib.Path(folder).rglob("*") if path.is_symlink() or not path.is_dir()}


def make(folder, files):
    """Files from bytes, links from a str naming their target, FIFOs from None."""
    for name, data in files.items():
        path = pathlib.Path(folder, name)
        path.parent.mkdir(parents=True, exist_ok=True)
        if data is None:
            os.mkfifo(path)
        elif type(data) == str:
            path.symlink_to(data)
        else:
            path.write_bytes(data)


def new_xbm_files(folder, count):
    """Waits until `folder` holds `count` XBM files more than now, or 10 seconds."""
    xbm = lambda: sum(n.endswith(".xbm") for n in os.listdir(folder))
    deadline, goal = time.monotonic() + 10, xbm() + count
    while xbm() < goal and time.monotonic() < deadline:
        time.sleep(0.001)


# Each run is stopped at these moments, in a folder that holds what an earlier run left.
BOOK = [FACE, "4E00", "5FFF", "--freepwing=g", "--heights=16,24,30,48", "--proof=p.png"]
TEXT = [FACE, "4E00", "5FFF", "-m=m", "--lacking=l", "--proof=p.png"]
KANA = [FACE, "3041", "3093", "--freepwing=g", "--heights=16,24,30,48"]
AT_ONCE = lambda p, cwd: None  # SIGINT would meet Python's handler between fork and exec
RUNS = [
    # A book of four heights with lists from an earlier run: at once, at the first new XBM
    # file, past a few thousand.
    (BOOK, KANA, [(AT_ONCE, signal.SIGTERM),
                  (lambda p, cwd: new_xbm_files(cwd + "/g", 1), signal.SIGINT),
                  (lambda p, cwd: new_xbm_files(cwd + "/g", 3000), signal.SIGHUP)]),
    # Text art with a map, a lacking list and a proof sheet: at once, and blocked writing
    # standard output, which the test does not read.
    (TEXT, None, [(AT_ONCE, signal.SIGHUP),
                  (lambda p, cwd: p.stdout.read(1) and time.sleep(0.2), signal.SIGINT)]),
]
# What the earlier run's files were: longer than this run's, so that an old tail would show.
OLD = {"m": b"<gaijiMap/>\n" * 20000, "l": b"X\n" * 20000, "p.png": b"\x89PNG" * 100000}


class FilesTest(unittest.TestCase):
    def test_signals_leave_every_file_as_it_was_or_whole(self):
        for args, earlier, moments in RUNS:
            with tempfile.TemporaryDirectory(dir=WORK) as tmp:
                # The reference run starts from the earlier lists but none of the files
                # this run writes whole again.
                old = {name: data for name, data in OLD.items() if "-m=m" in args or name == "p.png"}
                for folder in ("ref", "cur"):
                    os.mkdir(tmp + "/" + folder)
                    if earlier:
                        self.assertEqual(finish(start(earlier, tmp + "/" + folder))[0], 0)
                make(tmp + "/cur", old)
                status = finish(start(args, tmp + "/ref"))[0]
                before, after = snapshot(tmp + "/cur"), snapshot(tmp + "/ref")
                for n, (moment, sig) in enumerate(moments):
                    p = start(args, tmp + "/cur")
                    moment(p, tmp + "/cur")
                    p.send_signal(sig)
                    self.assertEqual(finish(p)[0], -sig, (args, n))
                    now = snapshot(tmp + "/cur")
                    self.assertLessEqual(set(before), set(now))
                    for name, data in now.items():
                        self.assertIn(data, (before.get(name), after.get(name)), (args, n, name))
                self.assertEqual(finish(start(args, tmp + "/cur"))[0], status)
                self.assertTrue(snapshot(tmp + "/cur") == after)

    def test_a_run_waiting_for_a_fifo_ends_at_once(self):
        with tempfile.TemporaryDirectory(dir=WORK) as tmp:
            make(tmp, {"f.hex": None, "m": OLD["m"], "p.png": OLD["p.png"]})
            before = snapshot(tmp)
            p, deadline = start(["f.hex", "-m=m", "--proof=p.png"], tmp), time.monotonic() + 10
            while len(os.listdir(tmp)) == len(before) and time.monotonic() < deadline:
                time.sleep(0.001)  # until the files are started, just before the read
            time.sleep(0.1)
            p.send_signal(signal.SIGHUP)
            started = time.monotonic()
            self.assertEqual(finish(p)[0], -signal.SIGHUP)
            self.assertLess(time.monotonic() - started, 5)
            self.assertTrue(snapshot(tmp) == before)

    def test_limits(self):
        # A file size limit (SIGXFSZ as a child process starts, which karvex ignores itself)
        # and inputs that never end under a memory limit: one line, status 2, every file as
        # it was but XBM files written whole.
        hex_file = b"8 16\n" + b"".join(b"%04X:FF\n" % c for c in range(0x100, 0x200))
        listed = b"".join(b"u%04X d/x.xbm\n" % c for c in range(0xE000, 0xE000 + 270))
        fsize, memory = (resource.RLIMIT_FSIZE, 4096), (resource.RLIMIT_AS, 512 << 20)
        rows = [
            ({"f.hex": hex_file, "d/halfchar.txt": listed, "d/x.xbm": b"x"},
             ["f.hex", "--freepwing=d"], fsize, "d/halfchar.txt: File too large"),
            ({"f.hex": hex_file, "m": OLD["m"][:4000]}, ["f.hex", "-m=m"], fsize, "m: File too large"),
            ({"f.hex": hex_file[:20]}, ["f.hex", "-o=bmp", "-x=200", "-y=200"], fsize,
             "0100.bmp: File too large"),
            ({"z.hex": "/dev/zero"}, ["z.hex"], memory, "z.hex: too large to hold in memory"),
            ({"z.bdf": "/dev/zero", "m": b"old"}, ["z.bdf", "-m=m"], memory,
             "z.bdf: too large to hold in memory"),
            ({"f.hex": hex_file, "d/halfchar.txt": "/dev/full"}, ["f.hex", "--freepwing=d"], memory,
             "d/halfchar.txt: too large to hold in memory"),
        ]
        # AddressSanitizer reserves terabytes of address space: no memory limit under it.
        asan = b"__asan_init" in pathlib.Path(KARVEX).read_bytes()
        for files, args, (kind, limit), line in rows:
            if asan and kind == resource.RLIMIT_AS:
                continue
            with self.subTest(args=args), tempfile.TemporaryDirectory(dir=WORK) as tmp:
                make(tmp, files)
                before = snapshot(tmp)
                p = start(args, tmp, preexec_fn=lambda: resource.setrlimit(kind, (limit, limit)))
                self.assertEqual(finish(p), (2, b"karvex: %s\n" % line.encode()))
                now = snapshot(tmp)
                self.assertEqual({n for n in set(now) | set(before)
                                  if now.get(n, 0) != before.get(n, 0) and not n.endswith(".xbm")}, set())

if __name__ == "__main__":
    unittest.main()
