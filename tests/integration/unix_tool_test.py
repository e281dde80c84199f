"""karvex as an installed Unix tool: install into a prefix (binary, manual page, --help),
the manual page as man renders it, and the progress line that long face runs show on a
terminal and nowhere else (checked on a real pseudo-terminal)."""

import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import threading

import support

ROOT = os.path.normpath(os.path.join(os.path.dirname(__file__), "../.."))
MAN_PAGE = os.path.join(ROOT, "doc/karvex.1")
BUILD = os.path.dirname(os.path.abspath(support.KARVEX))
USAGE = (b"Usage: karvex {<fontface>|<bdf filename>} <from_code> [<to_code>] [-o=bmp]"
         b"[-e=<ebcode>] [-u=<unicode>] [-x=16] [-y=16] [-m=<gaijimap>][-h]\n")
FACE = "DejaVu Sans"  # Debian fonts-dejavu-core


def render_man(*args, env=None):
    """The manual page as man prints it on an 80-column terminal, without formatting."""
    env = dict(os.environ if env is None else env, MANWIDTH="80", MAN_KEEP_FORMATTING="0")
    p = subprocess.run(["man", "-P", "cat", *args], env=env, capture_output=True)
    return p.returncode, p.stdout.decode(), p.stderr.decode()


def plain(text):
    """Drops the overstrikes that mark bold and underlined text."""
    return re.sub(".\b", "", text)


class InstallTest(support.unittest.TestCase):
    def check_prefix(self, prefix):
        binary = os.path.join(prefix, "bin/karvex")
        page = os.path.join(prefix, "share/man/man1/karvex.1")
        self.assertTrue(os.access(binary, os.X_OK), binary)
        with open(page, "rb") as installed, open(MAN_PAGE, "rb") as source:
            self.assertEqual(installed.read(), source.read())
        p = subprocess.run([binary, "--help"], capture_output=True)
        self.assertEqual((p.returncode, p.stdout, p.stderr), (255, USAGE, b""))
        # man finds the installed page through the prefix's manual tree.
        env = dict(os.environ, MANPATH=os.path.join(prefix, "share/man"))
        status, text, err = render_man("karvex", env=env)
        self.assertEqual((status, err), (0, ""))
        self.assertIn("SYNOPSIS", plain(text))

    def test_make_install_honours_prefix(self):
        # `-o build` takes the build as done: this checks the install step of the Makefile
        # on the tree under test without building it again.
        with tempfile.TemporaryDirectory() as prefix:
            p = subprocess.run(["make", "-s", "-C", ROOT, "-o", "build", "install",
                                "BUILD=" + BUILD, "PREFIX=" + prefix],
                               capture_output=True, text=True)
            self.assertEqual(p.returncode, 0, p.stderr)
            self.check_prefix(prefix)
            self.assertEqual(sorted(os.listdir(prefix)), ["bin", "share"])


class ManPageTest(support.unittest.TestCase):
    def test_page_renders_cleanly_and_covers_the_command_line(self):
        p = subprocess.run(["groff", "-man", "-ww", "-z", MAN_PAGE], capture_output=True,
                           text=True)
        self.assertEqual((p.returncode, p.stderr), (0, ""))
        status, text, err = render_man("-l", MAN_PAGE)
        self.assertEqual((status, err), (0, ""))
        text = plain(text)
        self.assertEqual(re.findall(r"^([A-Z][A-Z ]+)$", text, re.M), [
            "NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "INPUT FORMATS", "OUTPUT FORMAT",
            "EXIT STATUS", "EXAMPLES", "SEE ALSO"])
        options = text[text.index("\nOPTIONS\n"):text.index("\nINPUT FORMATS\n")]
        for option in ["-h", "-m=mapfile", "-e=ebcode", "-u=unicode", "-x=width",
                       "-y=height", "-b=row", "-o=mode", "-0=char", "-?, --help"]:
            self.assertRegex(options, r"\n {7}" + re.escape(option) + r"\s", option)
        statuses = text[text.index("\nEXIT STATUS\n"):text.index("\nEXAMPLES\n")]
        self.assertEqual(re.findall(r"^ {7}(\d+)\s", statuses, re.M), ["0", "2", "255"])
        examples = text[text.index("\nEXAMPLES\n"):]
        for source in ["unifont.bdf", "unifont16.hex", '"DejaVu Sans"', "IPAGothic",
                       "DejaVuSans.ttf", "-o=bmp"]:
            self.assertIn(source, examples)


def run_with_tty_stderr(args, cwd=None):
    """Runs karvex with stderr on a pseudo-terminal; returns (status, stdout, what the
    terminal received)."""
    master, slave = pty.openpty()
    received = []

    def read_terminal():
        while True:
            try:
                data = os.read(master, 4096)
            except OSError:  # EIO: the last writer closed the terminal
                return
            if not data:
                return
            received.append(data)

    reader = threading.Thread(target=read_terminal)
    reader.start()
    try:
        p = subprocess.run([support.KARVEX, *args], stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=slave, cwd=cwd, timeout=300)
    finally:
        os.close(slave)
        reader.join(timeout=60)
        os.close(master)
    return p.returncode, p.stdout, b"".join(received)


PROGRESS = re.compile(rb"\rkarvex: (\d+) of (\d+) codes \((\d+)%\)")


class ProgressTest(support.unittest.TestCase):
    def assert_progress(self, terminal, total):
        updates = PROGRESS.findall(terminal)
        self.assertGreater(len(updates), 10)
        self.assertLessEqual(len(updates), 102)  # at most once per percent, and the end
        done = [int(d) for d, _, _ in updates]
        self.assertEqual(done, sorted(done))
        for d, t, percent in updates:
            self.assertEqual((int(t), int(percent)), (total, int(d) * 100 // total))
        # One line, overwritten in place, ended once at the last code (the terminal turns
        # the line end into CR LF); nothing else is written.
        self.assertTrue(terminal.endswith(b"\rkarvex: %d of %d codes (100%%)\r\n"
                                          % (total, total)), terminal[-80:])
        self.assertEqual(PROGRESS.sub(b"", terminal), b"\r\n")

    def test_progress_on_a_terminal_only(self):
        # (what, arguments, codes counted, or None for no progress at all)
        examples = os.path.join(ROOT, "examples")
        for what, args, total in [
                ("8192 codes", [FACE, "0", "1FFF"], 0x2000),
                ("4097 codes", [FACE, "20", "1020"], 4097),
                ("4097 codes to BMP files", [FACE, "0", "1000", "-o=bmp"], 4097),
                ("4096 codes", [FACE, "0", "FFF"], None),
                ("first code above the last", [FACE, "FFFF", "0"], None),
                ("hex file over the whole code range",
                 [os.path.join(examples, "sample.hex"), "0", "10FFFF"], None),
                ("BDF font over the whole code range",
                 [os.path.join(examples, "sample.bdf"), "0", "10FFFF", "-h"], None)]:
            with self.subTest(what), tempfile.TemporaryDirectory() as tmp:
                status, out, terminal = run_with_tty_stderr(args, cwd=tmp)
                self.assertEqual(status, 0)
                if total:
                    self.assert_progress(terminal, total)
                else:
                    self.assertEqual(terminal, b"")
                piped = support.run(*args, cwd=tmp)
                self.assertEqual((piped.status, piped.err), (0, ""))
                self.assertEqual(out, piped.out)  # stdout is the same either way
                if "-o=bmp" in args:
                    self.assertEqual(len(os.listdir(tmp)), total)


if __name__ == "__main__":
    if shutil.which("man") is None:
        sys.exit("unix_tool_test: man is missing; run scripts/setup.sh")
    support.unittest.main()
